#include "ff1/ff1_build.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <string_view>
#include <unordered_map>

#include "core/bytes.h"
#include "core/comma.h"
#include "core/cp932.h"
#include "core/errors.h"
#include "core/files.h"
#include "ff1/ff1_io.h"
#include "ff1/ff1_merge.h"

namespace tavo::ff1 {

namespace {

const char* const kRecelistName = "recelist.csv";

// Every comma splits; quotes are ordinary characters.
FieldList SplitComma(TextView line) {
  FieldList fields;
  std::size_t start = 0;
  while (true) {
    const std::size_t comma = line.find(u',', start);
    if (comma == TextView::npos) {
      fields.emplace_back(line.substr(start));
      return fields;
    }
    fields.emplace_back(line.substr(start, comma - start));
    start = comma + 1;
  }
}

std::vector<Text> ReadLinesSjis(const fs::path& path) {
  if (FolderExists(path)) ThrowOpenError(path);
  return SplitLinesAnyEnd(Cp932Decode(ReadFileBytes(path)));
}

// Calls fn(index, line) for each line of a Shift_JIS file, read line by line,
// until fn returns false.
template <typename Fn>
void ForEachLineSjis(const fs::path& path, Fn&& fn) {
  AnyEndLineReader reader(path, AnyEndLineReader::Marks::kCp932);
  Text line;
  for (std::size_t i = 0; reader.Next(line); ++i)
    if (!fn(i, line)) return;
}

// The line and CR LF in code page 932 (`bytes` is scratch space).
void WriteLineCP932Lossy(AtomicFile& out, TextView line, std::string& bytes) {
  bytes = Cp932Encode(line);
  bytes += "\r\n";
  out.Write(bytes);
}

void CreateFolder(const fs::path& folder, const fs::path& forFile) {
  if (folder.empty() || FolderExists(folder)) return;
  std::error_code ec;
  fs::create_directories(folder, ec);
  if (ec) ThrowWriteError(forFile, ec.message());
}

class RowTable {
 public:
  explicit RowTable(Text dateText) : date_(std::move(dateText)) {}

  TOutputRow& EnsureRow(TextView DataId, std::int32_t YearMonth) {
    // A patient's lines mostly follow each other.
    if (!rows_.empty() && rows_[last_].DataId == DataId) return rows_[last_];
    lookup_.assign(DataId);
    const auto it = index_.find(lookup_);
    if (it != index_.end()) {
      last_ = it->second;
      return rows_[last_];
    }
    TOutputRow row;
    row.DataId.assign(DataId);
    row.YearMonth = YearMonth;
    row.Cols.assign(kColumnCount, Text());
    row.Cols[0].assign(DataId);
    row.Cols[2] = date_;
    last_ = rows_.size();
    index_.emplace(lookup_, last_);
    rows_.push_back(std::move(row));
    return rows_.back();
  }

  // Rows in data-id order (UTF-16 code units, letter case significant).
  std::vector<const TOutputRow*> Sorted() const {
    std::vector<const TOutputRow*> out;
    out.reserve(rows_.size());
    for (const auto& r : rows_) out.push_back(&r);
    std::sort(out.begin(), out.end(),
              [](const TOutputRow* a, const TOutputRow* b) { return a->DataId < b->DataId; });
    return out;
  }

 private:
  Text date_;
  std::unordered_map<Text, std::size_t> index_;
  std::vector<TOutputRow> rows_;
  std::size_t last_ = 0;
  Text lookup_;
};

// MapCodePayloadToIndex by item code: for each code, the column of each
// payload number 1 to 9 (-1 for none), so that a line looks its code up once.
class ColumnsByCode {
 public:
  using Columns = std::array<int, 10>;

  explicit ColumnsByCode(const SpecCSV& spec) {
    for (const auto& [key, column] : spec.MapCodePayloadToIndex) {
      // Every key ends in "|" and one digit: the payload numbers are 1 to 9.
      auto [it, added] = byCode_.try_emplace(key.substr(0, key.size() - 2));
      if (added) it->second.fill(-1);
      it->second[static_cast<std::size_t>(key.back() - u'0')] = column;
    }
  }

