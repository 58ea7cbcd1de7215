// Anonymization must anonymize: no identifying text of the input survives in
// the output, for generated files and for the sample files when present.
#include <gtest/gtest.h>

#include <set>
#include <unordered_set>

#include "../../bench/receipt_gen.h"
#include "core/comma.h"
#include "core/cp932.h"
#include "core/files.h"
#include "receipt/receipt_ops.h"
#include "receipt_test_util.h"
#include "support/test_util.h"

namespace tavo::receipt {
namespace {

// Texts of the input that must not reach the output, each with the dummy
// value that replaces it (a text equal to its dummy may stay).
struct Secret {
  Text text;
  Text dummy;
  std::string where;
};

std::vector<Secret> SecretsOf(const std::vector<Text>& lines) {
  std::vector<Secret> out;
  auto add = [&](const FieldList& f, std::size_t i, const char* dummy, const std::string& where) {
    if (i < f.size() && !Trim(f[i]).empty()) out.push_back({f[i], T(dummy), where});
  };
  for (const Text& line : lines) {
    FieldList f;
    GetCommaTxt(line, f);
    if (f[0] == u"IR") {
      add(f, 4, "0123456", "IR 5");
      add(f, 6, "NIVAクリニック", "IR 7");
      add(f, 9, "012-345-6789", "IR 10");
    } else if (f[0] == u"RE") {
      add(f, 4, "", "RE 5");
      add(f, 36, "", "RE 37");
    } else if (f[0] == u"HO") {
      add(f, 1, "12345678", "HO 2");
      add(f, 2, "", "HO 3");
      add(f, 3, "１２３４５", "HO 4");
    } else if (f[0] == u"KO") {
      add(f, 1, "12345678", "KO 2");
      add(f, 2, "1234567", "KO 3");
    } else if (f[0] == u"SJ" || f[0] == u"CO") {
      out.push_back({line, Text(), ToUtf8(f[0]) + " record"});
      // The free text: SJ field 3 on, CO field 5 on.
      for (std::size_t i = f[0] == u"SJ" ? 2 : 4; i < f.size(); ++i)
        add(f, i, "", ToUtf8(f[0]) + " text");
    }
  }
  return out;
}

// A text of four or more characters must not occur anywhere in the output; a
// shorter one (a card symbol such as "１") would match by chance inside other
// values, so it must not be any whole field of the output.
void ExpectAnonymized(const std::vector<Text>& input, const std::vector<Text>& output) {
  Text all;
  std::set<Text> fields;
  for (const Text& line : output) {
    all += line;
    all += u'\n';
    FieldList f;
    GetCommaTxt(line, f);
    fields.insert(f.begin(), f.end());
  }
  // Every four characters of the output: a text with a group of four that is
  // not among them cannot occur, which spares most full searches.
  auto quad = [](const Text& t, std::size_t i) {
    std::uint64_t q = 0;
    for (std::size_t k = 0; k < 4; ++k) q = q << 16 | t[i + k];
    return q;
  };
  std::unordered_set<std::uint64_t> quads;
  for (std::size_t i = 0; i + 4 <= all.size(); ++i) quads.insert(quad(all, i));
  auto occurs = [&](const Text& t) {
    for (std::size_t i = 0; i + 4 <= t.size(); ++i)
      if (quads.count(quad(t, i)) == 0) return false;
    return all.find(t) != Text::npos;
  };
  const std::vector<Secret> secrets = SecretsOf(input);
  ASSERT_FALSE(secrets.empty());
  for (const Secret& s : secrets) {
    if (s.text == s.dummy) continue;
    const bool found = s.text.size() >= 4 ? occurs(s.text) : fields.count(s.text) != 0;
    EXPECT_FALSE(found) << s.where << ": " << ToUtf8(s.text);
  }
}

class AnonymizeProperty : public test::ReceiptRunTest {
 protected:
  void Check(const std::string& bytes) {
    const RunResult r = AnonymizeReceipt(env_, Input(bytes));
    ASSERT_EQ(r.written.size(), 1u);
    ExpectAnonymized(ReadLinesCp932(dir_ / "in.UKE"), ReadLinesCp932(r.written[0]));
  }
};

TEST_F(AnonymizeProperty, GeneratedFiles) {
  for (std::uint64_t seed : {1u, 2u}) {
    for (bool kokuho : {false, true}) {
      std::string bytes;
      bench::ReceiptGenerator(seed, kokuho).Generate(150000, [&](std::string_view b) {
        bytes.append(b);
      });
      Check(bytes);
    }
  }
}

TEST_F(AnonymizeProperty, SampleFiles) {
  const fs::path folder = fs::path(TAVO_REALDATA_DIR) / "uke";
  if (!FolderExists(folder)) GTEST_SKIP() << "no sample receipt files";
  int checked = 0;
  for (const auto& entry : fs::directory_iterator(folder)) {
    const std::string ext = entry.path().extension().string();
    if (ext != ".UKE" && ext != ".uke") continue;
    SCOPED_TRACE(entry.path().filename().string());
    Check(test::ReadBytes(entry.path()));
    ++checked;
  }
  if (checked == 0) GTEST_SKIP() << "no sample receipt files";
}

}  // namespace
}  // namespace tavo::receipt
