#include <gtest/gtest.h>

#include <cstdio>
#include <optional>
#include <random>
#include <set>
#include <string>

#include "core/cp932.h"

#if !defined(_WIN32) && __has_include(<iconv.h>)
#include <iconv.h>
#define TAVO_HAVE_ICONV 1
#endif

namespace tavo {
namespace {

// Bytes from hex text: B("81 40 41") is the three bytes 81 40 41.
std::string B(const char* hex) {
  std::string out;
  unsigned v;
  int n;
  while (std::sscanf(hex, " %2x%n", &v, &n) == 1) {
    out.push_back(static_cast<char>(v));
    hex += n;
  }
  return out;
}

std::string Hex(const std::string& bytes) {
  std::string out;
  char buf[4];
  for (unsigned char b : bytes) {
    std::snprintf(buf, sizeof buf, "%s%02X", out.empty() ? "" : " ", b);
    out += buf;
  }
  return out;
}

std::string Code(int code) {
  std::string s{static_cast<char>(code >> 8), static_cast<char>(code & 0xFF)};
  return s;
}

bool IsLead(int b) { return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC); }

// Every double-byte code point in the lead and trail ranges, assigned or not.
std::vector<int> AllPairCodes() {
  std::vector<int> codes;
  for (int lead = 0x81; lead <= 0xFC; ++lead) {
    if (!IsLead(lead)) continue;
    for (int trail = 0x40; trail <= 0xFC; ++trail)
      if (trail != 0x7F) codes.push_back(lead << 8 | trail);
  }
  return codes;
}

// The codes Windows never writes because their character has a preferred code:
// NEC row 13 copies of JIS X 0208 symbols, IBM extension copies of NEC row 13
// and JIS symbols, and the whole NEC-selected ED/EE rows.
bool IsDuplicateCode(int code) {
  static const std::set<int> kSingles = {0x8790, 0x8791, 0x8792, 0x8795, 0x8796, 0x8797, 0x879A,
                                         0x879B, 0x879C, 0xFA54, 0xFA58, 0xFA59, 0xFA5A, 0xFA5B};
  return kSingles.count(code) != 0 || (code >= 0xFA4A && code <= 0xFA53) || (code >> 8) == 0xED ||
         (code >> 8) == 0xEE;
}

bool IsEscape(char16_t c) { return c >= 0xDC80 && c <= 0xDCFF; }

TEST(Cp932, NamedCharactersBothWays) {
  struct Case {
    const char* text;  // UTF-8
    const char* bytes;
  } cases[] = {
      {"A\\~", "41 5C 7E"},  // 5C and 7E are ASCII, not yen and overline
      {"ｱ｡ﾟ", "B1 A1 DF"},
      {"あア亜", "82 A0 83 41 88 9F"},
      {"ⅰ", "FA 40"},
      {"髙", "FB FC"},
      {"≒", "81 E0"},
      {"Ⅰ", "87 54"},
      {"∵", "81 E6"},
      {"～", "81 60"},
      {"￢", "81 CA"},
      {"①㈱№℡", "87 40 87 8A 87 82 87 84"},
      {"￤＇＂", "FA 55 FA 56 FA 57"},
      {"纊", "FA 5C"},
      {"―", "81 5C"},
      {"－∥￠￡", "81 7C 81 61 81 91 81 92"},
      {"\xEE\x80\x80\xEE\x9D\x97", "F0 40 F9 FC"},  // U+E000 U+E757
      {"\xEE\x80\xBE\xEE\x82\xBB", "F0 7E F0 FC"},  // U+E03E U+E0BB: row ends
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    EXPECT_EQ(Hex(Cp932Encode(T(c.text))), Hex(B(c.bytes)));
    EXPECT_EQ(ToUtf8(Cp932Decode(B(c.bytes))), c.text);
  }
}

TEST(Cp932, LookAlikesEncodeToTheWindowsCharacter) {
  struct Case {
    const char* text;
    const char* bytes;
  } cases[] = {
      {"〜", "81 60"}, {"−", "81 7C"}, {"‖", "81 61"}, {"¢", "81 91"},
      {"£", "81 92"},  {"¬", "81 CA"}, {"—", "81 5C"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    EXPECT_EQ(Hex(Cp932Encode(T(c.text))), Hex(B(c.bytes)));
    EXPECT_TRUE(Cp932CanEncode(T(c.text)));
    EXPECT_NE(ToUtf8(Cp932Decode(B(c.bytes))), c.text);  // decoding gives the Windows form
  }
}

// Windows decodes 80, A0, FD-FF to these; we decode them to escapes, but a text
// that holds Windows' characters still encodes to the same bytes.
TEST(Cp932, WindowsSingleByteCharactersEncodeToTheirBytes) {
  EXPECT_EQ(Hex(Cp932Encode(u"\u0080\uF8F0\uF8F1\uF8F2\uF8F3")), "80 A0 FD FE FF");
  EXPECT_TRUE(Cp932CanEncode(u"\u0080\uF8F0\uF8F3"));
  EXPECT_EQ(Cp932Encode(u"\uF8EF\uF8F4"), "??");
}

TEST(Cp932, DuplicateCodesDecodeAndReencodeToThePreferredCode) {
  struct Case {
    const char* bytes;
    const char* text;
    const char* preferred;
  } cases[] = {
      {"ED 40", "纊", "FA 5C"}, {"EE EF", "ⅰ", "FA 40"},  {"EE F9", "￢", "81 CA"},
      {"EE FA", "￤", "FA 55"}, {"87 90", "≒", "81 E0"},  {"87 9A", "∵", "81 E6"},
      {"FA 5B", "∵", "81 E6"},  {"FA 54", "￢", "81 CA"}, {"FA 58", "㈱", "87 8A"},
      {"FA 59", "№", "87 82"},  {"FA 4A", "Ⅰ", "87 54"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.bytes);
    const Text decoded = Cp932Decode(B(c.bytes));
    EXPECT_EQ(ToUtf8(decoded), c.text);
    EXPECT_EQ(Hex(Cp932Encode(decoded)), Hex(B(c.preferred)));
  }
}

TEST(Cp932, InvalidBytesDecodeToEscapesAndEncodeBack) {
  struct Case {
    const char* bytes;
    std::u16string text;
  } cases[] = {
      {"81", u"\xDC81"},                       // lone lead byte at the end
      {"41 88", u"A\xDC88"},                   // lead byte cut off after text
      {"81 20", u"\xDC81 "},                   // lead byte + invalid trail
      {"81 7F", u"\xDC81\x7F"},                // 7F is never a trail
      {"81 FD", u"\xDC81\xDCFD"},              // neither is FD
      {"85 40", u"\xDC85@"},                   // unassigned pair: trail read again
      {"EF 40", u"\xDCEF@"},                   // whole unassigned row
      {"82 FD 82 A0", u"\xDC82\xDCFD\x3042"},  // recovery right after a bad pair
      {"81 81 40", u"\xFF1D@"},                // a lead byte as trail
      {"40 80 A0 FD FE FF", u"@\xDC80\xDCA0\xDCFD\xDCFE\xDCFF"},
      {"00 1A 0D 0A", std::u16string(u"\0\x1A\r\n", 4)},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.bytes);
    const std::string bytes = B(c.bytes);
    const Text decoded = Cp932Decode(bytes);
    EXPECT_EQ(decoded, c.text);
    EXPECT_EQ(Hex(Cp932Encode(decoded)), Hex(bytes));
    EXPECT_TRUE(Cp932CanEncode(decoded));
  }
}

TEST(Cp932, UnencodableCharactersBecomeOneQuestionMarkEach) {
  struct Case {
    std::u16string text;
    const char* bytes;
  } cases[] = {
      {u"€", "3F"},
      {u"¥‾", "3F 3F"},  // the yen and overline look-alikes have no code of their own
      {u"a\xD83D\xDE00z", "61 3F 7A"},      // surrogate pair: one code point
      {u"\xD83D\xDC80", "3F"},              // pair whose low half lies in the escape range
      {u"\xD800", "3F"},                    // lone high surrogate at the end
      {u"\xD800\xD800\xDC00", "3F 3F"},     // lone high, then a pair
      {u"\xDC00\xDC7F\xDD00", "3F 3F 3F"},  // lone low surrogates outside the escapes
      {u"\xFFFF\xF900", "3F 3F"},
      {u"?", "3F"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.bytes);
    EXPECT_EQ(Hex(Cp932Encode(c.text)), Hex(B(c.bytes)));
    EXPECT_EQ(Cp932CanEncode(c.text), c.text == u"?");
  }
}

TEST(Cp932, AppendKeepsWhatIsThere) {
  Text text = u"x";
  Cp932DecodeAppend(B("82 A0"), text);
  EXPECT_EQ(text, u"xあ");
  std::string bytes = "y";
  Cp932EncodeAppend(u"あ", bytes);
  EXPECT_EQ(bytes, "y" + B("82 A0"));
  EXPECT_EQ(Cp932Decode(""), u"");
  EXPECT_EQ(Cp932Encode(u""), "");
}

TEST(Cp932, EverySingleByteRoundTrips) {
  for (int b = 0; b < 256; ++b) {
    SCOPED_TRACE(b);
    const std::string bytes(1, static_cast<char>(b));
    const Text decoded = Cp932Decode(bytes);
    ASSERT_EQ(decoded.size(), 1u);
    const char16_t c = decoded[0];
    if (b < 0x80) {
      EXPECT_EQ(c, b);
    } else if (b >= 0xA1 && b <= 0xDF) {
      EXPECT_EQ(c, 0xFF61 + b - 0xA1);
    } else {
      EXPECT_EQ(c, 0xDC00 + b);  // lead bytes alone and 80, A0, FD-FF
    }
    EXPECT_EQ(Cp932Encode(decoded), bytes);
  }
}

TEST(Cp932, EveryDoubleByteCodeRoundTripsOrGoesToItsPreferredCode) {
  int assigned = 0;
  int duplicates = 0;
  std::set<char16_t> seen;
  for (int code : AllPairCodes()) {
    SCOPED_TRACE(Hex(Code(code)));
    const Text decoded = Cp932Decode(Code(code));
    if (decoded.size() == 2) {  // unassigned: both bytes escaped or read alone
      EXPECT_TRUE(IsEscape(decoded[0]));
      EXPECT_EQ(Cp932Encode(decoded), Code(code));
      continue;
    }
    ASSERT_EQ(decoded.size(), 1u);
    ++assigned;
    seen.insert(decoded[0]);
    EXPECT_FALSE(decoded[0] < 0x80 || (decoded[0] >= 0xD800 && decoded[0] <= 0xDFFF));
    EXPECT_TRUE(Cp932CanEncode(decoded));
    const std::string encoded = Cp932Encode(decoded);
    if (IsDuplicateCode(code)) {
      ++duplicates;
      EXPECT_NE(encoded, Code(code));
      EXPECT_EQ(encoded.size(), 2u);
      EXPECT_FALSE(IsDuplicateCode(static_cast<unsigned char>(encoded[0]) << 8 |
                                   static_cast<unsigned char>(encoded[1])));
      EXPECT_EQ(Cp932Decode(encoded), decoded);
    } else {
      EXPECT_EQ(encoded, Code(code));
    }
    if (code >= 0xF040 && code <= 0xF9FC) {
      const int index = ((code >> 8) - 0xF0) * 188 + (code & 0xFF) - 0x40 - ((code & 0xFF) > 0x7F);
      EXPECT_EQ(decoded[0], 0xE000 + index);
    }
  }
  // Windows' table: 7724 double-byte codes, plus 1880 user-defined ones.
  EXPECT_EQ(assigned, 7724 + 1880);
  EXPECT_EQ(static_cast<int>(seen.size()), assigned - duplicates);
}

// Random bytes survive decode + encode unchanged once the lead bytes of the
// duplicate codes (87, ED, EE, FA) are kept out.
TEST(Cp932, RandomBytesArePreserved) {
  std::mt19937 rng(932);
  std::uniform_int_distribution<int> byte(0, 255);
  for (int round = 0; round < 2000; ++round) {
    std::string bytes(1 + round % 97, '\0');
    for (char& b : bytes) {
      int u = byte(rng);
      if (u == 0x87 || u == 0xED || u == 0xEE || u == 0xFA) u -= 0x10;
      b = static_cast<char>(u);
    }
    ASSERT_EQ(Hex(Cp932Encode(Cp932Decode(bytes))), Hex(bytes));
  }
}

// Receipt-like text: every non-duplicate code, ASCII, and the invalid bytes
// (80, A0, FD-FF, a lead byte before a byte that cannot trail it) between them.
TEST(Cp932, RandomMixedTextIsPreserved) {
  std::mt19937 rng(7);
  std::vector<int> codes;
  for (int code : AllPairCodes()) {
    const Text d = Cp932Decode(Code(code));
    if (d.size() == 1 && !IsDuplicateCode(code)) codes.push_back(code);
  }
  const std::string kInvalid[] = {B("80"),    B("A0"),       B("FD"),    B("FE"),    B("FF"),
                                  B("81 20"), B("9F 0D 0A"), B("FC 7F"), B("ED 3F"), B("85 40")};
  std::uniform_int_distribution<std::size_t> pick(0, codes.size() - 1);
  std::uniform_int_distribution<std::size_t> pickInvalid(0, std::size(kInvalid) - 1);
  std::uniform_int_distribution<int> kind(0, 9);
  std::uniform_int_distribution<int> ascii(0x20, 0x7E);
  for (int round = 0; round < 500; ++round) {
    std::string bytes;
    for (int i = 0; i < 64; ++i) {
      const int k = kind(rng);
      if (k < 6) {
        bytes += Code(codes[pick(rng)]);
      } else if (k < 9) {
        bytes += static_cast<char>(ascii(rng));
      } else {
        bytes += kInvalid[pickInvalid(rng)];
      }
    }
    const Text decoded = Cp932Decode(bytes);
    ASSERT_EQ(Hex(Cp932Encode(decoded)), Hex(bytes));
    EXPECT_FALSE(Cp932CanEncode(decoded + u"\u20AC"));
  }
}

#ifdef TAVO_HAVE_ICONV
class Iconv {
 public:
  Iconv(const char* to, const char* from) : cd_(iconv_open(to, from)) {}
  ~Iconv() {
    if (ok()) iconv_close(cd_);
  }
  Iconv(const Iconv&) = delete;
  Iconv& operator=(const Iconv&) = delete;
  bool ok() const { return cd_ != reinterpret_cast<iconv_t>(-1); }
  // The whole input converted, or nullopt when iconv rejects any of it.
  std::optional<std::string> Run(const std::string& in) {
    iconv(cd_, nullptr, nullptr, nullptr, nullptr);
    std::string src = in;
    std::string out(in.size() * 4 + 8, '\0');
    char* ip = src.data();
    char* op = out.data();
    std::size_t il = src.size(), ol = out.size();
    if (iconv(cd_, &ip, &il, &op, &ol) == static_cast<std::size_t>(-1) || il != 0)
      return std::nullopt;
    out.resize(out.size() - ol);
    return out;
  }

