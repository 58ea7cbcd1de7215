// The item-code conversion works on the raw bytes of each line and goes
// through the text only for fields that hold a byte of 0x80 or more. Its
// output must be what the rules give when every line is read as text: here
// the text path is written out plainly from the public rule functions and
// both are compared, whole file against whole file, on random lines built
// from values that sit on the rules' edges.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>

#include "core/carte.h"
#include "core/cp932.h"
#include "linkage/convert2.h"
#include "linkage/validate.h"
#include "support/test_util.h"

namespace tavo::linkage {
namespace {

using test::ReadBytes;
using test::Sjis;
using test::TempDir;
using test::WriteBytes;

// The item-code conversion on text: lines end at CR LF (the only break the
// inputs below hold), every line is decoded before anything else.
std::string PlainConvertNewFmt(const std::string& input, const fs::path& recelist) {
  const DataIdMap map = LoadDataIdMap(recelist);
  std::vector<Text> lines;
  std::size_t start = 0;
  while (start < input.size()) {
    std::size_t end = input.find("\r\n", start);
    if (end == std::string::npos) end = input.size();
    lines.push_back(Cp932Decode(input.substr(start, end - start)));
    start = end + 2;
  }
  if (lines.empty()) return "";
  std::unordered_map<Text, std::size_t> header;
  const FieldList names = SplitTab(lines[0]);
  for (std::size_t i = 0; i < names.size(); ++i) header[UpperAscii(Trim(names[i]))] = i;
  Text out = LongHeaderLine() + u"\r\n";
  for (std::size_t l = 1; l < lines.size(); ++l) {
    if (IsBlank(lines[l])) continue;
    const FieldList fields = SplitTab(lines[l]);
    for (int c = 0; c < kLongColumnCount; ++c) {
      if (c) out += u',';
      const int pos = LongColumnMap()[static_cast<std::size_t>(c)];
      if (pos < 0) continue;
      const std::string_view code = CodeAt(pos);
      const auto it = header.find(Text(code.begin(), code.end()));
      const std::size_t src = it != header.end() ? it->second : static_cast<std::size_t>(pos);
      if (src >= fields.size()) continue;
      if (c == 0) {
        out += ConvCarte(fields[src], map);
      } else if (c == 2) {
        Text date = Trim(fields[src]);
        if (date.size() == 6) date += u"01";
        out += ChkStdNew(date, c);
      } else {
        out += ChkStdNew(fields[src], c);
      }
    }
    out += u"\r\n";
  }
  return Cp932Encode(out);
}

// Field values on the edges of the rules, as code page 932 bytes: blanks
// around values, full-width digits, kanji, half-width kana, bytes that do
// not decode (lone lead bytes, 80, A0, FD, FF), codes that re-encode to
// another code (ED40 -> FA5C, 8790 -> 81E0), long fields, chart numbers.
std::vector<std::string> Values() {
  std::vector<std::string> v = {
      "",
      " ",
      "  ",
      "0",
      "1",
      "2",
      "3",
      "4",
      "5",
      "6",
      "7",
      "8",
      "9",
      " 3 ",
      "\x01"
      "1",
      "1 ",
      "01",
      "12",
      "x",
      "A",
      "-1",
      "+7",
      "-0",
      "0000",
      "1234",
      "12345",
      "123456",
      "1234567",
      "12345678",
      "123456789",
      "202606",
      " 202606 ",
      "20260612",
      "2026-06",
      "202606\x1F",
      "1101101101101",
      "110110110110",
      "0123901239",
      "012390123",
      "123456791234567912",
      "123456791234567910",
      "10101010101010",
      "0101010",
      "9223372036854775807",
      "9223372036854775808",
      "-9223372036854775808",
      "000123",
      "00077",
      "123",
      "555",
      "0000000000000000000000001",
      "abcdefghijklmnopqrstu",
      "abcdefghijklmnopqrst",
      std::string(41, 'z'),
      std::string(40, 'z'),
      std::string(17, '1'),
      std::string(16, '2'),
      Sjis("１"),
      Sjis("１２３"),
      Sjis("山田　太郎"),
      Sjis("２型糖尿病"),
      Sjis("ｱｲｳ"),
      Sjis(" 山 "),
      Sjis("山田山田山田山田山田"),
      Sjis("山田山田山田山田山田山"),
      Sjis("山山山山山山山山山山山山山山山山山山山山山山山山山山山山山山山山山山山山山山山山"),
      Sjis("ＡＢ"),
      "\x80",
      "\xA0",
      "\xFD",
      "\xFF",
      "\x81",
      "1\x81",
      "\x81"
      "1",
      "\x82\x4F",
      "\xED\x40",
      "\x87\x90",
      "\xFA\x4A",
      "12\xED\x40",
      "\xEE\xEF"
      "5",
      "\x94\xFC",      // 美: FC as a second byte, written as read
      "\xFB\xFC\x8E\x52",  // 髙山 as Windows writes them
      "\x81\x20",
  };
  return v;
}

// A receipt list with ASCII and non-ASCII data identification numbers,
// repeated keys (the later wins), short and blank lines.
std::string ReceiptList() {
  std::string r;
  r += "0456,name,kana,19500101,000123\r\n";
  r += "0777,name,kana,19500101,555\r\n";
  r += "0888,name,kana,19500101,555\r\n";
  r += "   \r\n";
  r += "9,short\r\n";
  r += "0001,a,b,c,   \r\n";
  r += Sjis("山田,a,b,c,ＡＢ\r\n");
  r += Sjis(" ０１ ,a,b,c,１２３\r\n");
  r += "\xED\x40,a,b,c,77\r\n";
  r += "-5,a,b,c, +0000001 \r\n";
  r += "00042,a,b,c,9223372036854775807,extra\r\n";
  r += "x\x81,a,b,c,\x81\r\n";
  r += "   ,a,b,c,1234567\r\n";
  return r;
}

std::string RandomInput(std::mt19937& rng, const std::string& header, std::size_t lines) {
  const std::vector<std::string> values = Values();
  std::uniform_int_distribution<std::size_t> pick(0, values.size() - 1);
  // Up to a few thousand bytes: lines longer than the split's chunks.
  std::uniform_int_distribution<int> width(0, 400);
  std::uniform_int_distribution<int> percent(0, 99);
  std::string in = header + "\r\n";
  for (std::size_t l = 0; l < lines; ++l) {
    const int roll = percent(rng);
    if (roll < 3) {
      in += roll == 0 ? "" : roll == 1 ? "  " : " \t ";  // blank lines
    } else {
      // Mostly full lines, some cut short or far longer than the header.
      const int n = percent(rng) < 70 ? kCodeCount : width(rng);
      for (int f = 0; f < n; ++f) {
        if (f) in += '\t';
        in += values[pick(rng)];
      }
    }
    in += "\r\n";
  }
  return in;
}

std::string DefaultHeader() {
  std::string h;
  for (int i = 0; i < kCodeCount; ++i) h += (i ? "\t" : "") + std::string(CodeAt(i));
  return h;
}

// Codes shuffled, some lower case between blanks, some missing, one twice,
// and a non-ASCII name.
std::string ShuffledHeader(std::mt19937& rng) {
  std::vector<std::string> names;
  for (int i = 0; i < kCodeCount; ++i) names.emplace_back(CodeAt(i));
  std::shuffle(names.begin(), names.end(), rng);
  for (std::size_t i = 0; i < names.size(); i += 7) {
    std::transform(names[i].begin(), names[i].end(), names[i].begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    names[i] = " " + names[i] + " ";
  }
  names[3] = Sjis("氏名");
  names[10] = names[20];
  std::string h;
  for (std::size_t i = 0; i < names.size(); ++i) h += (i ? "\t" : "") + names[i];
  return h;
}

TEST(ItemCodeBytes, SameOutputAsTheTextPathOnRandomLines) {
  TempDir dir;
  WriteBytes(dir / "recelist.csv", ReceiptList());
  std::mt19937 rng(20260601);
  struct Case {
    const char* name;
    std::string header;
    fs::path recelist;
  } cases[] = {
      {"default header", DefaultHeader(), dir / "recelist.csv"},
      {"shuffled header", ShuffledHeader(rng), dir / "recelist.csv"},
      {"header without codes", "h", dir / "recelist.csv"},
      {"no receipt list", DefaultHeader(), dir / "missing.csv"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string input = RandomInput(rng, c.header, 1500);
    WriteBytes(dir / "in.txt", input);
    ConvertNewFmt(dir / "in.txt", dir / "out.csv", c.recelist);
    const std::string expected = PlainConvertNewFmt(input, c.recelist);
    const std::string actual = ReadBytes(dir / "out.csv");
    if (actual != expected) {
      // Name the first row that differs.
      std::size_t at = 0;
      while (at < actual.size() && at < expected.size() && actual[at] == expected[at]) ++at;
      const std::size_t row = static_cast<std::size_t>(
          std::count(expected.begin(), expected.begin() + static_cast<std::ptrdiff_t>(at), '\n'));
      ADD_FAILURE() << "first difference in output row " << row << " at byte " << at;
    }
  }
}

TEST(ItemCodeBytes, ChartNumbersFromTheReceiptList) {
  // Each data identification number alone on a line, so that a wrong chart
  // number is easy to see.
  TempDir dir;
  WriteBytes(dir / "recelist.csv", ReceiptList());
  std::string input = DefaultHeader() + "\r\n";
  for (const std::string& v : Values()) input += v + "\t1\r\n";
  input += Sjis("ＡＢ") + "\r\n" + Sjis(" １２３ ") + "\r\n" + " 1 \r\n" + "+1\r\n";
  WriteBytes(dir / "in.txt", input);
  ConvertNewFmt(dir / "in.txt", dir / "out.csv", dir / "recelist.csv");
  EXPECT_EQ(ReadBytes(dir / "out.csv"), PlainConvertNewFmt(input, dir / "recelist.csv"));
}

}  // namespace
}  // namespace tavo::linkage
