#include "core/output_folder.h"

#include <system_error>

#include "core/comma.h"
#include "core/files.h"

namespace tavo {

namespace fs = std::filesystem;

Text ClinicFolderName(TextView code, TextView name) {
  return SafeFileName(Text(code) + u"_" + Text(name));
}

namespace {

// The clinic subfolder of the save folder, from fields 5 and 7 of the first
// line of the first output (the IR record of a receipt file).
fs::path ClinicSubfolder(const Env& env, TextView file1) {
  const fs::path src = env.programDir / PathFromText(file1);
  if (file1.empty() || !FileExists(src)) ThrowOpenError(src);
  const std::vector<Text> lines = LoadLeadingLines(src, 1);
  FieldList fields;
  GetCommaTxt(At(lines, 0), fields);
  return PathFromText(ClinicFolderName(At(fields, 4), At(fields, 6)));
}

bool SameFolder(const fs::path& a, const fs::path& b) {
  std::error_code ec;
  const bool same = fs::equivalent(a, b, ec);
  return !ec && same;
}

}  // namespace

OutputMoveResult MoveOutputs(const Env& env, TextView file1, TextView file2, TextView saveFdr,
                             TextView svChg) {
  OutputMoveResult r;
  r.destination = env.downloadsDir;
  if (!IsBlank(saveFdr)) {
    r.destination = PathFromText(saveFdr);
    if (Trim(svChg) == u"1") {
      try {
        // Named from the first output the click wrote: the 社保 file, or the
        // 国保 file when only that was made.
        r.destination /= ClinicSubfolder(env, file1.empty() ? file2 : file1);
      } catch (const OpError& e) {
        r.messages.push_back({MsgKind::Error, e.text()});
        r.stopped = true;
        return r;
      }
      if (!FolderExists(r.destination)) MakeFolder(r.destination);
    }
  }

  for (TextView name : {file1, file2}) {
    if (name.empty()) continue;
    const fs::path src = env.programDir / PathFromText(name);
    if (!FileExists(src)) {
      r.missing.emplace_back(name);
      continue;
    }
    // A save folder that is the program folder itself: the file is already
    // where it belongs, and copying it onto itself before the delete would lose it.
    if (SameFolder(r.destination, env.programDir) ||
        MoveFileSafely(src, r.destination / PathFromText(name))) {
      r.moved.emplace_back(name);
    } else {
      r.stayed.emplace_back(name);
    }
  }

  if (!r.stayed.empty()) {
    Text text = T("ファイルを ") + PathText(r.destination) +
                T(" へ移動できませんでした。\n次のファイルは元の場所に残っています：");
    for (const Text& name : r.stayed) text += u"\n" + PathText(env.programDir / PathFromText(name));
    r.messages.push_back({MsgKind::Warning, std::move(text)});
  }
  return r;
}

}  // namespace tavo
