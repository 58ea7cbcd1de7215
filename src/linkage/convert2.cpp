#include "linkage/convert2.h"

#include <algorithm>
#include <bit>
#include <charconv>
#include <cstdint>
#include <cstring>
#include <limits>
#include <string>
#include <string_view>
#include <utility>

#include "core/carte.h"
#include "core/cp932.h"
#include "core/errors.h"
#include "core/files.h"
#include "linkage/convert1.h"
#include "linkage/line_stream.h"
#include "linkage/validate.h"

namespace tavo::linkage {

namespace {

constexpr std::size_t kNgtField = 3;
constexpr std::string_view kCrLf = "\r\n";

// Trimmed text is empty: only bytes up to 0x20 (these never belong to a
// double-byte character).
bool IsBlankBytes(std::string_view bytes) {
  for (char c : bytes) {
    if (static_cast<unsigned char>(c) > 0x20) return false;
  }
  return true;
}

std::uint64_t LittleEndian(std::uint64_t w) {
  if constexpr (std::endian::native == std::endian::big) {
    std::uint64_t r = 0;
    for (int b = 0; b < 8; ++b) r |= ((w >> (8 * b)) & 0xFF) << (8 * (7 - b));
    return r;
  }
  return w;
}

std::uint64_t Load8(const char* p) {
  std::uint64_t w;
  std::memcpy(&w, p, 8);
  return LittleEndian(w);
}

constexpr std::uint64_t kHighBits = 0x8080808080808080ull;

// A line split at TAB in one pass, eight bytes at a time (TAB is one byte in
// code page 932 and never part of a double-byte character).
class RawFields {
 public:
  void Split(std::string_view line) {
    // Forget the fields of the previous line that held a high byte.
    std::fill(high_.begin(), high_.begin() + static_cast<std::ptrdiff_t>(count_ / 64 + 1), 0);
    count_ = 0;
    if (line.empty()) return;
    base_ = line.data();
    const std::size_t n = line.size();
    const auto* p = reinterpret_cast<const unsigned char*>(base_);
    std::uint64_t* high = nullptr;
    std::size_t* starts = nullptr;
    std::size_t f = 0;  // the field being read
    // A byte at a time, noting the fields that hold a byte of 0x80 or more;
    // without branches, as such bytes come mixed with TABs. The next start
    // is written in any case and kept only after a TAB.
    auto bytes = [&p, &starts, &high, &f](std::size_t from, std::size_t to) {
      for (std::size_t j = from; j < to; ++j) {
        starts[f + 1] = j + 1;
        f += p[j] == '\t';
        high[f / 64] |= static_cast<std::uint64_t>(p[j] >> 7) << (f % 64);
      }
    };
    constexpr std::uint64_t k7f = 0x7F7F7F7F7F7F7F7Full;
    constexpr std::uint64_t kTab = 0x0909090909090909ull;
    constexpr std::size_t kChunk = 1024;
    std::size_t i = 0;
    while (true) {
      // Room for the fields of the next chunk and the end mark (and the
      // positions written past the count below); grown as the fields come,
      // so that memory follows the field count.
      if (starts_.size() < f + kChunk + 16) {
        starts_.resize(std::max(f + kChunk + 16, 2 * starts_.size()));
        high_.resize(starts_.size() / 64 + 1);
      }
      starts = starts_.data();
      high = high_.data();
      if (i == 0) starts[0] = 0;
      const std::size_t stop = std::min(n, i + kChunk);
      for (; i + 8 <= stop; i += 8) {
        const std::uint64_t w = Load8(base_ + i);
        const std::uint64_t x = w ^ kTab;
        // One bit at the bottom of every byte that is a TAB, exact (no
        // borrow between bytes).
        std::uint64_t tabs = ~(((x & k7f) + k7f) | x | k7f) >> 7;
        if (w & kHighBits) {
          // Byte j of `before` counts the TABs up to byte j: a byte of 0x80
          // or more there belongs to field f + that count. The fields are
          // gathered in a register and noted at once.
          const std::uint64_t before = tabs * 0x0101010101010101ull;
          const std::uint64_t highs = (w >> 7) & 0x0101010101010101ull;
          std::uint64_t m = 1;  // a word without a TAB lies in field f
          if (tabs) {
            m = 0;
            for (unsigned j = 0; j < 64; j += 8) m |= ((highs >> j) & 1u) << ((before >> j) & 0xFF);
          }
          const std::size_t at = f % 64;
          high[f / 64] |= m << at;
          if (at > 55) high[f / 64 + 1] |= m >> (64 - at);
        }
        // Four positions written whether or not there are as many TABs; the
        // count decides which of them are kept. Few words hold more than
        // four, so no branch is mispredicted. The top bit stops the bit
        // search of an exhausted word.
        constexpr std::uint64_t kStop = std::uint64_t{1} << 63;
        const auto count = static_cast<std::size_t>((tabs * 0x0101010101010101ull) >> 56);
        if (!Wanted(f, count)) {
          f += count;
          continue;
        }
        for (std::size_t k = 1; k <= 4; ++k) {
          starts[f + k] = i + (static_cast<std::size_t>(std::countr_zero(tabs | kStop)) >> 3) + 1;
          tabs &= tabs - 1;
        }
        if (count > 4) {
          for (std::size_t k = 5; k <= count; ++k) {
            starts[f + k] = i + (static_cast<std::size_t>(std::countr_zero(tabs | kStop)) >> 3) + 1;
            tabs &= tabs - 1;
          }
        }
        f += count;
      }
      if (stop == n) break;
    }
    bytes(i, n);
    count_ = f + 1;
    starts[count_] = n + 1;  // one past the last field's end
  }
  // Only these fields will be asked for (by default all): the positions of
  // the others need not be noted, only counted.
  void Want(const std::vector<std::size_t>& fields) {
    std::size_t last = 0;
    for (std::size_t f : fields) last = std::max(last, f);
    // For every field index, the first index from it on whose start is
    // wanted (a field's start and end are the starts of it and the next).
    std::vector<bool> wanted(last + 2, false);
    for (std::size_t f : fields) wanted[f] = wanted[f + 1] = true;
    nextWanted_.assign(last + 2, kNever);
    for (std::size_t k = last + 2; k-- > 0;) {
      nextWanted_[k] = wanted[k] ? k : k + 1 < nextWanted_.size() ? nextWanted_[k + 1] : kNever;
    }
    all_ = false;
  }
  std::size_t size() const { return count_; }
  // Only for a wanted field.
  std::string_view field(std::size_t i) const {
    return {base_ + starts_[i], starts_[i + 1] - starts_[i] - 1};
  }
  // No byte of 0x80 or more.
  bool ascii(std::size_t i) const { return ((high_[i / 64] >> (i % 64)) & 1u) == 0; }

