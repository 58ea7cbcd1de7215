// Runs that write their output on a second thread, while they fill the next
// block, must still report a failed write before whatever stops them later:
// written in place, the failed block would have stopped the run first. Each
// input here is many good lines and then a faulty one; the run's first write
// fails. The inputs grow by half at a time, so that for any block size one of
// them ends just after a first block and before a second would be written.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "core/fault.h"
#include "core/files.h"
#include "postal/postal_ops.h"
#include "receipt/receipt_ops.h"
#include "replace/replace_ops.h"
#include "support/run_text.h"
#include "support/test_util.h"

namespace tavo {
namespace {

namespace fs = std::filesystem;
using test::ListFiles;
using test::MessageLines;
using test::WriteBytes;

TEST(WriteOrder, AFailedWriteComesBeforeALaterFaultyLine) {
  struct Case {
    const char* name;
    std::string header;
    std::string line;    // a good line, repeated
    std::string faulty;  // the last line, which stops the run
    std::function<RunResult(const Env&, const fs::path& input, const fs::path& folder)> run;
  };
  const std::vector<Case> cases = {
      {"branch removal", "", "RE,1,2,3,4,5,6,7,8,9,10,11,12,1234-5\r\n", "RE,1\r\n",
       [](const Env& env, const fs::path& in, const fs::path&) {
         return receipt::RemoveBranchNumbers(env, PathText(in), {});
       }},
      {"anonymization", "", "RE,1,2,3,4,5,6,7,8,9,10,11,12,1234-5\r\n", "HO\r\n",
       [](const Env& env, const fs::path& in, const fs::path&) {
         return receipt::AnonymizeReceipt(env, PathText(in));
       }},
      {"replacement mode 1", "", "x,12345678\r\n", "x\r\n",
       [](const Env& env, const fs::path& in, const fs::path& folder) {
         WriteBytes(folder / "def.csv", "1,2\r\n");
         return replace::RunMode1(env, PathText(folder / "def.csv"), PathText(in));
       }},
      {"postal, OUTPUT file", "h\r\n",
       "1,12,name,kana,1,19600101,1,1,3,a,b,0312345678,111-1111\r\n",
       "1,2,3,4,5,6,7,8,9,10,11,12\r\n",
       [](const Env& env, const fs::path& in, const fs::path&) {
         return postal::Cnv(env, u"08", u"06", PathText(in));
       }},
  };
  for (const Case& c : cases) {
    std::size_t writing = 0;  // inputs whose run got to a write
    for (std::size_t lines = 1000; lines * c.line.size() < (3u << 20); lines += lines / 2) {
      const std::string where = std::string(c.name) + ", " + std::to_string(lines) + " lines";
      std::string input = c.header;
      for (std::size_t i = 0; i < lines; ++i) input += c.line;
      input += c.faulty;
      bool wrote = false;
      for (std::uint64_t k = 1; k < 1000 && !wrote; ++k) {
        test::TempDir dir;
        const Env env = test::MakeEnv(dir.path());
        const fs::path in = dir / "in" / "input.txt";
        fs::create_directories(in.parent_path());
        WriteBytes(in, input);
        fault::Arm(k);
        const RunResult r = c.run(env, in, in.parent_path());
        fault::Disarm();
        // Stopped at the faulty line before a block was full: nothing to write.
        if (!fault::Fired()) break;
        if (fault::FiredOp() != FileOp::kWrite) continue;
        wrote = true;
        ++writing;
        const std::vector<std::string> messages = MessageLines(r);
        ASSERT_EQ(messages.size(), 1u) << where;
        EXPECT_EQ(messages[0].rfind("エラー: ファイル ", 0), 0u) << where << ": " << messages[0];
        EXPECT_NE(messages[0].find("に書き込めません。"), std::string::npos)
            << where << ": " << messages[0];
        EXPECT_TRUE(r.stopped) << where;
        EXPECT_TRUE(ListFiles(env.programDir).empty()) << where;
      }
    }
    EXPECT_GT(writing, 0u) << c.name;
  }
}

}  // namespace
}  // namespace tavo
