// The TAB split of the streamed conversions: the SSE2 split and the plain
// split against a straightforward one, on random lines; with them, whether
// the line holds a comma.
#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <random>
#include <string>
#include <string_view>
#include <vector>

#include "linkage/tab_fields.h"

namespace tavo::linkage {
namespace {

struct Field {
  std::string_view bytes;
  bool ascii;
  bool operator==(const Field&) const = default;
};

std::vector<Field> Reference(std::string_view line) {
  std::vector<Field> out;
  if (line.empty()) return out;
  std::size_t start = 0;
  while (true) {
    const std::size_t tab = line.find('\t', start);
    const std::string_view f = line.substr(start, tab == std::string_view::npos ? tab : tab - start);
    bool ascii = true;
    for (char c : f) ascii = ascii && static_cast<unsigned char>(c) < 0x80;
    out.push_back({f, ascii});
    if (tab == std::string_view::npos) return out;
    start = tab + 1;
  }
}

// The fields of a split, the wanted ones only when `wanted` is given.
std::vector<Field> Fields(const TabFields& t, const std::vector<std::size_t>* wanted) {
  std::vector<bool> asked(t.size(), wanted == nullptr);
  if (wanted) {
    for (std::size_t w : *wanted) asked[w] = true;
  }
  std::vector<Field> out;
  for (std::size_t i = 0; i < t.size(); ++i) {
    out.push_back(asked[i] ? Field{t.field(i), t.ascii(i)} : Field{});
  }
  return out;
}

TEST(TabFields, SplitsAgreeWithAStraightforwardSplit) {
  std::mt19937 rng(20261210);
  // Bytes a line is made of: TABs, ASCII, CR, bytes of 0x80 and more.
  const std::string alphabet = std::string("\t\ta1 ,\r\"") + "\x82\xA0\x90\xFF\x85\x7F";
  // The same objects for every line: nothing of a longer line may remain.
  TabFields plainAll, plainWanted;
#if TAVO_SSE2
  TabFields sse2;
#endif
  for (int round = 0; round < 10000; ++round) {
    std::size_t length = rng() % 120;
    if (round % 50 == 0) length = rng() % 5000;  // past the chunks of field positions
    const unsigned tabShare = rng() % 100;        // from no TAB to nearly all TABs
    std::string bytes;
    for (std::size_t i = 0; i < length; ++i) {
      bytes += rng() % 100 < tabShare ? '\t' : alphabet[rng() % alphabet.size()];
    }
    // The readable bytes past the line hold TABs and high bytes too.
    for (std::size_t i = 0; i < TabFields::kReadSlack; ++i) bytes += alphabet[rng() % alphabet.size()];
    const std::string_view line(bytes.data(), length);
    const std::vector<Field> expected = Reference(line);
    SCOPED_TRACE("round " + std::to_string(round));

    const bool comma = line.find(',') != std::string_view::npos;
    plainAll.SplitPlain(line);
    ASSERT_EQ(Fields(plainAll, nullptr), expected);
    ASSERT_EQ(plainAll.comma(), comma);
#if TAVO_SSE2
    sse2.Split(line);
    ASSERT_EQ(Fields(sse2, nullptr), expected);
    ASSERT_EQ(sse2.comma(), comma);
#endif
    // Only some fields wanted: the splits skip the others.
    std::vector<std::size_t> wanted;
    for (std::size_t i = 0; i < expected.size(); ++i) {
      if (rng() % 3 == 0) wanted.push_back(i);
    }
    if (wanted.empty()) continue;
    plainWanted = TabFields();
    plainWanted.Want(wanted);
    plainWanted.SplitPlain(line);
    const std::vector<Field> got = Fields(plainWanted, &wanted);
    ASSERT_EQ(got.size(), expected.size());
    for (std::size_t w : wanted) ASSERT_EQ(got[w], expected[w]);
#if TAVO_SSE2
    TabFields sse2Wanted;
    sse2Wanted.Want(wanted);
    sse2Wanted.Split(line);
    const std::vector<Field> gotSse2 = Fields(sse2Wanted, &wanted);
    ASSERT_EQ(gotSse2.size(), expected.size());
    for (std::size_t w : wanted) ASSERT_EQ(gotSse2[w], expected[w]);
#endif
  }
}

// A line cut at its first CR or LF and split in the same pass, against the
// line cut first and split alone; with no break among the bytes, none found.
TEST(TabFields, SplitToBreakAgreesWithCuttingFirst) {
  std::mt19937 rng(1211);
  const std::string alphabet = std::string("\t\ta1 ,\"") + "\x82\xA0\x90\xFF\x85\x7F";
  TabFields cut;
  TabFields alone;
  for (int round = 0; round < 10000; ++round) {
    const std::size_t length = round % 50 == 0 ? rng() % 5000 : rng() % 300;
    std::string bytes;
    for (std::size_t i = 0; i < length; ++i) {
      const unsigned r = rng() % 200;
      bytes += r == 0 ? '\r' : r == 1 ? '\n' : alphabet[rng() % alphabet.size()];
    }
    const std::size_t size = bytes.size();
    for (std::size_t i = 0; i < TabFields::kReadSlack; ++i) bytes += "\t\r\n\x82"[rng() % 4];
    const std::string_view view(bytes.data(), size);
    SCOPED_TRACE("round " + std::to_string(round));
    const std::size_t end = std::min(view.find_first_of("\r\n"), size);
    ASSERT_EQ(cut.SplitToBreak(view), end);
    if (end == size) continue;
    alone.Split(view.substr(0, end));
    ASSERT_EQ(Fields(cut, nullptr), Fields(alone, nullptr));
    ASSERT_EQ(Fields(cut, nullptr), Reference(view.substr(0, end)));
    // A comma after the break belongs to the next line.
    ASSERT_EQ(cut.comma(), view.substr(0, end).find(',') != std::string_view::npos);
  }
}

TEST(TabFields, CountBitsAgreesWithPopcount) {
  std::mt19937_64 rng(15);
  for (std::uint64_t w : {std::uint64_t{0}, ~std::uint64_t{0}, std::uint64_t{1} << 63}) {
    EXPECT_EQ(CountBits(w), static_cast<std::size_t>(std::popcount(w)));
  }
  for (int round = 0; round < 1000; ++round) {
    const std::uint64_t w = rng() & rng();
    ASSERT_EQ(CountBits(w), static_cast<std::size_t>(std::popcount(w)));
  }
}

TEST(TabFields, PaddedTwinLeadTestAgreesWithTheByteTest) {
  std::mt19937 rng(932);
  // Every lead byte that has a twin, its neighbours, ASCII and TAB.
  const std::string alphabet = std::string("\x87\xED\xEE\xFA\xFB\xFC\x86\x88\xEC\xEF\xF9\xFD") +
                               "\x82\xA0" + "a1 \t";
  for (int round = 0; round < 20000; ++round) {
    const std::size_t length = rng() % 40;
    std::string bytes;
    for (std::size_t i = 0; i < length + kFieldSlack; ++i) {
      // Mostly plain bytes, so that both answers come up often.
      bytes +=
          rng() % 4 == 0 ? alphabet[rng() % 12] : alphabet[12 + rng() % (alphabet.size() - 12)];
    }
    const std::string_view field(bytes.data(), length);
    ASSERT_EQ(HasTwinLeadPadded(field), Cp932HasTwinLeadPlain(field)) << "round " << round;
  }
}

}  // namespace
}  // namespace tavo::linkage
