// Our code page 932 codec and StrConv next to the Windows API they stand in for.
// Where the two disagree our rules hold: every disagreement must be one of the
// known differences below, and there our own result is checked. The differences
// are printed so that a run shows what Windows (or Wine) does instead.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include "core/cp932.h"
#include "core/strconv.h"

namespace tavo {
namespace {

std::string Hex(TextView text) {
  std::string out;
  char buf[16];
  for (char16_t c : text) {
    std::snprintf(buf, sizeof buf, "%s%04X", out.empty() ? "" : " ", static_cast<unsigned>(c));
    out += buf;
  }
  return out.empty() ? "(empty)" : out;
}

std::string HexBytes(std::string_view bytes) {
  std::string out;
  char buf[8];
  for (unsigned char b : bytes) {
    std::snprintf(buf, sizeof buf, "%02X", static_cast<unsigned>(b));
    out += buf;
  }
  return out.empty() ? "(empty)" : out;
}

// Prints the differences of one check, a few per line.
void PrintDifferences(const char* title, const std::vector<std::string>& lines) {
  std::printf("%s: %zu\n", title, lines.size());
  for (std::size_t i = 0; i < lines.size(); ++i) {
    std::printf("%s%s", i % 4 == 0 ? "  " : "  |  ", lines[i].c_str());
    if (i % 4 == 3 || i + 1 == lines.size()) std::printf("\n");
  }
}

// ---------------------------------------------------------------------------
// StrConv and LCMapStringW

struct Flags {
  unsigned conversion;
  DWORD lcmap;
  const char* name;
};

const Flags kFlagSets[] = {
    {UpperCase, LCMAP_UPPERCASE, "UpperCase"},
    {LowerCase, LCMAP_LOWERCASE, "LowerCase"},
    {Wide, LCMAP_FULLWIDTH, "Wide"},
    {Narrow, LCMAP_HALFWIDTH, "Narrow"},
    {Katakana, LCMAP_KATAKANA, "Katakana"},
    {Hiragana, LCMAP_HIRAGANA, "Hiragana"},
    {Wide | Katakana, LCMAP_FULLWIDTH | LCMAP_KATAKANA, "Wide|Katakana"},
    {Wide | Hiragana, LCMAP_FULLWIDTH | LCMAP_HIRAGANA, "Wide|Hiragana"},
    {Narrow | Katakana, LCMAP_HALFWIDTH | LCMAP_KATAKANA, "Narrow|Katakana"},
    {Narrow | Hiragana, LCMAP_HALFWIDTH | LCMAP_HIRAGANA, "Narrow|Hiragana"},
    {Wide | UpperCase, LCMAP_FULLWIDTH | LCMAP_UPPERCASE, "Wide|UpperCase"},
    {Narrow | LowerCase, LCMAP_HALFWIDTH | LCMAP_LOWERCASE, "Narrow|LowerCase"},
};

constexpr LCID kJapanese = 0x0411;

// Empty when the call fails, as StrConv gives it.
Text LCMap(TextView src, DWORD flags) {
  wchar_t buf[1024];
  const std::wstring in(src.begin(), src.end());
  const int n = LCMapStringW(kJapanese, flags, in.c_str(), static_cast<int>(in.size()), buf, 1024);
  return n > 0 ? Text(buf, buf + n) : Text();
}

// A known difference: for an input starting with a character within [first, last]
// (followed by `mark` when mark is set) and a conversion holding all of
// `conversion`, Windows differs. With exactly that conversion our result starts
// with `ours`; nullptr: with the input's first character, unchanged.
struct KnownStrConvDifference {
  unsigned conversion;
  char16_t first;
  char16_t last;
  char16_t mark;
  const char16_t* ours;
  const char* why;
};

constexpr char16_t kAny = 0;

const KnownStrConvDifference kKnownStrConv[] = {
    // Width. Every ASCII character has its full-width form, the backslash too.
    {Wide, u'\\', u'\\', kAny, u"＼", "Windows keeps the backslash"},
    {Narrow, u'＼', u'＼', kAny, u"\\", "Windows keeps the full-width backslash"},
    // Voiced forms without a code page 932 character are not composed or split.
    {Wide, u'ﾜ', u'ﾜ', 0xFF9E, u"ワ゛", "Windows composes ヷ"},
    {Wide, u'ｦ', u'ｦ', 0xFF9E, u"ヲ゛", "Windows composes ヺ"},
    {Narrow, u'ヷ', u'ヺ', kAny, nullptr, "Windows splits ヷヸヹヺ"},
    {Narrow, u'ヾ', u'ヾ', kAny, nullptr, "Windows splits ヾ"},
    {Narrow | Katakana, u'ゞ', u'ゞ', kAny, u"ヾ", "Windows splits ヾ"},
    // Only half-width kana take a following mark into a composed form.
    {Wide, u'ヰ', u'ヱ', 0xFF9E, nullptr, "Windows composes ヸ ヹ"},
    {Wide, u'ヽ', u'ヽ', 0xFF9E, nullptr, "Windows composes ヾ"},
    // Only ASCII, the space and the Japanese kana and marks change width; signs,
    // typographic quotes, arrows, shapes, white parentheses and Hangul keep theirs.
    {Wide, 0x00A2, 0x00AF, kAny, nullptr, "Windows widens ¢£¥¦¬¯"},
    {Wide, 0x20A9, 0x20A9, kAny, nullptr, "Windows widens ₩"},
    {Wide, 0x2985, 0x2986, kAny, nullptr, "Windows widens white parentheses"},
    {Wide, 0xFFA0, 0xFFDC, kAny, nullptr, "Windows widens half-width Hangul"},
    {Wide, 0xFFE8, 0xFFEE, kAny, nullptr, "Windows widens half-width forms"},
    {Narrow, 0x2018, 0x201D, kAny, nullptr, "Windows narrows typographic quotes"},
    {Narrow, 0x2190, 0x25CB, kAny, nullptr, "Windows narrows arrows and shapes"},
    {Narrow, 0x3131, 0x318E, kAny, nullptr, "Windows narrows Hangul letters"},
    {Narrow, 0xFF5F, 0xFF60, kAny, nullptr, "Windows narrows white parentheses"},
    {Narrow, 0xFFE0, 0xFFE6, kAny, nullptr, "Windows narrows full-width signs"},
    // Case: basic Latin, Latin-1, Latin Extended-A, basic Greek and Cyrillic, Roman
    // numerals, circled and full-width letters; other letters keep their case.
    {UpperCase, 0x0180, 0x036F, kAny, nullptr, "Windows maps Latin Extended-B and IPA"},
    {LowerCase, 0x0180, 0x036F, kAny, nullptr, "Windows maps Latin Extended-B and IPA"},
    {UpperCase, 0x0370, 0x03FF, kAny, nullptr, "Windows maps archaic Greek"},
    {LowerCase, 0x0370, 0x03FF, kAny, nullptr, "Windows maps archaic Greek"},
    {UpperCase, 0x0460, 0x052F, kAny, nullptr, "Windows maps extended Cyrillic"},
    {LowerCase, 0x0460, 0x052F, kAny, nullptr, "Windows maps extended Cyrillic"},
    {UpperCase, 0x0530, 0x1FFF, kAny, nullptr, "Windows maps other scripts"},
    {LowerCase, 0x0530, 0x1FFF, kAny, nullptr, "Windows maps other scripts"},
    {UpperCase, 0x214E, 0x2184, kAny, nullptr, "Windows maps ⅎ ↄ"},
    {LowerCase, 0x2132, 0x2183, kAny, nullptr, "Windows maps Ⅎ Ↄ"},
    {UpperCase, 0x2C00, 0xABFF, kAny, nullptr, "Windows maps other scripts"},
    {LowerCase, 0x2C00, 0xABFF, kAny, nullptr, "Windows maps other scripts"},
};

const KnownStrConvDifference* FindKnown(unsigned conversion, TextView src) {
  const char16_t c = src[0];
  const char16_t mark = src.size() > 1 ? src[1] : kAny;
  for (const auto& k : kKnownStrConv) {
    if ((conversion & k.conversion) == k.conversion && c >= k.first && c <= k.last &&
        (k.mark == kAny || k.mark == mark)) {
      return &k;
    }
  }
  return nullptr;
}

// The half-width marks widen to the spacing marks ゛゜ that code page 932 holds;
// Windows gives the combining marks U+3099/U+309A (also for ゛゜ themselves).
// Windows' result with the combining marks it made written as the spacing ones.
Text SpacingMarks(TextView src, Text windows) {
  for (std::size_t i = 0; i < windows.size(); ++i) {
    const bool made = i >= src.size() || src[i] != windows[i];
    if (made && (windows[i] == 0x3099 || windows[i] == 0x309A)) windows[i] += 2;
  }
  return windows;
}

struct Differences {
  std::vector<std::string> known;    // one line per table entry met
  std::vector<std::string> unknown;  // one line per input
};

// Compares every sample under every flag set. A known difference is printed once
// per table entry with its first example; where the conversion is exactly the
// entry's, our own result is checked.
Differences CompareWithWindows(const std::vector<Text>& samples) {
  Differences d;
  std::vector<int> hits(std::size(kKnownStrConv), 0);
  std::vector<std::string> examples(std::size(kKnownStrConv));
  int combiningMarks = 0;
  for (const Flags& f : kFlagSets) {
    for (const Text& src : samples) {
      const Text ours = StrConv(src, f.conversion);
      const Text windows = LCMap(src, f.lcmap);
      if (ours == windows) continue;
      const std::string line = std::string(f.name) + " " + Hex(src) + ": ours " + Hex(ours) +
                               ", Windows " + Hex(windows);
      const KnownStrConvDifference* k = FindKnown(f.conversion, src);
      if (k == nullptr && (f.conversion & Wide) && SpacingMarks(src, windows) == ours) {
        ++combiningMarks;
        continue;
      }
      if (k == nullptr) {
        d.unknown.push_back(line);
        continue;
      }
      const std::size_t i = static_cast<std::size_t>(k - kKnownStrConv);
      if (hits[i]++ == 0) examples[i] = line;
      if (f.conversion != k->conversion) continue;
      const Text start = k->ours != nullptr ? Text(k->ours) : src.substr(0, 1);
      EXPECT_EQ(Hex(ours.substr(0, start.size())), Hex(start)) << line << " (" << k->why << ")";
    }
  }
  for (std::size_t i = 0; i < hits.size(); ++i) {
    if (hits[i] == 0) continue;
    d.known.push_back(std::string(kKnownStrConv[i].why) + ": " + std::to_string(hits[i]) +
                      " inputs, e.g. " + examples[i]);
  }
  if (combiningMarks > 0) {
    d.known.push_back("Windows gives combining voiced marks: " + std::to_string(combiningMarks) +
                      " inputs");
  }
  return d;
}

void Report(const char* what, const Differences& d) {
  PrintDifferences((std::string(what) + ", known differences").c_str(), d.known);
  PrintDifferences((std::string(what) + ", UNKNOWN differences").c_str(), d.unknown);
  EXPECT_TRUE(d.unknown.empty()) << d.unknown.size() << " differences not in the table";
}

TEST(WinApiStrConv, EveryCharacterOfTheBasicPlane) {
  std::vector<Text> samples;
  for (unsigned c = 0x20; c <= 0xFFFD; ++c) {
    if (c >= 0xD800 && c <= 0xDFFF) continue;
    samples.push_back(Text(1, static_cast<char16_t>(c)));
  }
  Report("StrConv, single characters", CompareWithWindows(samples));
}

TEST(WinApiStrConv, KanaWithVoicedAndSemiVoicedMarks) {
  std::vector<Text> samples;
  for (char16_t c = 0xFF61; c <= 0xFF9F; ++c) {
    samples.push_back(Text{c, 0xFF9E});
    samples.push_back(Text{c, 0xFF9F});
  }
  for (char16_t c = u'ぁ'; c <= u'ヿ'; ++c) {
    samples.push_back(Text{c, 0xFF9E});
    samples.push_back(Text{c, u'゛'});
  }
  Report("StrConv, kana and marks", CompareWithWindows(samples));
}

TEST(WinApiStrConv, WholeTextsAndRefusals) {
  const Text text = u"ﾃﾞｰﾀ 123 ABC abc がぎぐ カキク ﾊﾟﾋﾟﾌﾟ ＡＢＣ　１２３ 漢字。";
  for (const Flags& f : kFlagSets) {
    EXPECT_EQ(Hex(StrConv(text, f.conversion)), Hex(LCMap(text, f.lcmap))) << f.name;
  }
  EXPECT_EQ(LCMap(text, LCMAP_UPPERCASE | LCMAP_LOWERCASE), u"");
  EXPECT_EQ(LCMap(text, LCMAP_FULLWIDTH | LCMAP_HALFWIDTH), u"");
  EXPECT_EQ(LCMap(text, LCMAP_KATAKANA | LCMAP_HIRAGANA), u"");
  EXPECT_EQ(LCMap(text, 0), u"");
  EXPECT_EQ(LCMap(Text(1024, u'a'), LCMAP_UPPERCASE), Text(1024, u'A'));
  EXPECT_EQ(LCMap(Text(1025, u'a'), LCMAP_UPPERCASE), u"");
}

// ---------------------------------------------------------------------------
// Code page 932 and MultiByteToWideChar / WideCharToMultiByte

constexpr UINT kCp932 = 932;

// Windows' decoding, or nullopt when it refuses the bytes as invalid.
std::optional<Text> WinDecode(std::string_view bytes) {
  wchar_t buf[8];
  const int n = MultiByteToWideChar(kCp932, MB_ERR_INVALID_CHARS, bytes.data(),
                                    static_cast<int>(bytes.size()), buf, 8);
  if (n <= 0) return std::nullopt;
  return Text(buf, buf + n);
}

std::string WinEncode(TextView text) {
  char buf[16];
  const std::wstring in(text.begin(), text.end());
  const int n = WideCharToMultiByte(kCp932, 0, in.c_str(), static_cast<int>(in.size()), buf,
                                    sizeof buf, "?", nullptr);
  return std::string(buf, n > 0 ? n : 0);
}

bool IsByteEscape(char16_t c) { return c >= 0xDC80 && c <= 0xDCFF; }

// Bytes Windows decodes that our codec keeps as escapes, and the reverse.
struct KnownDecodeDifference {
  unsigned first;  // single byte, or lead << 8 | trail
  unsigned last;
  const char* why;
};

// The single bytes 80, A0, FD, FE and FF decode to byte escapes of ours, so that
// they survive a round trip; Windows gives them U+0080 and U+F8F0..U+F8F3 (Wine
// decodes only 80). Those characters encode to the same bytes on both sides.
const KnownDecodeDifference kKnownDecode[] = {
    {0x80, 0x80, "Windows decodes 80 to U+0080"},
    {0xA0, 0xA0, "Windows decodes A0 to U+F8F0"},
    {0xFD, 0xFF, "Windows decodes FD FE FF to U+F8F1..U+F8F3"},
};

TEST(WinApiCp932, DecodeEverySingleAndDoubleByteCode) {
  std::vector<std::string> known, unknown;
  auto check = [&](const std::string& bytes, unsigned code) {
    const Text ours = Cp932Decode(bytes);
    const std::optional<Text> windows = WinDecode(bytes);
    // Bytes Windows refuses are kept as escapes by us: never a character.
    const bool oursInvalid = !ours.empty() && IsByteEscape(ours[0]);
    if (windows ? ours == *windows : oursInvalid) return;
    const std::string line = HexBytes(bytes) + ": ours " + Hex(ours) + ", Windows " +
                             (windows ? Hex(*windows) : std::string("invalid"));
    for (const auto& k : kKnownDecode) {
      if (code >= k.first && code <= k.last) {
        known.push_back(line);
        EXPECT_TRUE(oursInvalid) << line << " (" << k.why << ")";
        EXPECT_EQ(Cp932Encode(ours), bytes) << line;
        return;
      }
    }
    unknown.push_back(line);
  };
  for (unsigned b = 0; b <= 0xFF; ++b) {
    const bool lead = (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC);
    if (!lead) check(std::string(1, static_cast<char>(b)), b);
  }
  for (unsigned lead = 0x81; lead <= 0xFC; ++lead) {
    if (lead > 0x9F && lead < 0xE0) continue;
    for (unsigned trail = 0x40; trail <= 0xFC; ++trail) {
      if (trail == 0x7F) continue;
      check(std::string{static_cast<char>(lead), static_cast<char>(trail)}, lead << 8 | trail);
    }
  }
  PrintDifferences("Code page 932 decoding, known differences", known);
  PrintDifferences("Code page 932 decoding, UNKNOWN differences", unknown);
  EXPECT_TRUE(unknown.empty()) << unknown.size() << " differences not in the table";
}

// Characters our rules write otherwise than Windows: the look-alikes from other systems.
struct KnownEncodeDifference {
  char16_t c;
  const char* ours;
  const char* why;
};

const KnownEncodeDifference kKnownEncodeMapped[] = {
    {0x301C, "\x81\x60", "〜 written as ～"}, {0x2212, "\x81\x7C", "− written as －"},
    {0x2016, "\x81\x61", "‖ written as ∥"},   {0x00A2, "\x81\x91", "¢ written as ￠"},
    {0x00A3, "\x81\x92", "£ written as ￡"},  {0x00AC, "\x81\xCA", "¬ written as ￢"},
    {0x2014, "\x81\x5C", "— written as ―"},
};

TEST(WinApiCp932, EncodeEveryCharacterOfTheBasicPlane) {
  std::vector<std::string> known, unknown;
  for (unsigned c = 0; c <= 0xFFFF; ++c) {
    if (c >= 0xD800 && c <= 0xDFFF) continue;
    const Text text(1, static_cast<char16_t>(c));
    const std::string ours = Cp932Encode(text);
    const std::string windows = WinEncode(text);
    if (ours == windows) continue;
    const std::string line =
        "U+" + Hex(text) + ": ours " + HexBytes(ours) + ", Windows " + HexBytes(windows);
    const KnownEncodeDifference* mapped = nullptr;
    for (const auto& k : kKnownEncodeMapped) {
      if (k.c == c) mapped = &k;
    }
    if (mapped != nullptr) {
      known.push_back(line);
      EXPECT_EQ(HexBytes(ours), HexBytes(mapped->ours)) << line << " (" << mapped->why << ")";
      continue;
    }
    // Windows' best fit writes a look-alike (à as a, ¥ as \); our rule writes "?".
    const std::optional<Text> back = WinDecode(windows);
    if (ours == "?" && back && *back != text) {
      known.push_back(line + " best fit");
      continue;
    }
    unknown.push_back(line);
  }
  PrintDifferences("Code page 932 encoding, known differences", known);
  PrintDifferences("Code page 932 encoding, UNKNOWN differences", unknown);
  EXPECT_TRUE(unknown.empty()) << unknown.size() << " differences not in the table";
}

TEST(WinApiCp932, EncodeRoundTripsEveryCharacterWindowsDecodes) {
  // Every character of a valid double-byte code encodes to the code Windows picks.
  int checked = 0;
  for (unsigned lead = 0x81; lead <= 0xFC; ++lead) {
    if (lead > 0x9F && lead < 0xE0) continue;
    for (unsigned trail = 0x40; trail <= 0xFC; ++trail) {
      const std::string bytes{static_cast<char>(lead), static_cast<char>(trail)};
      const std::optional<Text> windows = WinDecode(bytes);
      if (!windows || windows->size() != 1) continue;
      ++checked;
      EXPECT_EQ(HexBytes(Cp932Encode(*windows)), HexBytes(WinEncode(*windows)))
          << "U+" << Hex(*windows) << " from " << HexBytes(bytes);
    }
  }
  EXPECT_GT(checked, 7000);
}

}  // namespace
}  // namespace tavo