 private:
  static constexpr std::size_t kNever = ~std::size_t{0};
  // Whether the start of any of fields f + 1 ... f + count is wanted.
  bool Wanted(std::size_t f, std::size_t count) const {
    if (all_) return true;
    return f + 1 < nextWanted_.size() && nextWanted_[f + 1] <= f + count;
  }
  bool all_ = true;
  std::vector<std::size_t> nextWanted_;
  std::vector<std::size_t> starts_;
  std::vector<std::uint64_t> high_ = std::vector<std::uint64_t>(1);  // a bit per field
  std::size_t count_ = 0;
  const char* base_ = nullptr;
};

// Row bytes gathered for the output file and handed on in large blocks (a
// block of at least the file's own buffer size goes straight to the disk).
// A row is written through a raw pointer into room reserved for it.
class RowBuffer {
 public:
  // Bytes that may be read past a padded source and written past the room.
  static constexpr std::size_t kSlack = 16;

  explicit RowBuffer(AtomicFile& out) : out_(out), buf_(kFlushAt + (1 << 16)) {}
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
  void Flush() {
    if (pos_) out_.Write({buf_.data(), pos_});
    pos_ = 0;
  }

 private:
  static constexpr std::size_t kFlushAt = 1 << 18;
  AtomicFile& out_;
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

// Code page 932 bytes that decode and encode back to themselves. Only the
// codes with a twin change on the way (NEC row 13 at 87xx, the ED/EE rows,
// the IBM extensions at FA-FC); a field with any byte 85-87 or EB-FF, lead
// or trail, is left to the text path, which is always right.
bool RoundTrips(std::string_view bytes) {
  static constexpr auto kTwinFree = [] {
    std::array<bool, 256> t{};
    for (unsigned b = 0; b < 256; ++b) t[b] = b < 0x85 || (b >= 0x88 && b < 0xEB);
    return t;
  }();
  for (char c : bytes) {
    if (!kTwinFree[static_cast<unsigned char>(c)]) return false;
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
      from2_ = atLeast('0' + runs[1].first);
      to2_ = atLeast('0' + runs[1].second);
    }
  }

