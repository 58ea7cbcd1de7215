#include "linkage/convert2.h"

#include <algorithm>
#include <bit>
#include <charconv>
#include <cstdint>
#include <cstring>
#include <limits>
#include <string>
#include <string_view>
#include <type_traits>
#include <utility>

#include "core/background_io.h"
#include "core/bytes.h"
#include "core/carte.h"
#include "core/comma.h"
#include "core/cp932.h"
#include "core/cp932_twins.h"
#include "core/errors.h"
#include "core/files.h"
#include "core/simd.h"
#include "linkage/blank_report.h"
#include "linkage/convert1.h"
#include "linkage/line_stream.h"
#include "linkage/tab_fields.h"
#include "linkage/validate.h"

namespace tavo::linkage {

namespace {

constexpr std::size_t kNgtField = 3;
constexpr std::string_view kCrLf = "\r\n";
// Both conversions split the lines of the stream in place.
static_assert(RawLineStream::kReadSlack >= TabFields::kReadSlack);
static_assert(RawLineStream::kReadSlack >= kFieldSlack);

// Row bytes gathered for the output file and handed on in large blocks, which
// are written while the next one fills. A row is written through a raw
// pointer into room reserved for it.
class RowBuffer {
 public:
  // Bytes that may be read past a padded source and written past the room.
  static constexpr std::size_t kSlack = 16;

  explicit RowBuffer(AtomicFile& out) : out_(out), buf_(kBlock) {}
  // Room for n bytes (and the slack) at the end; the pointer stays valid
  // until the next call.
  char* Room(std::size_t n) {
    if (buf_.size() - pos_ < n + kSlack) buf_.resize(2 * buf_.size() + n + kSlack);
    return buf_.data() + pos_;
  }
  // The bytes up to `end` (inside the last room) are written.
  void Done(const char* end) {
    pos_ = static_cast<std::size_t>(end - buf_.data());
    if (pos_ >= kFlushAt) Flush();
  }
  void Append(std::string_view bytes) {
    char* o = Room(bytes.size());
    std::memcpy(o, bytes.data(), bytes.size());
    Done(o + bytes.size());
  }
  // Everything written: before the file is committed.
  void Finish() {
    Flush();
    out_.Finish();
  }

 private:
  static constexpr std::size_t kFlushAt = 1 << 18;
  static constexpr std::size_t kBlock = kFlushAt + (1 << 16);  // room for the row that fills it
  void Flush() {
    if (pos_) out_.Write(buf_, pos_);
    // The block handed back is the one written before (none the first time).
    if (buf_.size() < kBlock) buf_.resize(kBlock);
    pos_ = 0;
  }
  WriteBehind<std::vector<char>> out_;
  std::vector<char> buf_;
  std::size_t pos_ = 0;
};

// Copies bytes that are followed by at least RowBuffer::kSlack readable bytes
// to `o`, which has as much room past them: a short field is one fixed move.
char* PutPadded(char* o, std::string_view bytes) {
  if (bytes.size() <= RowBuffer::kSlack) {
    std::memcpy(o, bytes.data(), RowBuffer::kSlack);
  } else {
    std::memcpy(o, bytes.data(), bytes.size());
  }
  return o + bytes.size();
}

// n commas; `o` has RowBuffer::kSlack bytes of room past them.
char* PutCommas(char* o, std::size_t n) {
  static constexpr char kCommas[] = ",,,,,,,,,,,,,,,,";
  static_assert(sizeof kCommas - 1 == RowBuffer::kSlack);
  std::memcpy(o, kCommas, RowBuffer::kSlack);
  for (std::size_t done = RowBuffer::kSlack; done < n; done += RowBuffer::kSlack) {
    std::memcpy(o + done, kCommas, RowBuffer::kSlack);
  }
  return o + n;
}

char* Put(char* o, std::string_view bytes) {
  std::memcpy(o, bytes.data(), bytes.size());
  return o + bytes.size();
}

// No byte of 0x80 or more in fields first ... first + count - 1.
bool AllAscii(const TabFields::View& split, std::size_t first, std::size_t count) {
  for (std::size_t i = first; i < first + count; ++i) {
    if (!split.ascii(i)) return false;
  }
  return true;
}

// A long-header column's rule on a field of ASCII bytes that is followed by
// at least RowBuffer::kSlack readable bytes. Every rule but the length limit
// asks for exactly n characters from a set of digits (IsDigits and a length
// is the set 0-9; Single1 is one character); each set is one or two runs of
// digits, tested eight bytes at a time. A field with blanks around it goes
// to NewRuleKeepsAscii, which trims.
class FieldRule {
 public:
  FieldRule() = default;
  explicit FieldRule(const NewRule& rule) : rule_(rule) {
    switch (rule.op) {
      case NewOp::Always:
        kind_ = Kind::kAll;
        return;
      case NewOp::MaxLen:
        kind_ = Kind::kMax;
        n_ = rule.n;
        return;
      case NewOp::DigitsLen:
      case NewOp::Single:
      case NewOp::Fixed:
        break;
    }
    n_ = rule.op == NewOp::Single ? 1 : rule.n;
    std::array<bool, 10> digit{};
    for (unsigned d = 0; d < 10; ++d) {
      const unsigned c = '0' + d;
      digit[d] = rule.op == NewOp::DigitsLen || ((rule.lo >> c) & 1u) != 0;
    }
    const bool others = rule.op != NewOp::DigitsLen &&
                        ((rule.lo & ~(std::uint64_t{0x3FF} << '0')) != 0 || rule.hi != 0);
    // The runs of allowed digits, as the bounds [from, to).
    std::vector<std::pair<unsigned, unsigned>> runs;
    for (unsigned d = 0; d < 10; ++d) {
      if (!digit[d]) continue;
      if (!runs.empty() && runs.back().second == d) {
        runs.back().second = d + 1;
      } else {
        runs.emplace_back(d, d + 1);
      }
    }
    if (others || runs.empty() || runs.size() > 2 || n_ == 0 || n_ > 24) {
      kind_ = Kind::kGeneric;
      return;
    }
    // One character of a set given as a mask: a bit test.
    kind_ = n_ == 1 && rule.op != NewOp::DigitsLen ? Kind::kOne : Kind::kExact;
    // Adding 0x80 - x to an ASCII byte sets its top bit exactly when the
    // byte is x or more, with no carry into the next byte.
    auto atLeast = [](unsigned x) { return (0x80 - x) * 0x0101010101010101ull; };
    from1_ = atLeast('0' + runs[0].first);
    to1_ = atLeast('0' + runs[0].second);
    if (runs.size() == 2) {
      twoRuns_ = true;
      from2_ = atLeast('0' + runs[1].first);
      to2_ = atLeast('0' + runs[1].second);
    }
    const std::size_t inLast = n_ - (n_ - 1) / 8 * 8;  // 1 to 8
    lastValid_ = inLast == 8 ? kHighBits : kHighBits & ((std::uint64_t{1} << (8 * inLast)) - 1);
  }

