#include "linkage/validate.h"

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace tavo::linkage {

namespace {

// ---------------------------------------------------------------- classes

// Tested in this order; the first class that holds the code unit names it.
struct CharClass {
  bool (*holds)(char16_t c);
  bool fullWidth;     // the kind-1 name: "全角" or "半角"
  const char* named;  // the name for the other kinds
};

const std::array<CharClass, 5> kClasses = {{
    {[](char16_t c) { return (c >= u'A' && c <= u'Z') || (c >= u'a' && c <= u'z'); }, false,
     "半角英字"},
    {[](char16_t c) { return c >= u'0' && c <= u'9'; }, false, "半角数字"},
    {[](char16_t c) {
       return (c >= 0xFF10 && c <= 0xFF19) || (c >= 0xFF21 && c <= 0xFF3A) ||
              (c >= 0xFF41 && c <= 0xFF5A);
     },
     true, "全角英数字"},
    {[](char16_t c) { return (c >= 0x20 && c <= 0x7E) || (c >= 0xFF61 && c <= 0xFF9F); }, false,
     "半角記号/半角カナ"},
    {[](char16_t) { return true; }, true, "漢字・全角カナ・全角記号"},
}};

template <class C>
std::size_t ClassOf(C ch) {
  const auto c = static_cast<char16_t>(static_cast<std::make_unsigned_t<C>>(ch));
  for (std::size_t i = 0; i < kClasses.size(); ++i) {
    if (kClasses[i].holds(c)) return i;
  }
  return kClasses.size() - 1;
}

template <class C>
bool HasWidth(std::basic_string_view<C> text, bool fullWidth) {
  for (C ch : text) {
    if (kClasses[ClassOf(ch)].fullWidth == fullWidth) return true;
  }
  return false;
}

// ---------------------------------------------------------------- helpers

template <class C>
std::basic_string_view<C> TrimView(std::basic_string_view<C> v) {
  auto blank = [](C ch) { return static_cast<std::make_unsigned_t<C>>(ch) <= 0x20; };
  std::size_t b = 0, e = v.size();
  while (b < e && blank(v[b])) ++b;
  while (e > b && blank(v[e - 1])) --e;
  return v.substr(b, e - b);
}

template <class C>
bool InSet(C ch, std::u16string_view set) {
  const auto c = static_cast<char16_t>(static_cast<std::make_unsigned_t<C>>(ch));
  return set.find(c) != std::u16string_view::npos;
}

template <class C>
bool AllDigits(std::basic_string_view<C> v) {
  if (v.empty()) return false;
  for (C ch : v) {
    if (ch < C('0') || ch > C('9')) return false;
  }
  return true;
}

template <class C>
bool OneIn(std::basic_string_view<C> v, std::u16string_view set) {
  return v.size() == 1 && InSet(v[0], set);
}

template <class C>
bool AllIn(std::basic_string_view<C> v, std::size_t length, std::u16string_view set) {
  if (v.size() != length) return false;
  for (C ch : v) {
    if (!InSet(ch, set)) return false;
  }
  return true;
}

// The number readings need the text as UTF-16; ASCII widens byte by byte.
template <class C>
Text Wide(std::basic_string_view<C> v) {
  return Text(v.begin(), v.end());
}

template <class C>
std::basic_string<C> Narrow(const Text& t) {
  return std::basic_string<C>(t.begin(), t.end());
}

// ---------------------------------------------------------------- ChkStd

enum class StdOp {
  MaxLen,       // blank when t is longer than n
  ExactLen,     // blank unless t has n characters
  NoHalfWidth,  // blank when the value holds a half-width character
  NoFullWidth,  // blank when the value holds a full-width character
  OneDigit,     // blank unless t is one character of the set
  YearMonth01,  // six characters: t + "01"
  Weight,       // 0 or not a number: blank; else "%3.1f"
  LabValue,     // outside 0..20, 0 or not a number: blank; else "%3.1f"
  IntRange,     // blank when t as an integer (default -1) is outside lo..hi
  PrefixIn,     // blank unless each of the first n characters of the value is in the set
  NotAfter8,    // blank when t sorts after "8" code unit by code unit
};

struct StdStep {
  StdOp op;
  int n = 0;
  std::u16string_view set = {};
  int lo = 0;
  int hi = 0;
};

struct StdRule {
  std::vector<int> positions;
  std::vector<StdStep> steps;
};

constexpr StdStep MaxLen(int n) { return {StdOp::MaxLen, n}; }
constexpr StdStep ExactLen(int n) { return {StdOp::ExactLen, n}; }
constexpr StdStep OneDigit(std::u16string_view set) { return {StdOp::OneDigit, 0, set}; }
constexpr StdStep PrefixIn(int n, std::u16string_view set) { return {StdOp::PrefixIn, n, set}; }
constexpr StdStep IntRange(int lo, int hi) { return {StdOp::IntRange, 0, {}, lo, hi}; }
constexpr StdStep kNoHalf{StdOp::NoHalfWidth};
constexpr StdStep kNoFull{StdOp::NoFullWidth};

// Rules by source position of the positional layout; both steps of a
// position must pass. Positions not listed pass unchanged.
const std::vector<StdRule>& StdRules() {
  static const std::vector<StdRule> rules = {
      {{0}, {MaxLen(10)}},
      {{1}, {kNoHalf, MaxLen(20)}},
      {{3}, {{StdOp::YearMonth01}}},
      {{5}, {ExactLen(7)}},
      {{6}, {ExactLen(3)}},
      {{7}, {{StdOp::Weight}}},
      {{8}, {OneDigit(S02)}},
      {{11}, {OneDigit(S05)}},
      {{12}, {OneDigit(S09)}},
      {{13, 29}, {OneDigit(S05)}},
      {{14, 80, 138}, {ExactLen(8)}},
      {{16, 57}, {MaxLen(7)}},
      {{17, 58, 72}, {ExactLen(4)}},
      {{18, 59, 73, 87}, {kNoHalf, MaxLen(40)}},
      {{19, 23, 44}, {OneDigit(S0239)}},
      {{20}, {OneDigit(S02)}},
      {{21, 28, 35, 40, 43, 45, 51, 53}, {ExactLen(6)}},
      {{22, 52}, {{StdOp::LabValue}}},
      {{24, 25, 26, 33, 38, 41, 46, 48, 50, 66, 67}, {OneDigit(S019)}},
      {{27, 55, 62, 69}, {OneDigit(S01)}},
      {{34}, {OneDigit(S01), OneDigit(S02)}},
      {{30}, {OneDigit(u"0123")}},
      {{31, 32, 37}, {IntRange(0, 300)}},
      {{36}, {OneDigit(u"01234")}},
      {{39}, {OneDigit(S0249)}},
      {{42}, {OneDigit(S129)}},
      {{54}, {OneDigit(S07)}},
      {{56}, {kNoFull}},
      {{60}, {MaxLen(13), PrefixIn(13, S01)}},
      {{61}, {ExactLen(10), PrefixIn(10, S0239)}},
      {{63},
       {OneDigit(u"01234567"
                 u"9")}},
      {{64}, {OneDigit(S02)}},
      {{65},
       {MaxLen(7), PrefixIn(5,
                            u"0123456"
                            u"9")}},
      {{68}, {MaxLen(5), PrefixIn(5, S01)}},
      {{74, 75, 76}, {kNoFull}},
      {{78}, {{StdOp::NotAfter8}}},
      {{79}, {IntRange(0, 10)}},
      {{82}, {MaxLen(18)}},
      {{85}, {kNoFull, MaxLen(7)}},
      {{86}, {ExactLen(4), kNoFull}},
      {{140}, {ExactLen(14), PrefixIn(14, S01)}},
  };
  return rules;
}

constexpr int kPositions = 141;

const std::vector<StdStep>* StdStepsAt(int position) {
  static const auto index = [] {
    std::array<const std::vector<StdStep>*, kPositions> table{};
    for (const StdRule& rule : StdRules()) {
      for (int p : rule.positions) table[static_cast<std::size_t>(p)] = &rule.steps;
    }
    return table;
  }();
  if (position < 0 || position >= kPositions) return nullptr;
  return index[static_cast<std::size_t>(position)];
}

// One step; false blanks the value. `result` may be replaced by a normal form.
template <class C>
bool RunStdStep(const StdStep& s, std::basic_string_view<C> value, std::basic_string_view<C> t,
                std::basic_string<C>& result) {
  switch (s.op) {
    case StdOp::MaxLen:
      return t.size() <= static_cast<std::size_t>(s.n);
    case StdOp::ExactLen:
      return t.size() == static_cast<std::size_t>(s.n);
    case StdOp::NoHalfWidth:
      return !HasWidth(value, false);
    case StdOp::NoFullWidth:
      return !HasWidth(value, true);
    case StdOp::OneDigit:
      return OneIn(t, s.set);
    case StdOp::YearMonth01:
      if (t.size() == 6) {
        result.assign(t);
        result.push_back(C('0'));
        result.push_back(C('1'));
      }
      return true;
    case StdOp::Weight: {
      const double n = ToNumberDef(Wide(t), 0);
      if (n == 0) return false;
      result = Narrow<C>(Format31(n));
      return true;
    }
    case StdOp::LabValue: {
      const Text w = Wide(t);
      const double n = ToNumberDef(w, -1);
      if (n > 20 || n < 0) return false;
      const double v = ToNumberDef(w, 0);
      if (v == 0) return false;
      result = Narrow<C>(Format31(v));
      return true;
    }
    case StdOp::IntRange: {
      const std::int32_t i = ToInt32Def(Wide(t), -1);
      return i >= s.lo && i <= s.hi;
    }
    case StdOp::PrefixIn:
      for (std::size_t i = 0; i < static_cast<std::size_t>(s.n); ++i) {
        if (i >= value.size() || !InSet(value[i], s.set)) return false;
      }
      return true;
    case StdOp::NotAfter8:
      return !(Wide(t) > Text(u"8"));
  }
  return true;
}

// ---------------------------------------------------------------- reasons

Text Number(int n) { return FromUtf8(std::to_string(n)); }

// "0、1、9"; a run of four or more digits as "0から5".
Text SetText(std::u16string_view set) {
  Text out;
  for (std::size_t i = 0; i < set.size();) {
    std::size_t end = i + 1;
    while (end < set.size() && set[end] == set[end - 1] + 1) ++end;
    if (!out.empty()) out += T("、");
    if (end - i >= 4) {
      out += Text(1, set[i]) + T("から") + Text(1, set[end - 1]);
    } else {
      for (std::size_t k = i; k < end; ++k) {
        if (k > i) out += T("、");
        out += set[k];
      }
    }
    i = end;
  }
  return out;
}

Text StdStepText(const StdStep& s) {
  switch (s.op) {
    case StdOp::MaxLen:
      return Number(s.n) + T("文字を超えています");
    case StdOp::ExactLen:
      return Number(s.n) + T("文字ではありません");
    case StdOp::NoHalfWidth:
      return T("半角文字が含まれています");
    case StdOp::NoFullWidth:
      return T("全角文字が含まれています");
    case StdOp::OneDigit:
      return SetText(s.set) + T("のいずれか1文字ではありません");
    case StdOp::YearMonth01:  // never blanks
      break;
    case StdOp::Weight:
      return T("0または数値以外です");
    case StdOp::LabValue:
      return T("0より大きく20以下の数値ではありません");
    case StdOp::IntRange:
      return Number(s.lo) + T("から") + Number(s.hi) + T("までの整数ではありません");
    case StdOp::PrefixIn:
      return T("先頭") + Number(s.n) + T("文字が") + SetText(s.set) + T("だけではありません");
    case StdOp::NotAfter8:
      return T("8以下ではありません（文字の順で比較）");
  }
  return {};
}

template <class C>
std::basic_string<C> ChkStdT(std::basic_string_view<C> value, int position) {
  std::basic_string<C> result(value);
  const auto* steps = StdStepsAt(position);
  if (!steps) return result;
  const auto t = TrimView(value);
  for (const StdStep& s : *steps) {
    if (!RunStdStep(s, value, t, result)) return {};
  }
  return result;
}

// ---------------------------------------------------------------- ChkStdNew

struct NewRuleRow {
  std::vector<int> columns;
  NewOp op;
  int n = 0;
  std::u16string_view set = {};
};

// The condition under which a long-header column keeps its value.
const std::vector<NewRuleRow>& NewRules() {
  static const std::vector<NewRuleRow> rules = {
      {{1}, NewOp::MaxLen, 20},
      {{2, 21, 80}, NewOp::DigitsLen, 8},
      {{3, 23, 57}, NewOp::DigitsLen, 7},
      {{11}, NewOp::Single, 0, S05},
      {{12}, NewOp::Single, 0, S09},
      {{20}, NewOp::Single, 0, S15},
      {{22, 56}, NewOp::MaxLen, 40},
      {{25, 59}, NewOp::DigitsLen, 4},
      {{26, 44}, NewOp::Single, 0, S0239},
      {{27, 33, 36, 55, 62}, NewOp::Single, 0, S01},
      {{32, 35, 48, 66, 67}, NewOp::Single, 0, S019},
      {{39}, NewOp::Single, 0, S0249},
      {{42}, NewOp::Single, 0, S129},
      {{52, 96, 98}, NewOp::DigitsLen, 6},
      {{53}, NewOp::Single, 0, S07},
      {{60}, NewOp::Fixed, 13, S01},
      {{61, 81}, NewOp::Fixed, 10, S0239},
      {{64}, NewOp::Single, 0, S02},
      {{68}, NewOp::Fixed, 5, S01},
      {{82}, NewOp::Fixed, 18, S179},
      {{83}, NewOp::Fixed, 14, S01},
      {{99}, NewOp::Fixed, 7, S01},
  };
  return rules;
}

constexpr int kColumns = 100;

const std::array<NewRule, kColumns>& CompiledNewRules() {
  static const auto table = [] {
    std::array<NewRule, kColumns> t{};
    for (const NewRuleRow& row : NewRules()) {
      NewRule c{row.op, static_cast<std::size_t>(row.n)};
      for (char16_t ch : row.set) (ch < 0x40 ? c.lo : c.hi) |= std::uint64_t{1} << (ch & 0x3F);
      for (int col : row.columns) t[static_cast<std::size_t>(col)] = c;
    }
    return t;
  }();
  return table;
}

const NewRule& NewRuleAt(int column) {
  static const NewRule none;
  if (column < 0 || column >= kColumns) return none;
  return CompiledNewRules()[static_cast<std::size_t>(column)];
}

template <class C>
bool InMask(C ch, const NewRule& r) {
  const auto c = static_cast<std::uint32_t>(static_cast<std::make_unsigned_t<C>>(ch));
  if (c >= 0x80) return false;
  return ((c < 0x40 ? r.lo : r.hi) >> (c & 0x3F)) & 1u;
}

template <class C>
bool ChkStdNewKeeps(std::basic_string_view<C> value, int column) {
  const NewRule& rule = NewRuleAt(column);
  if (rule.op == NewOp::Always) return true;
  const auto t = TrimView(value);
  switch (rule.op) {
    case NewOp::Always:
      return true;
    case NewOp::MaxLen:
      return t.size() <= rule.n;
    case NewOp::DigitsLen:
      return t.size() == rule.n && AllDigits(t);
    case NewOp::Single:
      return t.size() == 1 && InMask(t[0], rule);
    case NewOp::Fixed:
      if (t.size() != rule.n) return false;
      for (C ch : t) {
        if (!InMask(ch, rule)) return false;
      }
      return true;
  }
  return true;
}

Text NewRuleText(const NewRuleRow& row) {
  switch (row.op) {
    case NewOp::Always:
      break;
    case NewOp::MaxLen:
      return Number(row.n) + T("文字を超えています");
    case NewOp::DigitsLen:
      return Number(row.n) + T("桁の数字ではありません");
    case NewOp::Single:
      return SetText(row.set) + T("のいずれか1文字ではありません");
    case NewOp::Fixed:
      return SetText(row.set) + T("だけの") + Number(row.n) + T("文字ではありません");
  }
  return {};
}

}  // namespace

Text GetStringCategories(TextView text, int kind) {
  std::array<bool, kClasses.size()> present{};
  for (char16_t c : text) present[ClassOf(c)] = true;
  Text out;
  for (std::size_t i = 0; i < kClasses.size(); ++i) {
    if (!present[i]) continue;
    if (!out.empty()) out += u", ";
    if (kind == 1) {
      out += kClasses[i].fullWidth ? T("全角") : T("半角");
    } else {
      out += T(kClasses[i].named);
    }
  }
  return out;
}

bool ContainsHalfWidth(TextView text) { return HasWidth(text, false); }
bool ContainsFullWidth(TextView text) { return HasWidth(text, true); }

bool IsDigits(TextView text) { return AllDigits(text); }

bool Single1(TextView text, std::u16string_view set) { return OneIn(text, set); }

bool FixedDigits(TextView text, int length, std::u16string_view set) {
  return length >= 0 && AllIn(text, static_cast<std::size_t>(length), set);
}

Text ChkStd(TextView value, int position) { return ChkStdT(value, position); }

Text ChkStdNew(TextView value, int column) {
  return ChkStdNewKeeps(value, column) ? Text(value) : Text();
}

Text ChkStdReason(TextView value, int position) {
  const auto* steps = StdStepsAt(position);
  if (!steps) return {};
  const TextView t = TrimView(value);
  Text result(value);
  for (const StdStep& s : *steps) {
    if (!RunStdStep(s, value, t, result)) return StdStepText(s);
  }
  return {};
}

Text ChkStdNewRuleText(int column) {
  for (const NewRuleRow& row : NewRules()) {
    for (int c : row.columns) {
      if (c == column) return NewRuleText(row);
    }
  }
  return {};
}

Text ChkStdNewReason(TextView value, int column) {
  return ChkStdNewKeeps(value, column) ? Text() : ChkStdNewRuleText(column);
}

bool IsNotMeasuredMark(TextView value, int position) {
  const TextView t = TrimView(value);
  switch (position) {
    case 22:
    case 52:
      return t == u"99.9";
    case 31:
    case 32:
    case 37:
      return t == u"999";
    default:
      return false;
  }
}

bool ChkStdNewKeepsAscii(std::string_view value, int column) {
  return ChkStdNewKeeps(value, column);
}

const NewRule& ChkStdNewRule(int column) { return NewRuleAt(column); }

std::string ChkStdAscii(std::string_view value, int position) { return ChkStdT(value, position); }

}  // namespace tavo::linkage
