#include "linkage/convert2.h"

#include <algorithm>
#include <bit>
#include <charconv>
#include <cstdint>
#include <cstring>
#include <limits>
#include <string>
#include <string_view>

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

// A line split at TAB in one pass, noting which fields hold a byte of 0x80 or
// more. Eight bytes at a time: a word of plain ASCII only needs its TABs found.
class RawFields {
 public:
  void Split(std::string_view line) {
    count_ = 0;
    if (line.empty()) return;
    base_ = line.data();
    const std::size_t n = line.size();
    const unsigned char* p = reinterpret_cast<const unsigned char*>(base_);
    // Room for the fields of the next eight bytes and the end mark; grown as
    // the fields come, so that memory follows the field count.
    std::size_t* starts = nullptr;
    unsigned char* high = nullptr;
    auto room = [&](std::size_t need) {
      if (starts_.size() < need) {
        starts_.resize(std::max(need, 2 * starts_.size()));
        high_.resize(starts_.size());
      }
      starts = starts_.data();
      high = high_.data();
    };
    room(16);
    std::size_t f = 0;  // the field being read
    starts[0] = 0;
    high[0] = 0;
    auto bytes = [&](std::size_t from, std::size_t to) {
      for (std::size_t j = from; j < to; ++j) {
        if (p[j] == '\t') {
          starts[++f] = j + 1;
          high[f] = 0;
        } else {
          high[f] |= p[j] & 0x80u;
        }
      }
    };
    constexpr std::uint64_t k7f = 0x7F7F7F7F7F7F7F7Full;
    constexpr std::uint64_t k80 = 0x8080808080808080ull;
    constexpr std::uint64_t kTab = 0x0909090909090909ull;
    std::size_t i = 0;
    for (; i + 8 <= n; i += 8) {
      if (f + 10 > starts_.size()) room(f + 10);
      std::uint64_t w;
      std::memcpy(&w, p + i, 8);
      w = LittleEndian(w);
      if (w & k80) {
        bytes(i, i + 8);
        continue;
      }
      // 0x80 in every byte that is a TAB, exact (no borrow between bytes).
      const std::uint64_t x = w ^ kTab;
      std::uint64_t tabs = ~(((x & k7f) + k7f) | x | k7f);
      while (tabs) {
        const auto at = i + static_cast<std::size_t>(std::countr_zero(tabs) >> 3) + 1;
        starts[++f] = at;
        high[f] = 0;
        tabs &= tabs - 1;
      }
    }
    room(f + 10);
    bytes(i, n);
    count_ = f + 1;
    starts[count_] = n + 1;  // one past the last field's end
  }
  std::size_t size() const { return count_; }
  std::string_view field(std::size_t i) const {
    return {base_ + starts_[i], starts_[i + 1] - starts_[i] - 1};
  }
  bool ascii(std::size_t i) const { return high_[i] == 0; }

 private:
  static std::uint64_t LittleEndian(std::uint64_t w) {
    if constexpr (std::endian::native == std::endian::big) {
      std::uint64_t r = 0;
      for (int b = 0; b < 8; ++b) r |= ((w >> (8 * b)) & 0xFF) << (8 * (7 - b));
      return r;
    }
    return w;
  }
  std::vector<std::size_t> starts_;
  std::vector<unsigned char> high_;
  std::size_t count_ = 0;
  const char* base_ = nullptr;
};

std::string_view TrimBytes(std::string_view v) {
  auto blank = [](char c) { return static_cast<unsigned char>(c) <= 0x20; };
  std::size_t b = 0, e = v.size();
  while (b < e && blank(v[b])) ++b;
  while (e > b && blank(v[e - 1])) --e;
  return v.substr(b, e - b);
}

// Row bytes gathered for the output file and handed on in large blocks (a
// block of at least the file's own buffer size goes straight to the disk).
class RowBuffer {
 public:
  // Bytes that may be read past a padded source and written past the end.
  static constexpr std::size_t kSlack = 16;

  explicit RowBuffer(AtomicFile& out) : out_(out), buf_(kFlushAt + (1 << 16)) {}
  void Put(char c) {
    Room(1);
    buf_[pos_++] = c;
  }
  void Append(std::string_view bytes) {
    Room(bytes.size());
    std::memcpy(buf_.data() + pos_, bytes.data(), bytes.size());
    pos_ += bytes.size();
  }
  // Same, for bytes followed by at least kSlack readable bytes: a short
  // field is moved in one fixed-size copy.
  void AppendPadded(std::string_view bytes) {
    if (bytes.size() > kSlack) return Append(bytes);
    Room(kSlack);
    std::memcpy(buf_.data() + pos_, bytes.data(), kSlack);
    pos_ += bytes.size();
  }
  void EndRow() {
    if (pos_ >= kFlushAt) Flush();
  }
  void Flush() {
    if (pos_) out_.Write({buf_.data(), pos_});
    pos_ = 0;
  }