  // The rule keeps any field of this many bytes: it has no rule, or a
  // limit on the characters that this many bytes cannot pass (a character
  // takes one or two bytes).
  bool KeepsAnyCharacters(std::size_t bytes) const {
    return kind_ == Kind::kAll || (kind_ == Kind::kMax && bytes <= n_);
  }

  // The form of the rule, for a caller that checks many fields with one
  // dispatch: each form has its own test below, Keeps picks it.
  enum class Kind : std::uint8_t { kAll, kMax, kOne, kExact, kGeneric };
  Kind kind() const { return kind_; }

  bool Keeps(std::string_view field) const {
    switch (kind_) {
      case Kind::kAll:
        return true;
      case Kind::kMax:
        return KeepsMax(field);
      case Kind::kOne:
        return KeepsOne(field);
      case Kind::kExact:
        return KeepsExact(field);
      case Kind::kGeneric:
        break;
    }
    return KeepsGeneric(field);
  }
  bool KeepsMax(std::string_view field) const {
    return field.size() <= n_ || NewRuleKeepsAscii(rule_, field);
  }
  // One character of a set given as a mask: a bit test.
  bool KeepsOne(std::string_view field) const {
    if (field.size() == 1) {
      const auto c = static_cast<unsigned char>(field[0]);
      return c < 0x40 && ((rule_.lo >> c) & 1u) != 0;
    }
    return !field.empty() && NewRuleKeepsAscii(rule_, field);
  }
  bool KeepsExact(std::string_view field) const {
    // The common short field in one word, inline.
    if (field.size() == n_ && n_ <= 8) {
      return (InRuns(Load8(field.data())) & lastValid_) == lastValid_;
    }
    return KeepsExactAny(field);
  }
  bool KeepsGeneric(std::string_view field) const { return NewRuleKeepsAscii(rule_, field); }

 private:
  bool KeepsExactAny(std::string_view field) const {
    const std::size_t len = field.size();
    if (len != n_) {
      return len > n_ && NewRuleKeepsAscii(rule_, field);  // shorter: trimmed it is shorter still
    }
    // Every byte in the runs: those are digits, so there is no blank at
    // either end for trimming to remove. Bytes past the field may be
    // anything; a carry out of them only reaches later bytes, which are
    // masked off too.
    const char* p = field.data();
    std::size_t k = 0;
    for (; k + 8 < len; k += 8) {
      if ((InRuns(Load8(p + k)) & kHighBits) != kHighBits) return false;
    }
    return (InRuns(Load8(p + k)) & lastValid_) == lastValid_;
  }
  // The top bit of every byte of w that lies in one of the runs.
  std::uint64_t InRuns(std::uint64_t w) const {
    const std::uint64_t first = (w + from1_) & ~(w + to1_);
    return twoRuns_ ? first | ((w + from2_) & ~(w + to2_)) : first;
  }

