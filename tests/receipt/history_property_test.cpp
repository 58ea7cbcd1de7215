// The run history keeps no patient data: no value of generated receipt files
// reaches it, whatever the runs made of them.
#include <gtest/gtest.h>

#include <algorithm>

#include "../../bench/receipt_gen.h"
#include "core/comma.h"
#include "core/cp932.h"
#include "core/files.h"
#include "core/run_history.h"
#include "receipt/receipt_ops.h"
#include "receipt_test_util.h"
#include "support/test_util.h"

namespace tavo::receipt {
namespace {

// The values that would identify a patient, clinic or insurer: every field
// of the records with a character beyond ASCII (names, free text), and every
// longer field holding a letter, a blank or a branch separator (numbers and
// symbols as written in the file).
std::vector<Text> ValuesOf(const std::string& bytes) {
  std::vector<Text> values;
  const Text text = Cp932Decode(bytes);
  for (std::size_t start = 0, end; start < text.size(); start = end + 2) {
    end = std::min(text.find(u"\r\n", start), text.size());
    FieldList fields;
    GetCommaTxt(TextView(text).substr(start, end - start), fields);
    for (std::size_t i = 1; i < fields.size(); ++i) {
      const Text v = Trim(fields[i]);
      bool wide = false;
      bool marked = false;
      for (const char16_t c : v) {
        wide = wide || c >= 0x80;
        marked = marked || c == u'-' || c == u'/' || c == u'*' || c == u' ' ||
                 (c >= u'A' && c <= u'Z') || (c >= u'g' && c <= u'z');
      }
      if ((wide && v.size() >= 2) || (marked && v.size() >= 5)) values.push_back(v);
    }
  }
  return values;
}

class HistoryProperty : public test::ReceiptRunTest {};

TEST_F(HistoryProperty, NoValueOfTheInputsReachesTheHistory) {
  for (std::uint64_t seed = 1; seed <= 6; ++seed) {
    std::string bytes;
    bench::ReceiptGenerator(seed, seed % 2 == 0).Generate(20000, [&](std::string_view b) {
      bytes.append(b);
    });
    // A second file cut inside a record, which stops the runs with an error.
    const std::string cut = bytes.substr(0, bytes.find("\r\nRE,", 200) + 8);
    for (const std::string& input : {bytes, cut}) {
      const Text file = Input(input);
      RecordRun(env_.programDir, RemoveBranchNumbers(env_, file, {}));
      RecordRun(env_.programDir, RemoveBranchNumbers(env_, file, {1, u"2", u"5"}));
      RecordRun(env_.programDir, AnonymizeReceipt(env_, file));
    }
    const Text history =
        Cp932Decode(test::ReadBytes(env_.programDir / PathFromText(kRunHistoryName)));
    const std::vector<Text> values = ValuesOf(bytes);
    ASSERT_GT(values.size(), 50u);
    for (const Text& v : values)
      EXPECT_EQ(history.find(v), Text::npos) << "seed " << seed << ": " << ToUtf8(v);
  }
}

}  // namespace
}  // namespace tavo::receipt