 private:
  iconv_t cd_;
};

std::string Utf16Le(char16_t c) {
  return std::string{static_cast<char>(c & 0xFF), static_cast<char>(c >> 8)};
}

TEST(Cp932Iconv, EveryCodeDecodesAsIconvDoes) {
  Iconv dec("UTF-16LE", "CP932");
  if (!dec.ok()) GTEST_SKIP() << "iconv has no CP932";
  for (int code : AllPairCodes()) {
    SCOPED_TRACE(Hex(Code(code)));
    const Text ours = Cp932Decode(Code(code));
    const auto theirs = dec.Run(Code(code));
    if (theirs) {
      ASSERT_EQ(ours.size(), 1u);
      EXPECT_EQ(Utf16Le(ours[0]), *theirs);
    } else {
      EXPECT_TRUE(IsEscape(ours[0]));
    }
  }
  for (int b = 0; b < 256; ++b) {
    if (IsLead(b)) continue;
    SCOPED_TRACE(b);
    const std::string one(1, static_cast<char>(b));
    const Text ours = Cp932Decode(one);
    const auto theirs = dec.Run(one);
    if (theirs) {
      EXPECT_EQ(Utf16Le(ours[0]), *theirs);
    } else {
      EXPECT_TRUE(IsEscape(ours[0]));
    }
  }
}

// iconv picks the same code for every character, duplicates included; where
// iconv encodes a character we turn into "?", it is one of its best-fit
// look-alikes that Windows code page 932 does not hold. iconv has no
// characters for the single bytes 80, A0, FD-FF.
TEST(Cp932Iconv, EveryCharacterEncodesAsIconvDoes) {
  Iconv enc("CP932", "UTF-16LE");
  if (!enc.ok()) GTEST_SKIP() << "iconv has no CP932";
  std::set<char16_t> extra;
  for (int c = 0x80; c < 0x10000; ++c) {
    if ((c >= 0xD800 && c <= 0xDFFF) || c == 0x80 || (c >= 0xF8F0 && c <= 0xF8F3)) continue;
    const Text text(1, static_cast<char16_t>(c));
    const std::string ours = Cp932Encode(text);
    const auto theirs = enc.Run(Utf16Le(static_cast<char16_t>(c)));
    if (ours == "?") {
      if (theirs) extra.insert(static_cast<char16_t>(c));
    } else {
      EXPECT_EQ(Hex(ours), theirs ? Hex(*theirs) : "rejected") << std::hex << c;
    }
  }
  EXPECT_EQ(extra, (std::set<char16_t>{0x00A5, 0x203E}));
}
#endif

}  // namespace
}  // namespace tavo