  Kind kind_ = Kind::kAll;
  std::size_t n_ = 0;
  // The runs [from, to) as additions; an unused second run never matches.
  std::uint64_t from1_ = 0, to1_ = 0, from2_ = 0, to2_ = 0;
  bool twoRuns_ = false;
  std::uint64_t lastValid_ = 0;  // the top bits of the field's bytes in its last word
  NewRule rule_;
};

// GetCarte's integer reading on bytes: optional sign, decimal digits only,
// within 64 bits.
bool ParseInt64(std::string_view t, std::int64_t& out) {
  std::size_t i = 0;
  bool neg = false;
  if (i < t.size() && (t[i] == '+' || t[i] == '-')) {
    neg = t[i] == '-';
    ++i;
  }
  if (i >= t.size()) return false;
  if (t.size() - i <= 18) {
    // Too few digits to leave 64 bits.
    std::int64_t value = 0;
    for (; i < t.size(); ++i) {
      const auto d = static_cast<unsigned char>(t[i] - '0');
      if (d > 9) return false;
      value = value * 10 + d;
    }
    out = neg ? -value : value;
    return true;
  }
  constexpr std::int64_t kMin = std::numeric_limits<std::int64_t>::min();
  std::int64_t value = 0;  // negative, so that the minimum parses
  for (; i < t.size(); ++i) {
    if (t[i] < '0' || t[i] > '9') return false;
    const std::int64_t d = t[i] - '0';
    if (value < (kMin + d) / 10) return false;
    value = value * 10 - d;
  }
  if (!neg) {
    if (value == kMin) return false;
    value = -value;
  }
  out = value;
  return true;
}

bool AsciiBytes(std::string_view v) {
  for (char c : v) {
    if (static_cast<unsigned char>(c) >= 0x80) return false;
  }
  return true;
}

// GetCarte of a trimmed ASCII text, into `out`.
void GetCarteBytes(std::string_view t, std::string& out) {
  // Trimmed: no leading space is left for GetCarte to skip.
  std::int64_t v = 0;
  if (ParseInt64(t, v) && v != 0) {
    char digits[24];
    const auto r = std::to_chars(digits, digits + sizeof digits, v);
    out.assign(digits, r.ptr);
  } else {
    out.assign(t);
  }
}

// The data-id map of "recelist.csv" as the item-code conversion uses it,
// read from the bytes (LoadDataIdMap's rules: blank lines skipped, split at
// commas, data identification number in field 4, chart number in field 0,
// later lines win). A comma and the blanks that trimming removes are single
// bytes that never belong to a double-byte character, so they are found in
// the bytes as in the text. A data identification number of ASCII bytes
// normalises to ASCII and can only meet ASCII keys. Those that read as a
// non-zero integer normalise to its decimal text, so two of them meet
// exactly when their integers are equal: they live in an open-addressing
// table keyed by the integer, the other ASCII keys in one keyed by the text,
// both holding the chart number normalised and encoded, so that one lookup
// per patient line touches little memory. The keys outside ASCII go into a
// DataIdMap for the text path.
class CarteLookup {
 public:
  explicit CarteLookup(const fs::path& recelist) {
    numbers_.assign(16, NumberSlot{});
    texts_.assign(16, TextSlot{});
    if (!FileExists(recelist)) return;
    LineReader reader(recelist);
    std::string_view line;
    std::array<std::string_view, 5> fields;
    std::string chart;
    while (reader.NextView(line)) {
      if (IsBlankBytes(line)) continue;
      std::size_t n = 0;
      std::size_t start = 0;
      while (n < fields.size()) {
        const std::size_t comma = line.find(',', start);
        fields[n++] = line.substr(start, comma == std::string_view::npos ? comma : comma - start);
        if (comma == std::string_view::npos) break;
        start = comma + 1;
      }
      if (n < 5) continue;
      const std::string_view dataId = TrimBytes(fields[4]);
      if (dataId.empty()) continue;
      const std::string_view chartBytes = TrimBytes(fields[0]);
      if (!AsciiBytes(dataId)) {
        wide_[GetCarte(Cp932Decode(dataId))] = Cp932Decode(chartBytes);
        continue;
      }
      if (AsciiBytes(chartBytes)) {
        GetCarteBytes(chartBytes, chart);
      } else {
        chart = Cp932Encode(GetCarte(Cp932Decode(chartBytes)));
      }
      longest_ = std::max(longest_, chart.size());
      std::int64_t v = 0;
      if (ParseInt64(dataId, v) && v != 0) {
        PutNumber(v, chart);
      } else {
        PutText(dataId, chart);
      }
    }
  }

  const DataIdMap& wide() const { return wide_; }
  std::size_t LongestChart() const { return longest_; }

  // A data identification number of ASCII bytes read for the lookup.
  struct Key {
    std::string_view text;    // trimmed
    std::int64_t number = 0;  // its integer, 0 when it is none or zero
  };
  // The key of a field; with SSE2 the table slot that the lookup will read
  // starts coming into the cache. Even when the lookup follows at once, its
  // own load comes a score of instructions later: without this fetch a run
  // of converter 2 took about a tenth more time.
  Key Read(std::string_view dataId) const {
    Key k{TrimBytes(dataId)};
    if (!ParseInt64(k.text, k.number)) k.number = 0;
#if TAVO_SSE2
    if (k.number != 0) {
      const NumberSlot& slot = numbers_[HashNumber(k.number) & (numbers_.size() - 1)];
      _mm_prefetch(reinterpret_cast<const char*>(&slot), _MM_HINT_T0);
    }
#endif
    return k;
  }

  // Starts bringing into the cache the table slot of the data identification
  // number at the start of `bytes` (the next line, whose first field it is),
  // so that its lookup a line later does not wait for memory. Changes nothing
  // found.
  void PrefetchLeading(std::string_view bytes) const {
    const std::string_view head = bytes.substr(0, 32);  // longer is no number of ours
    const std::size_t tab = head.find('\t');
    if (tab != std::string_view::npos) Read(head.substr(0, tab));
  }

  // Room for the decimal text of a 64-bit integer.
  using Digits = std::array<char, 24>;
  // ConvCarte of a field of ASCII bytes: the bytes to write, valid while
  // the field and `digits` are. `digits` may hold the result.
  std::string_view ConvCarte(std::string_view dataId, Digits& digits) const {
    return ConvCarte(Read(dataId), digits);
  }
  std::string_view ConvCarte(const Key& k, Digits& digits) const {
    const std::string_view t = k.text;
    const std::int64_t v = k.number;
    if (v != 0) {
      const NumberSlot& slot = numbers_[FindNumber(v)];
      if (slot.entry != 0) return charts_[slot.entry - 1];
      const auto r = std::to_chars(digits.data(), digits.data() + digits.size(), v);
      return {digits.data(), static_cast<std::size_t>(r.ptr - digits.data())};
    }
    // GetCarte leaves any other text as it is.
    const TextSlot& slot = texts_[FindText(t, HashText(t))];
    if (slot.entry != 0) return charts_[slot.entry - 1];
    return t;
  }

