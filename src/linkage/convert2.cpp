#include "linkage/convert2.h"

#include <bit>
#include <cstdint>
#include <cstring>
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

// A line split at TAB in one pass, noting which fields are plain ASCII.
class RawFields {
 public:
  void Split(std::string_view line) {
    count_ = 0;
    if (line.empty()) return;
    if (parts_.size() < line.size() + 1) parts_.resize(line.size() + 1);
    base_ = line.data();
    const std::size_t n = line.size();
    std::size_t start = 0;
    std::uint64_t high = 0;  // high bits of the current field's bytes
    std::size_t i = 0;
    // Eight bytes at a time: exact masks of the TAB bytes and the bytes >= 0x80.
    constexpr std::uint64_t k7f = 0x7F7F7F7F7F7F7F7Full;
    constexpr std::uint64_t k80 = 0x8080808080808080ull;
    constexpr std::uint64_t kTab = 0x0909090909090909ull;
    for (; i + 8 <= n; i += 8) {
      std::uint64_t w;
      std::memcpy(&w, base_ + i, 8);
      w = LittleEndian(w);
      const std::uint64_t x = w ^ kTab;
      std::uint64_t tabs = ~(((x & k7f) + k7f) | x | k7f);
      const std::uint64_t hi = w & k80;
      std::uint64_t from = ~std::uint64_t{0};  // bytes of the word inside the current field
      while (tabs) {
        const int k = Ctz(tabs) >> 3;
        const std::uint64_t before = k == 0 ? 0 : (~std::uint64_t{0} >> (64 - 8 * k));
        high |= hi & before & from;
        Add(start, i + static_cast<std::size_t>(k), high == 0);
        start = i + static_cast<std::size_t>(k) + 1;
        high = 0;
        from = k == 7 ? 0 : (~std::uint64_t{0} << (8 * (k + 1)));
        tabs &= tabs - 1;
      }
      high |= hi & from;
    }
    for (; i < n; ++i) {
      const auto c = static_cast<unsigned char>(base_[i]);
      if (c == '\t') {
        Add(start, i, high == 0);
        start = i + 1;
        high = 0;
      } else {
        high |= c & 0x80u;
      }
    }
    Add(start, n, high == 0);
  }
  std::size_t size() const { return count_; }
  std::string_view field(std::size_t i) const {
    return {base_ + parts_[i].offset, parts_[i].length};
  }
  bool ascii(std::size_t i) const { return parts_[i].ascii; }

 private:
  static std::uint64_t LittleEndian(std::uint64_t w) {
    if constexpr (std::endian::native == std::endian::big) {
      std::uint64_t r = 0;
      for (int b = 0; b < 8; ++b) r |= ((w >> (8 * b)) & 0xFF) << (8 * (7 - b));
      return r;
    }
    return w;
  }
  static int Ctz(std::uint64_t v) { return std::countr_zero(v); }
  void Add(std::size_t from, std::size_t to, bool ascii) {
    parts_[count_++] = {from, to - from, ascii};
  }
  struct Part {
    std::size_t offset;
    std::size_t length;
    bool ascii;
  };
  std::vector<Part> parts_;
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
  RawLineStream in(input);
  AtomicFile out(output);
  const auto& columnMap = LongColumnMap();
  // Source field of every long-header column, -1 for none; fixed by the header.
  std::array<int, kLongColumnCount> source{};
  source.fill(-1);
  RawFields fields;
  std::string row;
  std::string_view line;
  if (in.Next(line)) {
    std::unordered_map<Text, int> header;  // later fields win
    const FieldList names = SplitTab(Cp932Decode(line));
    for (std::size_t i = 0; i < names.size(); ++i) {
      header[UpperAscii(Trim(names[i]))] = static_cast<int>(i);
    }
    for (int c = 0; c < kLongColumnCount; ++c) {
      const int pos = columnMap[static_cast<std::size_t>(c)];
      if (pos < 0) continue;
      const std::string_view code = CodeAt(pos);
      const auto it = header.find(Text(code.begin(), code.end()));
      source[static_cast<std::size_t>(c)] = it != header.end() ? it->second : pos;
    }
    out.Write(LongHeaderBytes());
    out.Write(kCrLf);
  }
  while (in.Next(line)) {
    if (IsBlankBytes(line)) continue;
    fields.Split(line);
    row.clear();
    for (int c = 0; c < kLongColumnCount; ++c) {
      if (c) row += ',';
      const int src = source[static_cast<std::size_t>(c)];
      if (src < 0 || static_cast<std::size_t>(src) >= fields.size()) continue;
      const std::string_view field = fields.field(static_cast<std::size_t>(src));
      const bool ascii = fields.ascii(static_cast<std::size_t>(src));
      if (c == 0) {
        Cp932EncodeAppend(ConvCarte(Cp932Decode(field), map), row);
      } else if (c == 2) {
        if (ascii) {
          std::string date(TrimBytes(field));
          if (date.size() == 6) date += "01";
          if (ChkStdNewKeepsAscii(date, c)) row += date;
        } else {
          Text date = Trim(Cp932Decode(field));
          if (date.size() == 6) date += u"01";
          Cp932EncodeAppend(ChkStdNew(date, c), row);
        }
      } else if (ascii) {
        if (ChkStdNewKeepsAscii(field, c)) row += field;
      } else {
        Cp932EncodeAppend(ChkStdNew(Cp932Decode(field), c), row);
      }
    }
    row += kCrLf;
    out.Write(row);
  }
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