 private:
  static constexpr std::size_t kFlushAt = 1 << 18;
  void Room(std::size_t n) {
    if (buf_.size() - pos_ < n + kSlack) buf_.resize(2 * buf_.size() + n + kSlack);
  }
  AtomicFile& out_;
  std::vector<char> buf_;
  std::size_t pos_ = 0;
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

// ConvCarte for a data identification number of ASCII bytes. Such a number
// normalises to ASCII, so only the list's ASCII keys can match it; their
// chart numbers are kept normalised and encoded.
class AsciiCarteMap {
 public:
  explicit AsciiCarteMap(const DataIdMap& map) {
    map_.reserve(map.size());
    for (const auto& [id, chart] : map) {
      bool ascii = true;
      for (char16_t ch : id) ascii = ascii && ch < 0x80;
      if (ascii) map_.emplace(std::string(id.begin(), id.end()), Cp932Encode(GetCarte(chart)));
    }
  }
  // The bytes to write; `key` is scratch space and may hold the result.
  std::string_view ConvCarte(std::string_view dataId, std::string& key) const {
    // Trimmed: no leading space is left for GetCarte to skip.
    const std::string_view t = TrimBytes(dataId);
    std::int64_t v = 0;
    if (ParseInt64(t, v) && v != 0) {
      char digits[24];
      const auto r = std::to_chars(digits, digits + sizeof digits, v);
      key.assign(digits, r.ptr);
    } else {
      key.assign(t);
    }
    const auto it = map_.find(key);
    if (it != map_.end()) return it->second;
    return key;
  }

 private:
  std::unordered_map<std::string, std::string> map_;
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

bool SameFile(const fs::path& a, const fs::path& b) {
  std::error_code ec;
  if (fs::exists(a, ec) && fs::exists(b, ec)) return fs::equivalent(a, b, ec);
  return fs::weakly_canonical(a, ec) == fs::weakly_canonical(b, ec);
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
  const DataIdMap map = LoadDataIdMap(recelist);
  const AsciiCarteMap asciiMap(map);
  RawLineStream in(input);
  AtomicFile out(output);
  RowBuffer rows(out);
  const auto& columnMap = LongColumnMap();
  // What every long-header column takes: its source field (-1 for none, fixed
  // by the header) and its rule.
  struct Column {
    int source = -1;
    NewRule rule;
  };
  std::array<Column, kLongColumnCount> columns{};
  RawFields fields;
  std::vector<char> padded;  // the line, with room for 16-byte moves past its end
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
    for (int c = 0; c < kLongColumnCount; ++c) {
      Column& col = columns[static_cast<std::size_t>(c)];
      col.rule = ChkStdNewRule(c);
      const int pos = columnMap[static_cast<std::size_t>(c)];
      if (pos < 0) continue;
      const std::string_view code = CodeAt(pos);
      const auto it = header.find(Text(code.begin(), code.end()));
      col.source = it != header.end() ? it->second : pos;
    }
    rows.Append(LongHeaderBytes());
    rows.Append(kCrLf);
  }
  while (in.Next(line)) {
    if (IsBlankBytes(line)) continue;
    if (padded.size() < line.size() + RowBuffer::kSlack)
      padded.resize(line.size() + RowBuffer::kSlack);
    std::memcpy(padded.data(), line.data(), line.size());
    fields.Split({padded.data(), line.size()});
    for (int c = 0; c < kLongColumnCount; ++c) {
      if (c) rows.Put(',');
      const Column& col = columns[static_cast<std::size_t>(c)];
      if (col.source < 0 || static_cast<std::size_t>(col.source) >= fields.size()) continue;
      const auto src = static_cast<std::size_t>(col.source);
      const std::string_view field = fields.field(src);
      if (!fields.ascii(src)) {
        // A byte of 0x80 or more: the field as text, as the rules are written.
        decoded.clear();
        Cp932DecodeAppend(field, decoded);
        encoded.clear();
        if (c == 0) {
          Cp932EncodeAppend(ConvCarte(decoded, map), encoded);
        } else if (c == 2) {
          Text date = Trim(decoded);
          if (date.size() == 6) date += u"01";
          Cp932EncodeAppend(ChkStdNew(date, c), encoded);
        } else {
          Cp932EncodeAppend(ChkStdNew(decoded, c), encoded);
        }
        rows.Append(encoded);
      } else if (c == 0) {
        rows.Append(asciiMap.ConvCarte(field, key));
      } else if (c == 2) {
        const std::string_view t = TrimBytes(field);
        char date[16];
        if (t.size() == 6) {
          std::memcpy(date, t.data(), 6);
          date[6] = '0';
          date[7] = '1';
          if (NewRuleKeepsAscii(col.rule, {date, 8})) rows.Append({date, 8});
        } else if (NewRuleKeepsAscii(col.rule, t)) {
          rows.Append(t);
        }
      } else if (NewRuleKeepsAscii(col.rule, field)) {
        rows.AppendPadded(field);
      }
    }
    rows.Append(kCrLf);
    rows.EndRow();
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
      std::error_code ec;
      if (FileExists(stale)) fs::remove(stale, ec);
      ConvertTSVtoCSV_Reorder(input, target, NumberedOrder());
    }
    result.written.push_back(target);
    result.gstFile1 = name;
    result.gstFile2.clear();
    result.gstMsg = name + T("が作成されました");
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
    result.written.push_back(target);
    result.gstFile1 = name;
    result.gstFile2.clear();
    result.gstMsg = name + T("が作成されました");
  } catch (const OpError& e) {
    result.Error(e.text());
    result.stopped = true;
  }
  return result;
}

}  // namespace tavo::linkage