 private:
  struct NumberSlot {
    std::int64_t key = 0;
    std::uint32_t entry = 0;  // 1-based index into charts_, 0 for a free slot
  };
  struct TextSlot {
    std::uint32_t hash = 0;
    std::uint32_t entry = 0;  // 1-based index into charts_ and textKeys_
  };
  static std::uint64_t HashNumber(std::int64_t v) {
    const std::uint64_t h = static_cast<std::uint64_t>(v) * 0x9E3779B97F4A7C15ull;
    return h ^ (h >> 29);
  }
  static std::uint64_t HashText(std::string_view key) {
    std::uint64_t h = 0xcbf29ce484222325ull;  // FNV-1a
    for (char c : key) h = (h ^ static_cast<unsigned char>(c)) * 0x100000001b3ull;
    return h ^ (h >> 32);
  }
  // The slot of the key, or the free slot where it would go.
  std::size_t FindNumber(std::int64_t v) const {
    const std::size_t mask = numbers_.size() - 1;
    for (std::size_t i = HashNumber(v) & mask;; i = (i + 1) & mask) {
      const NumberSlot& s = numbers_[i];
      if (s.entry == 0 || s.key == v) return i;
    }
  }
  std::size_t FindText(std::string_view key, std::uint64_t h) const {
    const auto tag = static_cast<std::uint32_t>(h);
    const std::size_t mask = texts_.size() - 1;
    for (std::size_t i = h & mask;; i = (i + 1) & mask) {
      const TextSlot& s = texts_[i];
      if (s.entry == 0 || (s.hash == tag && textKeys_[s.entry - 1] == key)) return i;
    }
  }
  // A new chart number, or the later one of a key already there.
  std::uint32_t Store(std::uint32_t entry, const std::string& chart, std::string_view textKey) {
    if (entry != 0) {
      charts_[entry - 1] = chart;
      return entry;
    }
    charts_.push_back(chart);
    textKeys_.emplace_back(textKey);
    return static_cast<std::uint32_t>(charts_.size());
  }
  // Filled to three quarters at most: a small table stays in the cache.
  template <class Slot>
  static bool Full(const std::vector<Slot>& slots, std::size_t used) {
    return 4 * used > 3 * slots.size();
  }
  void PutNumber(std::int64_t v, const std::string& chart) {
    NumberSlot& slot = numbers_[FindNumber(v)];
    if (slot.entry == 0) ++numberCount_;
    slot = {v, Store(slot.entry, chart, {})};
    if (!Full(numbers_, numberCount_)) return;
    std::vector<NumberSlot> old(2 * numbers_.size());
    old.swap(numbers_);
    for (const NumberSlot& s : old) {
      if (s.entry != 0) numbers_[FindNumber(s.key)] = s;
    }
  }
  void PutText(std::string_view key, const std::string& chart) {
    const std::uint64_t h = HashText(key);
    TextSlot& slot = texts_[FindText(key, h)];
    if (slot.entry == 0) ++textCount_;
    slot = {static_cast<std::uint32_t>(h), Store(slot.entry, chart, key)};
    if (!Full(texts_, textCount_)) return;
    std::vector<TextSlot> old(2 * texts_.size());
    old.swap(texts_);
    for (const TextSlot& s : old) {
      if (s.entry != 0)
        texts_[FindText(textKeys_[s.entry - 1], HashText(textKeys_[s.entry - 1]))] = s;
    }
  }
  std::vector<NumberSlot> numbers_;
  std::vector<TextSlot> texts_;
  std::size_t numberCount_ = 0;
  std::size_t textCount_ = 0;
  std::vector<std::string> charts_;
  std::vector<std::string> textKeys_;  // beside charts_ (empty for number keys)
  std::size_t longest_ = 0;
  DataIdMap wide_;
};

// Encoded once: the header lines written by the conversions.
const std::string& NumberedHeaderBytes() {
  static const std::string bytes = Cp932Encode(NumberedHeaderLine());
  return bytes;
}

// The header text of one numbered-header column, encoded.
std::string_view NumberedHeaderBytes(std::size_t column) {
  static const auto columns = [] {
    std::vector<std::string> bytes;
    for (const Text& name : NumberedHeaderColumns()) bytes.push_back(Cp932Encode(name));
    return bytes;
  }();
  return columns[column];
}

const std::string& LongHeaderBytes() {
  static const std::string bytes = Cp932Encode(LongHeaderLine());
  return bytes;
}

// The output in place, with the report of blanked values when there is one.
void Commit(AtomicFile& out, BlankReport* report) {
  if (report) {
    report->CommitWith(out);
  } else {
    out.Commit();
  }
}

Text FileNotReadText(TextView file, const char* what) {
  return T("ファイル ") + Text(file) + T(what);
}

// Characters that a Windows path cannot hold.
bool HasInvalidPathChar(TextView path) {
  for (char16_t c : path) {
    if (c < 0x20 || c == u'<' || c == u'>' || c == u'"' || c == u'|' || c == u'?' || c == u'*') {
      return true;
    }
  }
  return false;
}

}  // namespace

Text GetNgt(TextView line) { return At(SplitTab(line), kNgtField); }

Selection SelectFile2(TextView path) {
  Selection s;
  if (!path.empty()) {
    try {
      s.lines = LoadLeadingLines(PathFromText(path), 2);
    } catch (const OpError& e) {
      s.messages.Error(e.text());
      return s;
    }
  }
  if (s.lines.empty()) {
    s.messages.Warn(NotFfFileText());
    return s;
  }
  s.accepted = true;
  if (s.lines.size() < 2) {
    s.messages.Error(FileNotReadText(path, " には2行目がないため、診療年月を読み取れません。"));
    return s;
  }
  const FieldList fields = SplitTab(s.lines[1]);
  if (fields.size() <= kNgtField) {
    s.messages.Error(
        FileNotReadText(path, " の2行目は項目が4つに足りないため、診療年月を読み取れません。"));
    return s;
  }
  s.ngt = GetNgt(s.lines[1]);
  s.hasNgt = true;
  return s;
}

DataIdMap LoadDataIdMap(const fs::path& recelist) {
  DataIdMap map;
  if (!FileExists(recelist)) return map;
  for (const Text& line : ReadLinesCp932(recelist)) {
    if (IsBlank(line)) continue;
    FieldList fields;
    std::size_t start = 0;
    while (true) {
      const std::size_t comma = line.find(u',', start);
      fields.push_back(line.substr(start, comma == Text::npos ? Text::npos : comma - start));
      if (comma == Text::npos) break;
      start = comma + 1;
    }
    if (fields.size() < 5) continue;
    const Text dataId = Trim(fields[4]);
    if (dataId.empty()) continue;
    map[GetCarte(dataId)] = Trim(fields[0]);
  }
  return map;
}

Text ConvCarte(TextView dataId, const DataIdMap& map) {
  const Text k = GetCarte(Trim(dataId));
  const auto it = map.find(k);
  if (it != map.end()) return GetCarte(it->second);
  return k;
}

ConvertCounts ConvertTSVtoCSV_Reorder(const fs::path& input, const fs::path& output,
                                      const std::array<int, kNumberedColumnCount>& order,
                                      BlankReport* report) {
  RawLineStream in(input);
  AtomicFile out(output);
  TabFields fields;
  ConvertCounts counts;
  std::string row;
  std::string widening;
  std::string_view line;
  bool first = true;
  std::size_t lineNumber = 0;
  while (in.Next(line)) {
    ++lineNumber;
    if (first) {
      first = false;
      out.Write(NumberedHeaderBytes());
      out.Write(kCrLf);
      continue;
    }
    row.clear();
    if (!line.empty()) {
      fields.Split(line);
      for (std::size_t k = 0; k < order.size(); ++k) {
        if (k) row += ',';
        const int p = order[k];
        if (p == kEmptyColumnMarker || p < 0 || static_cast<std::size_t>(p) >= fields.size()) {
          continue;
        }
        const auto at = static_cast<std::size_t>(p);
        const std::string_view field = fields.field(at);
        const std::size_t before = row.size();
        if (fields.ascii(at)) {
          row += ChkStdAscii(field, p);
        } else {
          Cp932EncodeAppend(ChkStd(Cp932Decode(field), p), row);
        }
        if (report && row.size() == before && !IsBlankBytes(field)) {
          const Text value = Cp932Decode(field);
          if (!IsNotMeasuredMark(value, p)) {
            report->Add(lineNumber, TrimBytes(fields.field(0)), NumberedHeaderBytes(k), field,
                        Cp932Encode(ChkStdReason(value, p)));
          }
        }
        if (fields.comma() && row.find(',', before) != std::string::npos) {
          widening.assign(row, before);
          WidenCommasBytes(widening);
          row.replace(before, std::string::npos, widening);
          ++counts.widened;
          if (report) {
            report->AddWidened(lineNumber, TrimBytes(fields.field(0)), NumberedHeaderBytes(k),
                               field);
          }
        }
      }
    }
    row += kCrLf;
    out.Write(row);
  }
  Commit(out, report);
  counts.lines = counts.rows = lineNumber > 0 ? lineNumber - 1 : 0;
  return counts;
}

ConvertCounts ConvertNewFmt(const fs::path& input, const fs::path& output, const fs::path& recelist,
                            BlankReport* report) {
  static_assert(RawLineStream::kReadSlack >= RowBuffer::kSlack + 8);
  const CarteLookup charts(recelist);
  ConvertCounts counts;
  RawLineStream in(input);
  AtomicFile out(output);
  RowBuffer rows(out);
  const auto& columnMap = LongColumnMap();
  // The long-header columns that have a source, in order: the field that
  // fills each (fixed by the header), its rule, and the commas before it.
  // A column with a rule takes the form of its rule, so that one switch
  // picks the test.
  enum class Kind : std::uint8_t { kCopy, kMax, kOne, kExact, kGeneric, kCarte, kDate };
  struct Column {
    int c = 0;
    std::size_t source = 0;
    std::size_t commas = 0;
    Kind kind = Kind::kCopy;
    // Columns from this one on that copy their fields as they are from
    // consecutive fields, each one comma after the last: with ASCII
    // fields they are the bytes from the first field to the last, TABs
    // turned into commas.
    std::size_t run = 1;
    FieldRule rule;
    std::string header;  // for the report: the column's header text and the
    std::string reason;  // reason for a value it blanks, encoded
  };
  auto ruleKind = [](FieldRule::Kind form) {
    switch (form) {
      case FieldRule::Kind::kAll:
        return Kind::kCopy;
      case FieldRule::Kind::kMax:
        return Kind::kMax;
      case FieldRule::Kind::kOne:
        return Kind::kOne;
      case FieldRule::Kind::kExact:
        return Kind::kExact;
      case FieldRule::Kind::kGeneric:
        break;
    }
    return Kind::kGeneric;
  };
  std::vector<Column> columns;
  std::size_t trailingCommas = kLongColumnCount - 1;
  // The most columns that take the same field: with the line's length it
  // bounds a row's bytes.
  std::size_t maxUse = 1;
  TabFields fields;
  Text decoded;
  std::string encoded;
  CarteLookup::Digits digits;
  std::string_view line;
  std::size_t lineNumber = 0;
  // A value that its rule blanked, or whose commas were widened, goes into
  // the report with the row's chart number, worked out again at the line's
  // first such value (column 0 comes first), so that the common path keeps
  // nothing for the report.
  std::size_t chartLine = 0;
  std::string chart;
  auto rowChart = [&]() -> const std::string& {
    if (chartLine != lineNumber) {
      chartLine = lineNumber;
      chart.clear();
      const Column& first = columns.front();
      if (first.kind == Kind::kCarte && first.source < fields.size()) {
        const std::string_view id = fields.field(first.source);
        if (fields.ascii(first.source)) {
          chart = charts.ConvCarte(id, digits);
        } else {
          chart = Cp932Encode(ConvCarte(Cp932Decode(id), charts.wide()));
        }
      }
    }
    return chart;
  };
  auto noteBlank = [&](const Column& col, std::string_view field) {
    report->Add(lineNumber, rowChart(), col.header, field, col.reason);
  };
  if (in.Next(line)) {
    ++lineNumber;
    std::unordered_map<Text, int> header;  // later fields win
    const FieldList names = SplitTab(Cp932Decode(line));
    for (std::size_t i = 0; i < names.size(); ++i) {
      header[UpperAscii(Trim(names[i]))] = static_cast<int>(i);
    }
    std::unordered_map<std::size_t, std::size_t> uses;
    int previous = 0;
    for (int c = 0; c < kLongColumnCount; ++c) {
      const int pos = columnMap[static_cast<std::size_t>(c)];
      if (pos < 0) continue;
      Column col;
      col.c = c;
      const std::string_view code = CodeAt(pos);
      const auto it = header.find(Text(code.begin(), code.end()));
      col.source = static_cast<std::size_t>(it != header.end() ? it->second : pos);
      maxUse = std::max(maxUse, ++uses[col.source]);
      col.commas = static_cast<std::size_t>(c - previous);
      previous = c;
      col.rule = FieldRule(ChkStdNewRule(c));
      col.header = Cp932Encode(LongHeaderColumns()[static_cast<std::size_t>(c)]);
      col.reason = Cp932Encode(ChkStdNewRuleText(c));
      col.kind = c == 0 ? Kind::kCarte : c == 2 ? Kind::kDate : ruleKind(col.rule.kind());
      columns.push_back(col);
    }
    trailingCommas = static_cast<std::size_t>(kLongColumnCount - 1 - previous);
    for (std::size_t k = columns.size(); k-- > 1;) {
      const Column& here = columns[k - 1];
      const Column& next = columns[k];
      if (here.kind == Kind::kCopy && next.kind == Kind::kCopy && next.commas == 1 &&
          next.source == here.source + 1) {
        columns[k - 1].run = next.run + 1;
      }
    }
    std::vector<std::size_t> sources;
    for (const Column& col : columns) sources.push_back(col.source);
    fields.Want(sources);
    rows.Append(LongHeaderBytes());
    rows.Append(kCrLf);
  }
  // The chart number comes from each line's first field: the next line's is
  // looked up ahead.
  const bool chartFirst =
      !columns.empty() && columns.front().kind == Kind::kCarte && columns.front().source == 0;
  // Bytes a row may add to its fields: commas, line break, "01" of the
  // date, a chart number that is longer than its data identification number.
  const std::size_t rowExtra = kLongColumnCount + kCrLf.size() + 2 + 24 + charts.LongestChart();
  // The row being built, its bound and the place reached.
  char* row = nullptr;
  std::size_t bound = 0;
  char* o = nullptr;
  // Room for `more` bytes past the bound (a text that grew): the row moves
  // with the buffer, which keeps it whole.
  auto ensure = [&](std::size_t more) {
    const auto used = static_cast<std::size_t>(o - row);
    if (used + more <= bound) return;
    bound += used + more;
    row = rows.Room(bound);
    o = row + used;
  };
  // The value written from row + start up to o, with its commas widened:
  // counted, and noted in the report with the field it came from.
  std::string widening;
  auto widenValue = [&](const Column& col, std::size_t start, const TabFields::View& split) {
    widening.assign(row + start, o);
    const std::size_t was = widening.size();
    if (WidenCommasBytes(widening) == 0) return;
    ensure(widening.size() - was);
    o = Put(row + start, widening);
    ++counts.widened;
    if (report) report->AddWidened(lineNumber, rowChart(), col.header, split.field(col.source));
  };
  // The columns of a line from `col` on. A line that holds a comma goes
  // through them with kWiden: each value is widened once it is written, so
  // fields are copied one by one, never as a run.
  auto convertColumns = [&](auto widen, std::vector<Column>::const_iterator col,
                            const TabFields::View& split) {
    constexpr bool kWiden = decltype(widen)::value;
    // The column whose value ends at o, and where that value starts.
    [[maybe_unused]] const Column* last = &columns.front();
    [[maybe_unused]] std::size_t lastStart = 0;
    for (; col != columns.end(); ++col) {
      // Read before any byte is written, which could alias them.
      const std::size_t source = col->source;
      const Kind kind = col->kind;
      const std::size_t run = col->run;
      if constexpr (kWiden) {
        widenValue(*last, lastStart, split);
        last = &*col;
      }
      o = PutCommas(o, col->commas);
      if constexpr (kWiden) lastStart = static_cast<std::size_t>(o - row);
      if (!kWiden && run > 1 && source + run <= split.size() && AllAscii(split, source, run)) {
        char* const at = o;
        o = PutPadded(o, split.span(source, run));
        for (std::size_t k = 1; k < run; ++k) at[split.tabIn(source, source + k)] = ',';
        col += static_cast<std::ptrdiff_t>(run - 1);
        continue;
      }
      if (source >= split.size()) continue;
      const std::string_view field = split.field(source);
      if (!split.ascii(source)) {
        // A value that passes whatever its characters, and whose bytes
        // decode and encode back to themselves, is written as it is.
        if (kind != Kind::kCarte && kind != Kind::kDate &&
            col->rule.KeepsAnyCharacters(field.size()) &&
            !(HasTwinLeadPadded(field) && Cp932ChangesOnReencodeExact(field))) {
          o = PutPadded(o, field);
          continue;
        }
        // Otherwise the field as text, as the rules are written.
        decoded.clear();
        Cp932DecodeAppend(field, decoded);
        encoded.clear();
        if (kind == Kind::kCarte) {
          Cp932EncodeAppend(ConvCarte(decoded, charts.wide()), encoded);
        } else {
          Text checked = decoded;
          if (kind == Kind::kDate) {
            checked = Trim(decoded);
            if (checked.size() == 6) checked += u"01";
          }
          Cp932EncodeAppend(ChkStdNew(checked, col->c), encoded);
          if (report && encoded.empty() && !IsBlank(checked)) noteBlank(*col, field);
        }
        ensure(encoded.size());
        o = Put(o, encoded);
        continue;
      }
      bool keep = true;
      switch (kind) {
        case Kind::kCopy:
          break;
        case Kind::kMax:
          keep = col->rule.KeepsMax(field);
          break;
        case Kind::kOne:
          keep = col->rule.KeepsOne(field);
          break;
        case Kind::kExact:
          keep = col->rule.KeepsExact(field);
          break;
        case Kind::kGeneric:
          keep = col->rule.KeepsGeneric(field);
          break;
        case Kind::kCarte:
          o = Put(o, charts.ConvCarte(field, digits));
          continue;
        case Kind::kDate: {
          const std::string_view t = TrimBytes(field);
          if (t.size() == 6) {
            char date[8 + RowBuffer::kSlack] = {};
            std::memcpy(date, t.data(), 6);
            date[6] = '0';
            date[7] = '1';
            if (col->rule.Keeps({date, 8})) {
              o = Put(o, {date, 8});
            } else if (report) {
              noteBlank(*col, field);
            }
          } else if (col->rule.Keeps(t)) {
            o = Put(o, t);
          } else if (report && !t.empty()) {
            noteBlank(*col, field);
          }
          continue;
        }
      }
      if (keep) {
        o = PutPadded(o, field);
      } else if (report && !IsBlankBytes(field)) {
        noteBlank(*col, field);
      }
    }
    if constexpr (kWiden) widenValue(*last, lastStart, split);
  };
  while (true) {
    // Most lines are cut and split in one pass over the bytes read; one
    // whose break is not in the buffer yet (or is a CR at its end, which an
    // LF may follow) is read the long way.
    const std::string_view unread = in.Unread();
    const std::size_t end = unread.empty() ? 0 : fields.SplitToBreak(unread);
    if (end < unread.size() && (unread[end] == '\n' || end + 1 < unread.size())) {
      line = unread.substr(0, end);
      in.Take(end + 1 + (unread[end] == '\r' && unread[end + 1] == '\n'));
      if (chartFirst) charts.PrefetchLeading(in.Unread());
    } else {
      if (!in.Next(line)) break;
      fields.Split(line);
    }
    ++lineNumber;
    if (IsBlankBytes(line)) {
      ++counts.blankLines;
      continue;
    }
    // The line is followed by readable slack: fields are read and moved in
    // fixed-size pieces.
    const TabFields::View split = fields.view();
    bound = maxUse * line.size() + rowExtra;
    row = rows.Room(bound);
    o = row;
    auto col = columns.begin();
    // Nearly every row starts with the chart number of an ASCII data
    // identification number: it is written at once, outside the loop.
    if (col != columns.end() && col->kind == Kind::kCarte && col->source < split.size() &&
        split.ascii(col->source)) {
      const CarteLookup::Key dataId = charts.Read(split.field(col->source));
      o = Put(o, charts.ConvCarte(dataId, digits));
      ++col;
    }
    if (split.comma) {
      convertColumns(std::true_type{}, col, split);
    } else {
      convertColumns(std::false_type{}, col, split);
    }
    o = PutCommas(o, trailingCommas);
    o = Put(o, kCrLf);
    rows.Done(o);
    ++counts.rows;
  }
  rows.Finish();
  Commit(out, report);
  counts.lines = lineNumber > 0 ? lineNumber - 1 : 0;
  return counts;
}

namespace {

// The messages of a selection that took no file (empty or unreadable), as
// the selection gives them; an error stops the run.
void Refuse(const Selection& s, RunResult& result) {
  for (const Message& m : s.messages.messages) {
    result.messages.push_back(m);
    if (m.kind == MsgKind::Error) result.stopped = true;
  }
}

void WarnNotOutpatient(const Text& why, RunResult& result) {
  result.Warn(why + u'\n' + NotOutpatientText());
}

}  // namespace

std::optional<Text> OutpatientYearMonth(TextView pstFile, RunResult& result) {
  Selection s = SelectFile2(pstFile);
  if (s.hasNgt) return std::move(s.ngt);
  if (!s.accepted) {
    Refuse(s, result);
    return std::nullopt;
  }
  for (const Message& m : s.messages.messages) WarnNotOutpatient(m.text, result);
  return std::nullopt;
}

bool IsOutpatientFile(TextView pstFile, RunResult& result) {
  const Selection s = SelectFile2(pstFile);
  if (!s.accepted) {
    Refuse(s, result);
    return false;
  }
  if (s.lines.size() < 2) {
    WarnNotOutpatient(FileNotReadText(pstFile, " には2行目がありません。"), result);
    return false;
  }
  if (s.lines[1].find(u'\t') == Text::npos) {
    WarnNotOutpatient(FileNotReadText(pstFile, " の2行目はタブ区切りではありません。"), result);
    return false;
  }
  return true;
}

namespace {

// The count lines of a converter 2 run.
void CountConversion(RunResult& result, const ConvertCounts& counts, const BlankReport& report,
                     const Text& reportName) {
  result.Count(ReadWrittenText(counts.lines, counts.rows));
  if (counts.blankLines > 0) {
    result.Count(T("読み飛ばした行: ") + IntToText(static_cast<std::int64_t>(counts.blankLines)) +
                 T("行（空行）"));
  }
  std::vector<Text> changed;
  if (report.count() > 0) {
    changed.push_back(T("検証で空欄にした値: ") +
                      IntToText(static_cast<std::int64_t>(report.count())) + T("件"));
  }
  if (counts.widened > 0) changed.push_back(WidenedText(counts.widened));
  if (changed.empty()) return;
  Text line = changed[0];
  for (std::size_t i = 1; i < changed.size(); ++i) line += T("、") + changed[i];
  result.Count(line + T("（") + reportName + T(" に記録）"));
}

}  // namespace

RunResult Conv2(const Env& env, TextView pstFile) {
  RunResult result;
  const fs::path input = PathFromText(pstFile);
  result.Describe(T("変換2"), Text(), {input});
  if (IsBlank(pstFile)) {
    result.Error(
        T("変換前ファイルが選択されていません。先に「変換前ファイル選択」でファイルを選んでください"
          "。"));
    result.stopped = true;
    return result;
  }
  try {
    // The layout and the name come from the file converted, read now.
    const std::optional<Text> mstNgt = OutpatientYearMonth(pstFile, result);
    if (!mstNgt) return result;
    const bool itemCode = ToInt32Def(Trim(*mstNgt), 0) >= kItemCodeFrom;
    result.options = itemCode ? T("項目コード形式") : T("位置形式");
    const Text name = SafeFileName(CarteFileName(*mstNgt));
    const fs::path target = env.ProgramFile(PathFromText(name));
    const Text reportName = BlankReportName(name);
    BlankReport report(env.ProgramFile(PathFromText(reportName)));
    // Neither file may replace the input that it is made from.
    if (result.RefusesOverwrite(target, name, {input}) ||
        result.RefusesOverwrite(report.target(), reportName, {input})) {
      return result;
    }
    ConvertCounts counts;
    bool noRecelist = false;
    if (itemCode) {
      const fs::path recelist = env.nivaFf1Dir / "recelist.csv";
      noRecelist = !FileExists(recelist);
      if (!noRecelist) result.inputs.push_back(recelist);
      counts = ConvertNewFmt(input, target, recelist, &report);
    } else {
      const fs::path stale = env.ProgramFile("output.tsv");
      if (FileExists(stale)) RemoveFile(stale);
      counts = ConvertTSVtoCSV_Reorder(input, target, NumberedOrder(), &report);
    }
    result.HandOver(target, name);
    if (report.count() > 0 || report.widened() > 0) {
      // The report goes with the output as the second file.
      result.written.push_back(report.target());
      result.gstFile2 = reportName;
    }
    if (report.count() > 0) {
      result.gstMsg += u'\n' + T("検証で") + FromUtf8(std::to_string(report.count())) +
                       T("件の値を空欄にしました（") + reportName + T("）");
    }
    if (noRecelist) {
      result.gstMsg +=
          u'\n' +
          T("recelist.csv が見つからないため、カルテ番号の列にはデータ識別番号を入れました");
    }
    CountConversion(result, counts, report, reportName);
  } catch (const OpError& e) {
    result.Error(e.text());
    result.stopped = true;
  }
  return result;
}

void BlankSecondColumnText(std::string_view line, std::string& out) {
  Text text = Cp932Decode(line);
  FieldList fields = SplitTab(text);
  if (fields.size() >= 2) {
    fields[1].clear();
    text.clear();
    for (std::size_t i = 0; i < fields.size(); ++i) {
      if (i) text += u'\t';
      text += fields[i];
    }
  }
  Cp932EncodeAppend(text, out);
}

bool BlankSecondColumnBytes(std::string_view line, std::string& out) {
  // A TAB byte is never the trail byte of a double-byte character, and
  // decoding starts afresh after it, so the text's TABs are the bytes' TABs
  // and each piece between them encodes back on its own. Normalizing keeps
  // what decoding and encoding again would change (codes with a twin).
  const std::size_t first = line.find('\t');
  if (first == std::string_view::npos) {
    Cp932NormalizeAppend(line, out);
    return false;
  }
  Cp932NormalizeAppend(line.substr(0, first + 1), out);
  const std::size_t second = line.find('\t', first + 1);
  if (second != std::string_view::npos) Cp932NormalizeAppend(line.substr(second), out);
  return true;
}

BlankCounts BlankSecondColumn(const fs::path& input, const fs::path& output) {
  constexpr std::size_t kBlock = 1 << 16;
  RawLineStream in(input);
  AtomicFile out(output);
  BlankCounts counts;
  std::string_view line;
  std::string bytes;
  bytes.reserve(2 * kBlock);
  // The header line keeps its fields.
  if (in.Next(line)) {
    Cp932NormalizeAppend(line, bytes);
    bytes += kCrLf;
  }
  while (in.Next(line)) {
    ++counts.lines;
    counts.blanked += BlankSecondColumnBytes(line, bytes);
    bytes += kCrLf;
    if (bytes.size() >= kBlock) {
      out.Write(bytes);
      bytes.clear();
    }
  }
  out.Write(bytes);
  out.Commit();
  return counts;
}

Text AnonymizedName(TextView inputPath) {
  const Text name = PathText(PathFromText(inputPath).filename());
  return ReplaceAll(name, u".txt", u"ano.txt");
}

RunResult Anonymize(const Env& env, TextView pstFile) {
  RunResult result;
  result.Describe(T("変換前ファイル匿名化"), Text(), {PathFromText(pstFile)});
  if (IsBlank(pstFile)) {
    result.Warn(T("ファイルが選択されていません。"));
    return result;
  }
  if (HasInvalidPathChar(pstFile)) {
    result.Error(T("ファイル名に使用できない文字が含まれています: ") + Text(pstFile));
    result.stopped = true;
    return result;
  }
  const fs::path input = PathFromText(pstFile);
  const Text name = AnonymizedName(pstFile);
  const fs::path target = env.ProgramFile(PathFromText(name));
  if (SameFile(input, target)) {
    result.Warn(T("匿名化ファイル ") + name +
                T(" が変換前ファイルと同じになるため、作成しませんでした。ファイル名に「."
                  "txt」を含むファイルを選択するか、プログラムフォルダの外にあるファイルを選択して"
                  "ください。"));
    return result;
  }
  try {
    // A file of another kind (a receipt file, say) has no names in its
    // second column: a copy of it would leave them all in.
    if (!IsOutpatientFile(pstFile, result)) return result;
    const BlankCounts counts = BlankSecondColumn(input, target);
    result.HandOver(target, name);
    result.Count(IntToText(static_cast<std::int64_t>(counts.lines)) + T("行を読み、") +
                 IntToText(static_cast<std::int64_t>(counts.blanked)) +
                 T("行の2列目（氏名）を空欄にしました（見出し行を除く）"));
  } catch (const OpError& e) {
    result.Error(e.text());
    result.stopped = true;
  }
  return result;
}

}  // namespace tavo::linkage
