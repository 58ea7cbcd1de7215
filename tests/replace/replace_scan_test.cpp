// The SSE2 scans of the replacement runs against their plain forms, and the
// input's lines against the whole-file loading, on random lines over the
// bytes that matter to them.
#include <gtest/gtest.h>

#include <random>
#include <string>

#include "replace/input_lines.h"
#include "replace/key_find.h"
#include "replace/record_marks.h"
#include "support/test_util.h"

namespace tavo::replace {
namespace {

// Random bytes drawn mostly from `alphabet`, now and then any byte.
std::string RandomBytes(std::mt19937& rng, std::size_t length, std::string_view alphabet) {
  std::string bytes;
  for (std::size_t i = 0; i < length; ++i) {
    bytes += rng() % 8 == 0 ? static_cast<char>(rng() % 256) : alphabet[rng() % alphabet.size()];
  }
  return bytes;
}

TEST(ReplaceRecordMarks, NthCommaSearchesAgree) {
  std::mt19937 rng(1313);
  for (int round = 0; round < 20000; ++round) {
    const std::string bytes = RandomBytes(rng, rng() % 90, round % 3 ? ",,1RE,\x82" : ",a\r\n,,");
    const std::size_t from = rng() % (bytes.size() + 1);
    const unsigned n = 1 + rng() % 16;
    std::size_t want = std::string::npos;
    unsigned seen = 0;
    for (std::size_t i = from; i < bytes.size() && bytes[i] != '\r' && bytes[i] != '\n'; ++i) {
      if (bytes[i] == ',' && ++seen == n) {
        want = i;
        break;
      }
    }
    ASSERT_EQ(FindNthCommaPlain(bytes, from, n), want) << round;
#if TAVO_SSE2
    ASSERT_EQ(FindNthCommaSse2(bytes, from, n), want) << round;
#endif
  }
}

TEST(ReplaceKeyFind, SameAsTheStandardSearch) {
  // Lines of digits and TABs, where keys of digits nearly match everywhere.
  std::mt19937 rng(815);
  for (int round = 0; round < 20000; ++round) {
    const std::string line = RandomBytes(rng, rng() % 120, "0000012\t");
    std::string key = RandomBytes(rng, 1 + rng() % 12, "0012");
    // Often a key that is in the line.
    if (rng() % 2 == 0 && !line.empty()) {
      const std::size_t at = rng() % line.size();
      key = line.substr(at, 1 + rng() % 12);
    }
    const std::size_t from = rng() % (line.size() + 2);
    const std::size_t want = std::string_view(line).find(key, from);
    ASSERT_EQ(FindKeyPlain(line, key, from), want) << round;
#if TAVO_SSE2
    ASSERT_EQ(FindKeySse2(line, key, from), want) << round;
#endif
  }
}

TEST(ReplaceInputLines, LineEndSearchesAgree) {
  std::mt19937 rng(99);
  for (int round = 0; round < 20000; ++round) {
    // Long ASCII runs too, which the search passes sixteen bytes at a time.
    const std::string_view alphabet = round % 3 == 0   ? "ab\x8D\x8A\xED\" \t"
                                      : round % 3 == 1 ? "ab\r\n\xFA\" "
                                                       : "SI,0123456789,,,,ab";
    const std::string bytes = RandomBytes(rng, rng() % 70, alphabet);
    std::size_t want = bytes.size();
    for (std::size_t i = 0; i < bytes.size() && want == bytes.size(); ++i) {
      if (bytes[i] == '\r' || bytes[i] == '\n') want = i;
    }
    const bool wantQuoted = bytes.substr(0, want).find('"') != std::string::npos;
    bool quoted = !wantQuoted;
    ASSERT_EQ(FindRecordEndPlain(bytes, quoted), want) << round;
    ASSERT_EQ(quoted, wantQuoted) << round;
#if TAVO_SSE2
    quoted = !wantQuoted;
    ASSERT_EQ(FindRecordEndSse2(bytes, quoted), want) << round;
    ASSERT_EQ(quoted, wantQuoted) << round;
#endif
  }
}

// The lines AnyEndLineReader gives the same file.
std::vector<std::string> ReferenceLines(const std::filesystem::path& file) {
  AnyEndLineReader reader(file);
  std::vector<std::string> lines;
  std::string_view line;
  while (reader.NextBytes(line)) lines.emplace_back(line);
  return lines;
}

// The lines, and that the ones read with the quote test are told rightly
// whether they hold a quote; their line ends joined back in, when `ends`.
std::vector<std::string> Lines(const std::filesystem::path& file, TextCoding& coding,
                               std::size_t marked, std::string* ends = nullptr) {
  InputLines reader(file);
  coding = reader.coding();
  std::vector<std::string> lines;
  std::string_view line;
  bool quoted = false;
  while (lines.size() % 2 == marked ? reader.Next(line, quoted) : reader.Next(line)) {
    if (lines.size() % 2 == marked && coding == TextCoding::kCp932) {
      EXPECT_EQ(quoted, line.find('"') != std::string_view::npos) << lines.size();
    }
    lines.emplace_back(line);
    if (ends) *ends += std::string(line) + std::string(reader.LineEnd());
  }
  return lines;
}

TEST(ReplaceInputLines, SameLinesAsTheWholeFileLoading) {
  test::TempDir dir;
  const std::filesystem::path file = dir / "in.txt";
  // Files around the 1 MiB read: a CR LF astride it, a CR or an LF just
  // before or after it, a line longer than the buffer; with and without
  // byte-order marks, empty, without a last line end.
  const std::size_t mib = std::size_t{1} << 20;
  std::vector<std::string> files = {"",
                                    "\n",
                                    "\r",
                                    "\r\n",
                                    "a",
                                    "a\r\rb\n\nc",
                                    "\x1a\r\n\x1a",
                                    "\xEF\xBB\xBF",
                                    "\xEF\xBB\xBF"
                                    "a\r\nb",
                                    std::string("\xFF\xFE"
                                                "a\0\r\0\n\0",
                                                8),
                                    std::string("\xFE\xFF\0a\0\r", 6)};
  for (const std::size_t at : {mib - 2, mib - 1, mib, mib + 1}) {
    for (const char* end : {"\r\n", "\r", "\n", "\n\r"}) {
      files.push_back(std::string(at, 'x') + end + "tail\r\n");
      std::string lines;
      while (lines.size() < at) lines += "0000012\t0001\r\n";
      files.push_back(lines.substr(0, at) + end + "y");
    }
  }
  files.push_back(std::string(3 * mib, 'z') + "\r\n" + std::string(mib, 'w'));
  std::mt19937 rng(2718);
  for (int round = 0; round < 200; ++round) {
    files.push_back(RandomBytes(rng, rng() % 400, "ab\r\n\r\n\x1a\x82\"\t\xFB"));
  }
  for (std::size_t i = 0; i < files.size(); ++i) {
    test::WriteBytes(file, files[i]);
    TextCoding coding{};
    const std::vector<std::string> reference = ReferenceLines(file);
    std::string joined;
    ASSERT_EQ(Lines(file, coding, 0, &joined), reference) << i;
    ASSERT_EQ(Lines(file, coding, 1), reference) << i;
    ASSERT_EQ(coding, AnyEndLineReader(file).coding()) << i;
    // The lines with their line ends are the file again (a file without a mark).
    if (coding == TextCoding::kCp932) {
      ASSERT_EQ(joined, files[i]) << i;
    }
  }
}

}  // namespace
}  // namespace tavo::replace
