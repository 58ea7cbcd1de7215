// Receipt runs never destroy a file: not their own input, not an output the
// same click has already written.
#include <gtest/gtest.h>

#include <functional>

#include "core/errors.h"
#include "core/files.h"
#include "receipt/receipt_ops.h"
#include "receipt_test_util.h"
#include "support/test_util.h"

namespace tavo::receipt {
namespace {

using test::ListFiles;
using test::ReadBytes;
using test::WriteBytes;

using Run = std::function<RunResult(const Env&, TextView, ClickOutputs*)>;

struct RunCase {
  const char* what;
  Run run;
  const char* shahoName;  // the output name of a 社保 file of 202604
};

const RunCase kRuns[] = {
    {"branch removal",
     [](const Env& env, TextView file, ClickOutputs* click) {
       return RemoveBranchNumbers(env, file, {}, click);
     },
     "(202604提出_社保)RECEIPTC.uke"},
    {"anonymization",
     [](const Env& env, TextView file, ClickOutputs* click) { return AnonymizeReceipt(env, file, click); },
     "202604_1.UKE"},
};

const std::string kShaho = "IR,1,13,1,1,,x,202604,00,0\r\nRE,1,2,3,4,5,6,7,8,9,10,11,12,7-1\r\n";

class ReceiptRunSafety : public test::ReceiptRunTest {};

TEST_F(ReceiptRunSafety, InputNamedLikeItsOutputInTheProgramFolderIsRefused) {
  for (const RunCase& c : kRuns) {
    const fs::path input = Out(c.shahoName);
    WriteBytes(input, kShaho);
    const RunResult r = c.run(env_, PathText(input), nullptr);
    EXPECT_EQ(r.messages, (std::vector<Message>{{MsgKind::Warning,
                                                 T("変換後のファイル名「") + T(c.shahoName) +
                                                     T("」が変換前のファイルと同じになるため、作"
                                                       "成しません。")}}))
        << c.what;
    EXPECT_FALSE(r.wrote());
    EXPECT_FALSE(r.stopped);
    EXPECT_TRUE(r.gstMsg.empty() && r.gstFile1.empty() && r.gstFile2.empty());
    EXPECT_EQ(ReadBytes(input), kShaho) << c.what;
    EXPECT_EQ(ListFiles(env_.programDir), std::vector<std::string>{c.shahoName}) << c.what;
    fs::remove(input);
  }
}

TEST_F(ReceiptRunSafety, SecondFileOfTheSameNameInOneClickIsNotWritten) {
  const std::string second = kShaho + "SY,2\r\n";
  for (const RunCase& c : kRuns) {
    const Text first = Input(kShaho, "a.UKE");
    const Text later = Input(second, "b.UKE");
    ClickOutputs click;
    const RunResult r1 = c.run(env_, first, &click);
    const std::string written = ReadBytes(Out(c.shahoName));
    const RunResult r2 = c.run(env_, later, &click);
    EXPECT_TRUE(r1.wrote() && r1.messages.empty()) << c.what;
    EXPECT_EQ(r2.messages,
              (std::vector<Message>{{MsgKind::Warning,
                                     T("「") + later + T("」の変換後のファイル名「") +
                                         T(c.shahoName) + T("」が「") + first +
                                         T("」の変換後のファイルと同じになるため、作成しません。")}}))
        << c.what;
    EXPECT_FALSE(r2.wrote());
    EXPECT_FALSE(r2.stopped);
    EXPECT_TRUE(r2.gstMsg.empty() && r2.gstFile1.empty());
    EXPECT_EQ(ReadBytes(Out(c.shahoName)), written) << c.what;
    EXPECT_EQ(ListFiles(env_.programDir), std::vector<std::string>{c.shahoName}) << c.what;

    // A later click replaces the earlier click's output, as it always did.
    ClickOutputs nextClick;
    const RunResult r3 = c.run(env_, later, &nextClick);
    EXPECT_TRUE(r3.wrote() && r3.messages.empty()) << c.what;
    EXPECT_NE(ReadBytes(Out(c.shahoName)), written) << c.what;
    fs::remove(Out(c.shahoName));
  }
}

TEST_F(ReceiptRunSafety, BothKindsInOneClickAreBothWritten) {
  for (const RunCase& c : kRuns) {
    ClickOutputs click;
    const RunResult r1 = c.run(env_, Input(kShaho, "a.UKE"), &click);
    const RunResult r2 = c.run(env_, Input("IR,2,13,1,1,,x,202604,00,0\r\n", "b.UKE"), &click);
    EXPECT_TRUE(r1.wrote() && r2.wrote()) << c.what;
    EXPECT_TRUE(r1.messages.empty() && r2.messages.empty()) << c.what;
    EXPECT_EQ(ListFiles(env_.programDir).size(), 2u) << c.what;
    for (const auto& f : r1.written) fs::remove(f);
    for (const auto& f : r2.written) fs::remove(f);
  }
}

}  // namespace
}  // namespace tavo::receipt
