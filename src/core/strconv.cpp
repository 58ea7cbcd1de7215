// Case, width and kana mapping with the rules of the Japanese locale's LCMapString.
//
// The steps run in a fixed order so that combinations compose as they do there:
// widen, then kana, then narrow, then case. So Narrow|Katakana turns hiragana into
// half-width katakana, and Wide|Hiragana turns half-width katakana into hiragana.
//
// Voiced and semi-voiced katakana are composed (ｶﾞ -> ガ) and split (ガ -> ｶﾞ) only
// where code page 932 holds the composed character: ﾜﾞ stays ワ゛ rather than ヷ,
// which the files this system writes could not carry. For the same reason a lone
// ﾞ or ﾟ widens to the spacing mark ゛ or ゜, not to a combining one. Width changes
// only ASCII (the backslash too), the space and the kana with their marks.
#include "core/strconv.h"

#include <array>
#include <iterator>

namespace tavo {
namespace {

constexpr std::size_t kMaxOutput = 1024;
constexpr unsigned kAll = UpperCase | LowerCase | Wide | Narrow | Katakana | Hiragana;

constexpr char16_t kHalfKanaFirst = 0xFF61;   // ｡
constexpr char16_t kHalfKanaLast = 0xFF9F;    // ﾟ
constexpr char16_t kHalfVoiced = 0xFF9E;      // ﾞ
constexpr char16_t kHalfSemiVoiced = 0xFF9F;  // ﾟ

// The full-width form of each half-width katakana U+FF61..U+FF9F, in code order.
constexpr char16_t kHalfKanaToFull[] = {
    u'。', u'「', u'」', u'、', u'・',                                     // ｡｢｣､･
    u'ヲ', u'ァ', u'ィ', u'ゥ', u'ェ', u'ォ', u'ャ', u'ュ', u'ョ', u'ッ',  // ｦｧｨｩｪｫｬｭｮｯ
    u'ー',                                                                 // ｰ
    u'ア', u'イ', u'ウ', u'エ', u'オ', u'カ', u'キ', u'ク', u'ケ', u'コ',  // ｱ..ｺ
    u'サ', u'シ', u'ス', u'セ', u'ソ', u'タ', u'チ', u'ツ', u'テ', u'ト',  // ｻ..ﾄ
    u'ナ', u'ニ', u'ヌ', u'ネ', u'ノ', u'ハ', u'ヒ', u'フ', u'ヘ', u'ホ',  // ﾅ..ﾎ
    u'マ', u'ミ', u'ム', u'メ', u'モ', u'ヤ', u'ユ', u'ヨ',                // ﾏ..ﾖ
    u'ラ', u'リ', u'ル', u'レ', u'ロ', u'ワ', u'ン',                       // ﾗ..ﾝ
    u'゛', u'゜',                                                          // ﾞﾟ
};
static_assert(std::size(kHalfKanaToFull) == kHalfKanaLast - kHalfKanaFirst + 1);

// Half-width kana that take the voiced mark ﾞ (ｶ..ﾄ, ﾊ..ﾎ; ｳ is handled apart)
// and the semi-voiced mark ﾟ (ﾊ..ﾎ). Their composed forms follow the plain
// full-width form directly: カ ガ, ハ バ パ.
constexpr bool TakesVoiced(char16_t half) {
  return (half >= u'ｶ' && half <= u'ﾄ') || (half >= u'ﾊ' && half <= u'ﾎ');
}
constexpr bool TakesSemiVoiced(char16_t half) { return half >= u'ﾊ' && half <= u'ﾎ'; }

// The half-width spelling of a character of U+3000..U+30FF: one or two code units.
struct HalfForm {
  char16_t base = 0;
  char16_t mark = 0;
};
constexpr char16_t kCjkFirst = 0x3000;
using HalfTable = std::array<HalfForm, 0x100>;

constexpr HalfTable BuildHalfTable() {
  HalfTable table{};
  table[0] = {u' ', 0};  // U+3000
  for (char16_t half = kHalfKanaFirst; half <= kHalfKanaLast; ++half) {
    const char16_t full = kHalfKanaToFull[half - kHalfKanaFirst];
    table[full - kCjkFirst] = {half, 0};
    if (TakesVoiced(half)) table[full + 1 - kCjkFirst] = {half, kHalfVoiced};
    if (TakesSemiVoiced(half)) table[full + 2 - kCjkFirst] = {half, kHalfSemiVoiced};
  }
  table[u'ヴ' - kCjkFirst] = {u'ｳ', kHalfVoiced};
  // The combining marks narrow to the same half-width marks as ゛ and ゜.
  table[0x3099 - kCjkFirst] = {kHalfVoiced, 0};
  table[0x309A - kCjkFirst] = {kHalfSemiVoiced, 0};
  return table;
}
constexpr HalfTable kHalfTable = BuildHalfTable();

// Full-width ASCII forms U+FF01..U+FF5E sit at a fixed distance from ASCII.
constexpr char16_t kFullAsciiFirst = 0xFF01;
constexpr char16_t kFullAsciiLast = 0xFF5E;
constexpr char16_t kFullAsciiOffset = 0xFF01 - 0x21;
constexpr char16_t kIdeographicSpace = 0x3000;

// Hiragana and katakana pairs sit 0x60 apart.
constexpr char16_t kKanaOffset = 0x60;
constexpr bool IsPairedHiragana(char16_t c) {
  return (c >= u'ぁ' && c <= u'ゖ') || c == u'ゝ' || c == u'ゞ';
}
constexpr bool IsPairedKatakana(char16_t c) {
  return (c >= u'ァ' && c <= u'ヶ') || c == u'ヽ' || c == u'ヾ';
}

// Simple case pairs. A range maps each of its characters (step 1) or every
// second one starting at `first` (step 2) by adding `delta`.
struct CaseRange {
  char16_t first;
  char16_t last;
  int delta;
  int step;
};

constexpr CaseRange kToUpper[] = {
    {0x0061, 0x007A, -32, 1},   // a-z
    {0x00E0, 0x00F6, -32, 1},   // à-ö
    {0x00F8, 0x00FE, -32, 1},   // ø-þ
    {0x00FF, 0x00FF, 0x79, 1},  // ÿ -> Ÿ
    {0x0101, 0x012F, -1, 2},    // Latin Extended-A pairs
    {0x0133, 0x0137, -1, 2},   {0x013A, 0x0148, -1, 2},  {0x014B, 0x0177, -1, 2},
    {0x017A, 0x017E, -1, 2},   {0x03AC, 0x03AC, -38, 1},  // ά
    {0x03AD, 0x03AF, -37, 1},                             // έ ή ί
    {0x03B1, 0x03C1, -32, 1},                             // α-ρ
    {0x03C3, 0x03CB, -32, 1},                             // σ-ϋ
    {0x03CC, 0x03CC, -64, 1},                             // ό
    {0x03CD, 0x03CE, -63, 1},                             // ύ ώ
    {0x0430, 0x044F, -32, 1},                             // а-я
    {0x0450, 0x045F, -80, 1},                             // ѐ-џ
    {0x2170, 0x217F, -16, 1},                             // ⅰ-ⅿ
    {0x24D0, 0x24E9, -26, 1},                             // ⓐ-ⓩ
    {0xFF41, 0xFF5A, -32, 1},                             // ａ-ｚ
};

constexpr CaseRange kToLower[] = {
    {0x0041, 0x005A, 32, 1},  // A-Z
    {0x00C0, 0x00D6, 32, 1},  // À-Ö
    {0x00D8, 0x00DE, 32, 1},  // Ø-Þ
    {0x0100, 0x012E, 1, 2},   // Latin Extended-A pairs
    {0x0132, 0x0136, 1, 2},  {0x0139, 0x0147, 1, 2},
    {0x014A, 0x0176, 1, 2},  {0x0178, 0x0178, -0x79, 1},  // Ÿ -> ÿ
    {0x0179, 0x017D, 1, 2},  {0x0386, 0x0386, 38, 1},     // Ά
    {0x0388, 0x038A, 37, 1},                              // Έ Ή Ί
    {0x038C, 0x038C, 64, 1},                              // Ό
    {0x038E, 0x038F, 63, 1},                              // Ύ Ώ
    {0x0391, 0x03A1, 32, 1},                              // Α-Ρ
    {0x03A3, 0x03AB, 32, 1},                              // Σ-Ϋ
    {0x0400, 0x040F, 80, 1},                              // Ѐ-Џ
    {0x0410, 0x042F, 32, 1},                              // А-Я
    {0x2160, 0x216F, 16, 1},                              // Ⅰ-Ⅿ
    {0x24B6, 0x24CF, 26, 1},                              // Ⓐ-Ⓩ
    {0xFF21, 0xFF3A, 32, 1},                              // Ａ-Ｚ
};

template <std::size_t N>
char16_t MapCase(const CaseRange (&table)[N], char16_t c) {
  if (c < table[0].first) return c;
  for (const CaseRange& r : table) {
    if (c < r.first) break;
    if (c <= r.last && (c - r.first) % r.step == 0) return static_cast<char16_t>(c + r.delta);
  }
  return c;
}

Text ToWide(TextView src) {
  Text out;
  out.reserve(src.size());
  for (std::size_t i = 0; i < src.size(); ++i) {
    const char16_t c = src[i];
    if (c >= 0x21 && c <= 0x7E) {
      out += static_cast<char16_t>(c + kFullAsciiOffset);
    } else if (c == u' ') {
      out += kIdeographicSpace;
    } else if (c >= kHalfKanaFirst && c <= kHalfKanaLast) {
      const char16_t full = kHalfKanaToFull[c - kHalfKanaFirst];
      const char16_t next = i + 1 < src.size() ? src[i + 1] : 0;
      if (next == kHalfVoiced && c == u'ｳ') {
        out += u'ヴ';
        ++i;
      } else if (next == kHalfVoiced && TakesVoiced(c)) {
        out += static_cast<char16_t>(full + 1);
        ++i;
      } else if (next == kHalfSemiVoiced && TakesSemiVoiced(c)) {
        out += static_cast<char16_t>(full + 2);
        ++i;
      } else {
        out += full;
      }
    } else {
      out += c;
    }
  }
  return out;
}

Text ToNarrow(TextView src) {
  Text out;
  out.reserve(src.size());
  for (const char16_t c : src) {
    if (c >= kFullAsciiFirst && c <= kFullAsciiLast) {
      out += static_cast<char16_t>(c - kFullAsciiOffset);
    } else if (c >= kCjkFirst && c < kCjkFirst + kHalfTable.size() &&
               kHalfTable[c - kCjkFirst].base != 0) {
      const HalfForm& half = kHalfTable[c - kCjkFirst];
      out += half.base;
      if (half.mark != 0) out += half.mark;
    } else {
      out += c;
    }
  }
  return out;
}

}  // namespace

Text StrConv(TextView src, unsigned conversion) {
  const bool refused = (conversion & kAll) == 0 ||
                       ((conversion & UpperCase) && (conversion & LowerCase)) ||
                       ((conversion & Wide) && (conversion & Narrow)) ||
                       ((conversion & Katakana) && (conversion & Hiragana));
  if (src.empty() || refused) return Text();

  Text text = (conversion & Wide) ? ToWide(src) : Text(src);
  if (conversion & Katakana) {
    for (char16_t& c : text) {
      if (IsPairedHiragana(c)) c = static_cast<char16_t>(c + kKanaOffset);
    }
  } else if (conversion & Hiragana) {
    for (char16_t& c : text) {
      if (IsPairedKatakana(c)) c = static_cast<char16_t>(c - kKanaOffset);
    }
  }
  if (conversion & Narrow) text = ToNarrow(text);
  if (conversion & UpperCase) {
    for (char16_t& c : text) c = MapCase(kToUpper, c);
  } else if (conversion & LowerCase) {
    for (char16_t& c : text) c = MapCase(kToLower, c);
  }

  // The platform maps into a buffer of 1024 code units and fails beyond it.
  if (text.size() > kMaxOutput) return Text();
  return text;
}

}  // namespace tavo