  const Columns* Find(const Text& code) const {
    const auto it = byCode_.find(code);
    return it == byCode_.end() ? nullptr : &it->second;
  }

 private:
  std::unordered_map<Text, Columns> byCode_;
};

// Fields 1 to 14 of an FF1 line: up to the ninth payload.
constexpr std::size_t kFieldsRead = 14;

// The first kFieldsRead fields of a line cut at every TAB; returns how many
// there are (kFieldsRead when there are more).
std::size_t SplitLeadingFields(std::string_view line, std::string_view (&f)[kFieldsRead]) {
  std::size_t n = 0;
  for (std::size_t start = 0; n < kFieldsRead;) {
    const std::size_t tab = line.find('\t', start);
    f[n++] = line.substr(start, tab == std::string_view::npos ? tab : tab - start);
    if (tab == std::string_view::npos) break;
    start = tab + 1;
  }
  return n;
}

}  // namespace

FieldList ParseCSV(TextView line) {
  FieldList out;
  Text field;
  bool quoted = false;
  for (std::size_t i = 0; i < line.size(); ++i) {
    const char16_t c = line[i];
    if (c == u'"') {
      if (quoted && i + 1 < line.size() && line[i + 1] == u'"') {
        field.push_back(u'"');
        ++i;
      } else {
        quoted = !quoted;
      }
    } else if (c == u',' && !quoted) {
      out.push_back(std::move(field));
      field.clear();
    } else {
      field.push_back(c);
    }
  }
  out.push_back(std::move(field));
  return out;
}

std::int32_t ExtractIndexFromBracket(TextView text) {
  const std::size_t p1 = text.find(u'[');
  const std::size_t p2 = text.find(u']');
  if (p1 == TextView::npos || p2 == TextView::npos || p2 <= p1) return -1;
  return ToInt32Def(Trim(text.substr(p1 + 1, p2 - p1 - 1)), -1);
}

SpecCSV LoadSpecCSV(const fs::path& SpecCsvPath) {
  SpecCSV spec;
  spec.Headers.reserve(kColumnCount);
  for (int i = 0; i < kColumnCount; ++i) spec.Headers.push_back(u"[" + IntToText(i) + u"]");

  const std::vector<Text> lines = ReadLinesSjis(SpecCsvPath);
  if (lines.empty()) throw OpError(T("仕様CSVが空です。"));

  const Text titleHeader = T("ヘッダー名称");
  const Text titleCode = T("コード");
  const Text titlePayload = T("ペイロード番号");
  long posHeader = -1, posCode = -1, posPayload = -1;
  const FieldList titles = ParseCSV(lines[0]);
  for (std::size_t i = 0; i < titles.size(); ++i) {
    const Text t = Trim(titles[i]);
    if (SameTextAscii(t, titleHeader)) posHeader = static_cast<long>(i);
    if (SameTextAscii(t, titleCode)) posCode = static_cast<long>(i);
    if (SameTextAscii(t, titlePayload)) posPayload = static_cast<long>(i);
  }
  if (posHeader < 0 || posCode < 0 || posPayload < 0) {
    // Excel's "CSV UTF-8" starts with the mark; read as Shift_JIS no title matches.
    if (DetectEncodingFromFile(SpecCsvPath) == FF1Encoding::UTF8)
      throw OpError(
          T("仕様CSVがUTF-8で保存されています。Excelで「CSV (コンマ区切り)」"
            "（Shift_JIS）を選んで保存し直してください。"));
    throw OpError(
        T("仕様CSVの1行目に「ヘッダー名称」「コード」「ペイロード番号」の"
          "3つの列名が見つかりません。"));
  }

  for (std::size_t li = 1; li < lines.size(); ++li) {
    if (IsBlank(lines[li])) continue;
    const FieldList f = ParseCSV(lines[li]);
    const Text name = Trim(f[0]);
    const std::int32_t n = ExtractIndexFromBracket(name);
    if (n < 0 || n >= kColumnCount) continue;
    spec.Headers[n] = name;
    if (static_cast<std::size_t>(posCode) < f.size() &&
        static_cast<std::size_t>(posPayload) < f.size()) {
      const Text code = Trim(f[posCode]);
      const std::int32_t payload = ToInt32Def(Trim(f[posPayload]), 0);
      if (!code.empty() && payload >= 1 && payload <= 9)
        spec.MapCodePayloadToIndex[code + u"|" + IntToText(payload)] = n;
    }
  }
  return spec;
}

Text MakeCSVLine(const std::vector<Text>& cols, std::size_t* widened) {
  Text line;
  Text value;
  for (std::size_t i = 0; i < cols.size(); ++i) {
    if (i > 0) line.push_back(u',');
    if (cols[i].find(u',') == Text::npos) {
      for (char16_t c : cols[i])
        if (c != u'"') line.push_back(c);
      continue;
    }
    value.clear();
    for (char16_t c : cols[i])
      if (c != u'"') value.push_back(c);
    WidenCommas(value);
    if (widened) ++*widened;
    line += value;
  }
  return line;
}

std::string Utf16ToCP932BytesLossy(TextView text) { return Cp932Encode(text); }

void SaveStringListAsCP932Lossy(const std::vector<Text>& lines, const fs::path& fileName) {
  CreateFolder(fileName.parent_path(), fileName);
  AtomicFile out(fileName);
  std::string bytes;
  for (const Text& line : lines) WriteLineCP932Lossy(out, line, bytes);
  out.Commit();
}

void CheckYearMonthText(TextView YearMonthText) {
  for (char16_t c : YearMonthText) {
    if (c < 0x20 || c == u'\\' || c == u'/' || c == u':' || c == u'*' || c == u'?' || c == u'"' ||
        c == u'<' || c == u'>' || c == u'|')
      throw OpError(T("連携ファイル該当年月にファイル名に使えない文字が含まれています：") +
                    Text(YearMonthText));
  }
}

Text FF1AllFileName(TextView YearMonthText) { return Text(YearMonthText) + u"_ff1all.csv"; }

fs::path BuildEHRCSV_FromFF1_andSpecCSV(const fs::path& MergedFF1Path, const fs::path& SpecCsvPath,
                                        const fs::path& OutDir, const fs::path& AppendCsvPath,
                                        TextView YearMonthText, BuildCounts* counts) {
  CheckYearMonthText(YearMonthText);
  const SpecCSV spec = LoadSpecCSV(SpecCsvPath);

  // Merged file: Shift_JIS, or UTF-8 when it starts with the byte-order mark.
  const bool utf8 = DetectEncodingFromFile(MergedFF1Path) == FF1Encoding::UTF8;

  // Only the output rows are kept: one per data id.
  RowTable table(Text(YearMonthText) + u"01");
  const ColumnsByCode columns(spec);
  // The line is cut and trimmed on its bytes (ff1_scan.h); only the values
  // taken are decoded.
  auto decode = [utf8](std::string_view bytes, Text& out) {
    out.clear();
    if (utf8)
      out = FromUtf8(bytes);
    else
      Cp932DecodeAppend(bytes, out);
  };
  bool firstSeen = false;
  std::string lastId, lastCode;
  Text dataId, code;
  const ColumnsByCode::Columns* codeColumns = nullptr;
  std::string_view f[kFieldsRead];
  ForEachLineOfFile(MergedFF1Path, utf8 ? 3 : 0, [&](std::uint64_t, std::string_view line) {
    if (IsBlankBytes(line)) return;
    // The merge writes a header line first only when an FF1 file had one.
    if (!firstSeen) {
      firstSeen = true;
      Text first;
      decode(line, first);
      if (IsHeaderLine(first)) return;
    }
    const std::size_t n = SplitLeadingFields(line, f);
    if (n < 5) return;
    const std::string_view idBytes = TrimBytes(f[1]);
    const std::string_view codeBytes = TrimBytes(f[3]);
    std::int32_t ym = 0;
    if (idBytes.empty() || codeBytes.empty() || !ParseInt32Bytes(TrimBytes(f[2]), ym) || ym == 0)
      return;
    // A patient's lines follow each other: decode what changed.
    if (idBytes != lastId || dataId.empty()) {
      lastId.assign(idBytes);
      decode(idBytes, dataId);
    }
    if (codeBytes != lastCode || code.empty()) {
      lastCode.assign(codeBytes);
      decode(codeBytes, code);
      codeColumns = columns.Find(code);
    }
    TOutputRow& row = table.EnsureRow(dataId, ym);
    if (codeColumns == nullptr) return;
    for (std::size_t p = 1; p <= 9 && 4 + p < n; ++p) {
      const int c = (*codeColumns)[p];
      if (c < 0 || c >= kColumnCount) continue;
      const std::string_view value = TrimBytes(f[4 + p]);
      if (!value.empty()) decode(value, row.Cols[static_cast<std::size_t>(c)]);
    }
  });

  BuildCounts built;
  std::vector<Text> out;
  out.push_back(MakeCSVLine(spec.Headers, &built.widened));
  for (const TOutputRow* r : table.Sorted()) out.push_back(MakeCSVLine(r->Cols, &built.widened));
  built.rows = out.size() - 1;
  table = RowTable(Text());

  Text baseDate;
  if (out.size() > 1) {
    const FieldList f = SplitComma(out[1]);
    if (f.size() >= 3) baseDate = Trim(f[2]);
  }

  // The additional file is read twice, never held: once for its date, once
  // while writing.
  const bool append = !AppendCsvPath.empty() && FileExists(AppendCsvPath);
  if (append) {
    Text addDate;
    ForEachLineSjis(AppendCsvPath, [&](std::size_t i, const Text& line) {
      if (i == 0 || IsBlank(line)) return true;
      const FieldList f = SplitComma(line);
      if (f.size() < 3) return true;
      addDate = Trim(f[2]);
      return false;
    });
    if (!baseDate.empty() && !addDate.empty() && baseDate != addDate)
      throw OpError(T("追記ファイルの診療年月日が異なります。元ファイル=") + baseDate +
                    T(", 追記ファイル=") + addDate);
  }

  const fs::path recelist = MergedFF1Path.parent_path() / kRecelistName;
  const bool haveRecelist = FileExists(recelist);
  std::unordered_map<Text, Text> RecMap;
  if (haveRecelist) {
    ForEachLineSjis(recelist, [&](std::size_t, const Text& rec) {
      if (IsBlank(rec)) return true;
      const FieldList f = SplitComma(rec);
      if (f.size() < 5) return true;
      RecMap[Trim(f[4])] = Trim(f[0]);
      return true;
    });
  }
  // A line's first field becomes the chart number recelist.csv gives its data id.
  auto mapped = [&](const Text& l) -> Text {
    if (!haveRecelist || IsBlank(l)) return l;
    const std::size_t comma = l.find(u',');
    const auto it = RecMap.find(l.substr(0, comma));
    if (it == RecMap.end()) return l;
    return it->second + (comma == Text::npos ? Text() : l.substr(comma));
  };

  CreateFolder(OutDir, OutDir);
  const fs::path target = OutDir / PathFromText(FF1AllFileName(YearMonthText));
  CreateFolder(target.parent_path(), target);
  AtomicFile file(target);
  std::string bytes;
  auto writeLine = [&](const Text& line) { WriteLineCP932Lossy(file, line, bytes); };
  for (std::size_t i = 0; i < out.size(); ++i) writeLine(i == 0 ? out[i] : mapped(out[i]));
  out = {};
  if (append) {
    ForEachLineSjis(AppendCsvPath, [&](std::size_t i, const Text& line) {
      if (i == 0 || IsBlank(line)) return true;
      writeLine(mapped(line));
      ++built.appended;
      return true;
    });
  }
  file.Commit();
  if (haveRecelist) built.recelist = recelist;
  if (counts) *counts = std::move(built);
  return target;
}

}  // namespace tavo::ff1
