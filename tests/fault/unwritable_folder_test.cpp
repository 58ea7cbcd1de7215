// A program folder in which no file can be made: a run's message names the
// output the user would look for, also when its name is known only once the
// input has been read, never the name the output was begun under.
#include <gtest/gtest.h>

#include <cerrno>
#include <functional>
#include <string>
#include <vector>

#include "core/files.h"
#include "linkage/convert1.h"
#include "receipt/receipt_ops.h"
#include "support/test_util.h"

namespace tavo {
namespace {

namespace fs = std::filesystem;
using test::Fixture;
using test::TempDir;
using test::WriteBytes;

TEST(UnwritableProgramFolder, TheMessageNamesTheOutput) {
  struct Case {
    const char* run;
    const char* input;
    const char* output;
    std::function<RunResult(const Env&, TextView)> go;
  } cases[] = {
      {"branch removal", "receipt/shaho.UKE", "(202604提出_社保)RECEIPTC.uke",
       [](const Env& env, TextView in) { return receipt::RemoveBranchNumbers(env, in, {}); }},
      {"anonymization", "receipt/shaho.UKE", "202604_1.UKE",
       [](const Env& env, TextView in) { return receipt::AnonymizeReceipt(env, in); }},
      {"converter 1", "linkage/convert1_in.txt", "202605_carte.csv",
       [](const Env& env, TextView in) { return linkage::Cnv(env, in); }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.run);
    TempDir dir;
    Env env = test::MakeEnv(dir.path());
    // A file where the folder should be refuses every new file, even to root
    // and under Wine, where folder permissions do not hold.
    fs::remove_all(env.programDir);
    WriteBytes(env.programDir, "");
    const fs::path input = dir / "input";
    WriteBytes(input, Fixture(c.input));
    const RunResult r = c.go(env, PathText(input));
    ASSERT_EQ(r.messages.size(), 1u);
    EXPECT_EQ(r.messages[0].kind, MsgKind::Error);
    const Text first = T("ファイル ") + PathText(env.programDir / PathFromText(T(c.output))) +
                       T(" に書き込めません。\n");
    EXPECT_EQ(r.messages[0].text.substr(0, first.size()), first) << ToUtf8(r.messages[0].text);
    EXPECT_TRUE(r.written.empty());
  }
}

}  // namespace
}  // namespace tavo
