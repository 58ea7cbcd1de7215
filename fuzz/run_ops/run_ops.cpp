// Every run operation on one file of any content, in a scratch folder. Each
// run keeps its input byte for byte, leaves no temporary file, writes only
// into the folders it owns and names its outputs safely. The receipt runs also
// keep what earlier faults broke: an input named like its output is kept, one
// click over two copies of a file writes one output, and branch removal in
// mode 1 writes only for positions that keep a character.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "checkup/checkup_ops.h"
#include "core/files.h"
#include "ff1/ff1_link.h"
#include "linkage/convert1.h"
#include "linkage/convert2.h"
#include "postal/postal_ops.h"
#include "receipt/receipt_ops.h"
#include "replace/replace_ops.h"

using namespace tavo;
namespace fs = std::filesystem;

namespace {

void Check(bool ok, const char* what) {
  if (ok) return;
  std::fprintf(stderr, "run_ops: %s\n", what);
  std::abort();
}

std::string Read(const fs::path& p) { return ReadFileBytes(p); }

const fs::path& Root() {
  static const fs::path root = fs::temp_directory_path() / "tavo-fuzz-run-ops";
  return root;
}
struct Cleanup {
  ~Cleanup() {
    std::error_code ec;
    fs::remove_all(Root(), ec);
  }
} cleanup;

Env MakeScratch() {
  std::error_code ec;
  fs::remove_all(Root(), ec);
  Env env;
  env.programDir = Root() / "program";
  env.nivaDir = Root() / "HDD_KX2";
  env.nivaFf1Dir = env.nivaDir / "FF1";
  env.downloadsDir = Root() / "Downloads";
  env.fixedToday = Date{2026, 12, 10};
  for (const auto& d : {env.programDir, env.nivaFf1Dir, env.downloadsDir, Root() / "in",
                        Root() / "ff1", Root() / "out"})
    fs::create_directories(d);
  return env;
}

// Everything under the scratch root lies in its folders, with safe names and
// no temporary file.
void CheckScratch() {
  for (const auto& e : fs::recursive_directory_iterator(Root())) {
    const Text name = PathText(e.path().filename());
    Check(IsSafeFileName(name), "an unsafe file name");
    // Bytes that are not Shift_JIS decode to lone surrogates; no name keeps one.
    for (char16_t c : name) Check(c < 0xD800 || c > 0xDFFF, "a surrogate in a file name");
    Check(name.rfind(u".tavo-", 0) != 0, "a temporary file was left");
  }
}

void CheckRun(const RunResult& r, const fs::path& input, const std::string& bytes) {
  Check(Read(input) == bytes, "the input changed");
  for (const fs::path& f : r.written) {
    Check(f.parent_path() == Root() / "program" || f.parent_path() == Root() / "out",
          "an output outside its folder");
    Check(FileExists(f), "a reported output is missing");
  }
  CheckScratch();
}

void ReceiptRuns(const Env& env, const fs::path& input, const std::string& bytes) {
  const Text in = PathText(input);
  // Mode 1 positions from the first two bytes, as signed numbers.
  const int from = bytes.size() > 0 ? static_cast<signed char>(bytes[0]) : 0;
  const int to = bytes.size() > 1 ? static_cast<signed char>(bytes[1]) : 0;
  const receipt::BranchOptions modes[] = {
      {0, u"", u""},
      {-1, u"", u""},
      {1, Text(FromUtf8(std::to_string(from))), Text(FromUtf8(std::to_string(to)))}};
  for (const receipt::BranchOptions& mode : modes) {
    const RunResult r = receipt::RemoveBranchNumbers(env, in, mode);
    CheckRun(r, input, bytes);
    if (mode.mode == 1 && r.wrote()) Check(from >= 1 && from < to, "mode 1 wrote for bad positions");
  }
  using Run = RunResult (*)(const Env&, TextView, ClickOutputs*);
  const Run runs[] = {
      [](const Env& e, TextView f, ClickOutputs* c) { return receipt::RemoveBranchNumbers(e, f, {}, c); },
      [](const Env& e, TextView f, ClickOutputs* c) { return receipt::AnonymizeReceipt(e, f, c); }};
  const fs::path copy = Root() / "in" / "copy.UKE";
  WriteFileAtomic(copy, bytes);
  for (Run run : runs) {
    // One click over the file and its copy: both give the same name.
    ClickOutputs click;
    const RunResult first = run(env, in, &click);
    CheckRun(first, input, bytes);
    if (!first.wrote()) continue;
    const fs::path output = first.written[0];
    const std::string written = Read(output);
    const RunResult second = run(env, PathText(copy), &click);
    CheckRun(second, copy, bytes);
    Check(!second.wrote() && Read(output) == written, "one click replaced its own output");
    // The input kept in the program folder under the name its run gives.
    WriteFileAtomic(output, bytes);
    const RunResult rerun = run(env, PathText(output), nullptr);
    Check(Read(output) == bytes, "a run overwrote its input");
    fs::remove(output);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string bytes(reinterpret_cast<const char*>(data), size);
  const Env env = MakeScratch();
  const fs::path input = Root() / "in" / "input.UKE";
  WriteFileAtomic(input, bytes);
  const Text in = PathText(input);

  ReceiptRuns(env, input, bytes);

  CheckRun(linkage::Cnv(env, in), input, bytes);
  CheckRun(linkage::Conv2(env, in), input, bytes);
  CheckRun(linkage::Anonymize(env, in), input, bytes);

  const fs::path def = Root() / "in" / "def.csv";
  WriteFileAtomic(def, "1,2\r\n");
  CheckRun(replace::RunMode1(env, PathText(def), in), input, bytes);
  CheckRun(replace::RunMode1(env, in, PathText(def)), input, bytes);
  for (const RunResult& r : replace::RunMode2(env, PathText(def), in, in)) CheckRun(r, input, bytes);

  postal::TTextFileFormat form;
  CheckRun(postal::RunFile(env, u"08", u"06", in, u"", form), input, bytes);
  // The intermediate-file run whatever the first line says, with a definition.
  CheckRun(postal::Cnv2(env, u"08", u"06", in, PathText(def)), input, bytes);
  CheckRun(checkup::Cnv(env, u"08", u"06", in, u""), input, bytes);
  CheckRun(checkup::Cnv(env, u"08", u"06", PathText(def), in), input, bytes);

  const fs::path ff1 = Root() / "ff1" / "G_FF1_202405.txt";
  WriteFileAtomic(ff1, bytes);
  ff1::FF1LinkParams params;
  params.InDir = PathText(Root() / "ff1");
  params.SpecCsv = fs::path(TAVO_SOURCE_DIR) / "data" / "siyo4.csv";
  params.OutDir = Root() / "out";
  params.YearMonth = u"202405";
  CheckRun(ff1::RunFF1Link(params), ff1, bytes);

  std::error_code ec;
  fs::remove_all(Root(), ec);
  return 0;
}