  // The rule keeps any field of this many bytes: it has no rule, or a
  // limit on the characters that this many bytes cannot pass (a character
  // takes one or two bytes).
  bool KeepsAnyCharacters(std::size_t bytes) const {
    return kind_ == Kind::kAll || (kind_ == Kind::kMax && bytes <= n_);
  }

  bool Keeps(std::string_view field) const {
    switch (kind_) {
      case Kind::kAll:
        return true;
      case Kind::kMax:
        return field.size() <= n_ || NewRuleKeepsAscii(rule_, field);
      case Kind::kGeneric:
        return NewRuleKeepsAscii(rule_, field);
      case Kind::kOne:
        if (field.size() == 1) {
          const auto c = static_cast<unsigned char>(field[0]);
          return c < 0x40 && ((rule_.lo >> c) & 1u) != 0;
        }
        return !field.empty() && NewRuleKeepsAscii(rule_, field);
      case Kind::kExact:
        break;
    }
    const std::size_t len = field.size();
    if (len < n_) return false;  // trimmed it is shorter still
    if (len > n_) return NewRuleKeepsAscii(rule_, field);
    const char* p = field.data();
    if (static_cast<unsigned char>(p[0]) <= 0x20 ||
        static_cast<unsigned char>(p[len - 1]) <= 0x20) {
      return false;  // trimmed it is shorter
    }
    for (std::size_t k = 0; k < len; k += 8) {
      // Bytes past the field may be anything; a carry out of them only
      // reaches later bytes, which are masked off too.
      const std::uint64_t w = Load8(p + k);
      const std::uint64_t in = (((w + from1_) & ~(w + to1_)) | ((w + from2_) & ~(w + to2_)));
      const std::uint64_t valid =
          len - k >= 8 ? kHighBits : kHighBits & ((std::uint64_t{1} << (8 * (len - k))) - 1);
      if ((in & valid) != valid) return false;
    }
    return true;
  }

 private:
  enum class Kind : std::uint8_t { kAll, kMax, kOne, kExact, kGeneric };
  Kind kind_ = Kind::kAll;
  std::size_t n_ = 0;
  // The runs [from, to) as additions; an unused second run never matches.
  std::uint64_t from1_ = 0, to1_ = 0, from2_ = 0, to2_ = 0;
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
// normalises to ASCII and can only meet ASCII keys: those keys live in an
// open-addressing table of small slots with the chart number normalised and
// encoded, so that one lookup per patient line touches little memory. The
// other keys go into a DataIdMap for the text path.
class CarteLookup {
 public:
  explicit CarteLookup(const fs::path& recelist) {
    Rehash(16);
    if (!FileExists(recelist)) return;
    LineReader reader(recelist);
    std::string_view line;
    std::array<std::string_view, 5> fields;
    std::string key;
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
      GetCarteBytes(dataId, key);
      if (AsciiBytes(chartBytes)) {
        GetCarteBytes(chartBytes, chart);
      } else {
        chart = Cp932Encode(GetCarte(Cp932Decode(chartBytes)));
      }
      Put(key, chart);
    }
  }

  const DataIdMap& wide() const { return wide_; }
  std::size_t LongestChart() const { return longest_; }

  // ConvCarte of a field of ASCII bytes: the bytes to write. `key` is
  // scratch space and may hold the result.
  std::string_view ConvCarte(std::string_view dataId, std::string& key) const {
    GetCarteBytes(TrimBytes(dataId), key);
    if (entries_.empty()) return key;
    const Slot& slot = slots_[Find(key, Hash(key))];
    if (slot.entry != 0) return entries_[slot.entry - 1].second;
    return key;
  }

