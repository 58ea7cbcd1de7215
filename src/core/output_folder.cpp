#include "core/output_folder.h"

#include <algorithm>
#include <optional>
#include <system_error>

#include "core/comma.h"
#include "core/files.h"
#include "core/system_error_text.h"

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
  // Why the files cannot go at all: a save folder that has gone, or a clinic
  // subfolder that could not be made.
  bool saveFolderGone = false;
  std::optional<SystemError> noFolder;
  if (!IsBlank(saveFdr)) {
    const fs::path saveFolder = PathFromText(saveFdr);
    r.destination = saveFolder;
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
    }
    if (!FolderExists(saveFolder)) {
      saveFolderGone = true;
    } else if (!FolderExists(r.destination) && !MakeFolder(r.destination)) {
      noFolder = FailureOf(FileAction::kWrite, r.destination);
    }
  }

  std::vector<SystemError> causes;  // of each file that stayed
  for (TextView name : {file1, file2}) {
    if (name.empty()) continue;
    const fs::path src = env.programDir / PathFromText(name);
    if (!FileExists(src)) {
      r.missing.emplace_back(name);
      continue;
    }
    // A save folder that is the program folder itself: the file is already
    // where it belongs, and copying it onto itself before the delete would lose it.
    SystemError why;
    if (!saveFolderGone && !noFolder &&
        (SameFolder(r.destination, env.programDir) ||
         MoveFileSafely(src, r.destination / PathFromText(name), &why))) {
      r.moved.emplace_back(name);
    } else {
      r.stayed.emplace_back(name);
      causes.push_back(noFolder.value_or(why));
    }
  }

  if (!r.stayed.empty()) {
    Text text = T("ファイルを ") + PathText(r.destination) + T(" へ移動できませんでした。\n");
    // One cause for all is said once; different ones go with their files.
    const bool oneCause = std::all_of(causes.begin(), causes.end(),
                                      [&](const SystemError& e) { return e == causes.front(); });
    auto cause = [&](std::size_t i) {
      return CauseText(causes[i], r.destination / PathFromText(r.stayed[i]), FileAction::kWrite);
    };
    if (saveFolderGone) {
      text += T("保存先のフォルダーが見つかりません。") +
              WhereFolderWentText(PathFromText(saveFdr)) +
              T("「詳細設定」の「保存先設定」で保存先を選び直してください。\n");
    } else if (oneCause) {
      text += cause(0);
      text += u'\n';
    }
    text += T("次のファイルは元の場所に残っています：");
    for (std::size_t i = 0; i < r.stayed.size(); ++i) {
      text += u'\n';
      text += PathText(env.programDir / PathFromText(r.stayed[i]));
      if (!saveFolderGone && !oneCause) {
        text += u'\n';
        text += cause(i);
      }
    }
    r.messages.push_back({MsgKind::Warning, std::move(text)});
  }
  return r;
}

}  // namespace tavo