 private:
  struct Slot {
    std::uint32_t hash = 0;
    std::uint32_t entry = 0;  // 1-based index into entries_, 0 for a free slot
  };
  static std::uint64_t Hash(std::string_view key) {
    std::uint64_t h = 0xcbf29ce484222325ull;  // FNV-1a
    for (char c : key) h = (h ^ static_cast<unsigned char>(c)) * 0x100000001b3ull;
    return h ^ (h >> 32);
  }
  // The slot of the key, or the free slot where it would go.
  std::size_t Find(std::string_view key, std::uint64_t h) const {
    const auto tag = static_cast<std::uint32_t>(h);
    const std::size_t mask = slots_.size() - 1;
    for (std::size_t i = h & mask;; i = (i + 1) & mask) {
      const Slot& s = slots_[i];
      if (s.entry == 0 || (s.hash == tag && entries_[s.entry - 1].first == key)) return i;
    }
  }
  void Put(const std::string& key, const std::string& chart) {
    longest_ = std::max(longest_, chart.size());
    const std::uint64_t h = Hash(key);
    Slot& slot = slots_[Find(key, h)];
    if (slot.entry != 0) {
      entries_[slot.entry - 1].second = chart;  // a later line wins
      return;
    }
    entries_.emplace_back(key, chart);
    slot = {static_cast<std::uint32_t>(h), static_cast<std::uint32_t>(entries_.size())};
    // Filled to three quarters at most: a small table stays in the cache.
    if (4 * entries_.size() > 3 * slots_.size()) Rehash(2 * slots_.size());
  }
  void Rehash(std::size_t size) {
    slots_.assign(size, Slot{});
    for (std::size_t e = 0; e < entries_.size(); ++e) {
      const std::uint64_t h = Hash(entries_[e].first);
      slots_[Find(entries_[e].first, h)] = {static_cast<std::uint32_t>(h),
                                            static_cast<std::uint32_t>(e + 1)};
    }
  }
  std::vector<Slot> slots_;
  std::vector<std::pair<std::string, std::string>> entries_;
  std::size_t longest_ = 0;
  DataIdMap wide_;
};

// Encoded once: the header lines written by the conversions.
const std::string& NumberedHeaderBytes() {
  static const std::string bytes = Cp932Encode(NumberedHeaderLine());
  return bytes;
}

const std::string& LongHeaderBytes() {
  static const std::string bytes = Cp932Encode(LongHeaderLine());
  return bytes;
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
      s.lines = LoadFirstLines(PathFromText(path), 2);
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

void ConvertTSVtoCSV_Reorder(const fs::path& input, const fs::path& output,
                             const std::array<int, kNumberedColumnCount>& order) {
  RawLineStream in(input);
  AtomicFile out(output);
  RawFields fields;
  std::string row;
  std::string_view line;
  bool first = true;
  while (in.Next(line)) {
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
        if (fields.ascii(at)) {
          row += ChkStdAscii(field, p);
        } else {
          Cp932EncodeAppend(ChkStd(Cp932Decode(field), p), row);
        }
      }
    }
    row += kCrLf;
    out.Write(row);
  }
  out.Commit();
}

void ConvertNewFmt(const fs::path& input, const fs::path& output, const fs::path& recelist) {
  static_assert(RawLineStream::kReadSlack >= RowBuffer::kSlack + 8);
  const CarteLookup charts(recelist);
  RawLineStream in(input);
  AtomicFile out(output);
  RowBuffer rows(out);
  const auto& columnMap = LongColumnMap();
  // The long-header columns that have a source, in order: the field that
  // fills each (fixed by the header), its rule, and the commas before it.
  enum class Kind : std::uint8_t { kCopy, kRule, kCarte, kDate };
  struct Column {
    int c = 0;
    std::size_t source = 0;
    std::size_t commas = 0;
    Kind kind = Kind::kCopy;
    FieldRule rule;
  };
  std::vector<Column> columns;
  std::size_t trailingCommas = kLongColumnCount - 1;
  // The most columns that take the same field: with the line's length it
  // bounds a row's bytes.
  std::size_t maxUse = 1;
  RawFields fields;
  Text decoded;
  std::string encoded;
  std::string key;
  std::string_view line;
  if (in.Next(line)) {
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
      const NewRule& rule = ChkStdNewRule(c);
      col.rule = FieldRule(rule);
      col.kind = c == 0                     ? Kind::kCarte
                 : c == 2                   ? Kind::kDate
                 : rule.op == NewOp::Always ? Kind::kCopy
                                            : Kind::kRule;
      columns.push_back(col);
    }
    trailingCommas = static_cast<std::size_t>(kLongColumnCount - 1 - previous);
    std::vector<std::size_t> sources;
    for (const Column& col : columns) sources.push_back(col.source);
    fields.Want(sources);
    rows.Append(LongHeaderBytes());
    rows.Append(kCrLf);
  }
  // Bytes a row may add to its fields: commas, line break, "01" of the
  // date, a chart number that is longer than its data identification number.
  const std::size_t rowExtra = kLongColumnCount + kCrLf.size() + 2 + 24 + charts.LongestChart();
  while (in.Next(line)) {
    if (IsBlankBytes(line)) continue;
    // The line is followed by readable slack: fields are read and moved in
    // fixed-size pieces.
    fields.Split(line);
    const std::size_t bound = maxUse * line.size() + rowExtra;
    char* o = rows.Room(bound);
    for (const Column& col : columns) {
      o = PutCommas(o, col.commas);
      if (col.source >= fields.size()) continue;
      const std::string_view field = fields.field(col.source);
      if (!fields.ascii(col.source)) {
        // A value that passes whatever its characters, and whose bytes
        // decode and encode back to themselves, is written as it is.
        if ((col.kind == Kind::kCopy || col.kind == Kind::kRule) &&
            col.rule.KeepsAnyCharacters(field.size()) && RoundTrips(field)) {
          o = PutPadded(o, field);
          continue;
        }
        // Otherwise the field as text, as the rules are written.
        decoded.clear();
        Cp932DecodeAppend(field, decoded);
        encoded.clear();
        if (col.kind == Kind::kCarte) {
          Cp932EncodeAppend(ConvCarte(decoded, charts.wide()), encoded);
        } else if (col.kind == Kind::kDate) {
          Text date = Trim(decoded);
          if (date.size() == 6) date += u"01";
          Cp932EncodeAppend(ChkStdNew(date, col.c), encoded);
        } else {
          Cp932EncodeAppend(ChkStdNew(decoded, col.c), encoded);
        }
        rows.Done(o);
        rows.Append(encoded);
        o = rows.Room(bound);
        continue;
      }
      switch (col.kind) {
        case Kind::kCopy:
          o = PutPadded(o, field);
          break;
        case Kind::kRule:
          if (col.rule.Keeps(field)) o = PutPadded(o, field);
          break;
        case Kind::kCarte:
          o = Put(o, charts.ConvCarte(field, key));
          break;
        case Kind::kDate: {
          const std::string_view t = TrimBytes(field);
          if (t.size() == 6) {
            char date[8 + RowBuffer::kSlack] = {};
            std::memcpy(date, t.data(), 6);
            date[6] = '0';
            date[7] = '1';
            if (col.rule.Keeps({date, 8})) o = Put(o, {date, 8});
          } else if (col.rule.Keeps(t)) {
            o = Put(o, t);
          }
          break;
        }
      }
    }
    o = PutCommas(o, trailingCommas);
    o = Put(o, kCrLf);
    rows.Done(o);
  }
  rows.Flush();
  out.Commit();
}

RunResult Conv2(const Env& env, TextView pstFile, TextView mstNgt) {
  RunResult result;
  if (IsBlank(pstFile)) {
    result.Error(
        T("変換前ファイルが選択されていません。先に「変換前ファイル選択」でファイルを選んでください"
          "。"));
    result.stopped = true;
    return result;
  }
  try {
    const fs::path input = PathFromText(pstFile);
    const Text name = SafeFileName(CarteFileName(mstNgt));
    const fs::path target = env.ProgramFile(PathFromText(name));
    if (ToInt32Def(Trim(mstNgt), 0) >= kItemCodeFrom) {
      ConvertNewFmt(input, target, env.nivaFf1Dir / "recelist.csv");
    } else {
      const fs::path stale = env.ProgramFile("output.tsv");
      if (FileExists(stale)) RemoveFile(stale);
      ConvertTSVtoCSV_Reorder(input, target, NumberedOrder());
    }
    result.HandOver(target, name);
  } catch (const OpError& e) {
    result.Error(e.text());
    result.stopped = true;
  }
  return result;
}

void BlankSecondColumn(const fs::path& input, const fs::path& output) {
  RawLineStream in(input);
  AtomicFile out(output);
  std::string_view line;
  std::string bytes;
  bool first = true;
  while (in.Next(line)) {
    bytes.clear();
    Text text = Cp932Decode(line);
    if (!first) {
      FieldList fields = SplitTab(text);
      if (fields.size() >= 2) {
        fields[1].clear();
        text.clear();
        for (std::size_t i = 0; i < fields.size(); ++i) {
          if (i) text += u'\t';
          text += fields[i];
        }
      }
    }
    first = false;
    Cp932EncodeAppend(text, bytes);
    bytes += kCrLf;
    out.Write(bytes);
  }
  out.Commit();
}

Text AnonymizedName(TextView inputPath) {
  const Text name = PathText(PathFromText(inputPath).filename());
  return ReplaceAll(name, u".txt", u"ano.txt");
}

RunResult Anonymize(const Env& env, TextView pstFile) {
  RunResult result;
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
    BlankSecondColumn(input, target);
    result.HandOver(target, name);
  } catch (const OpError& e) {
    result.Error(e.text());
    result.stopped = true;
  }
  return result;
}

}  // namespace tavo::linkage
