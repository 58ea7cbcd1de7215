#include "ff1/ff1_build.h"

#include <algorithm>
#include <cstdint>
#include <string_view>
#include <unordered_map>

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

TextView TrimView(TextView t) {
  std::size_t b = 0, e = t.size();
  while (b < e && t[b] <= 0x20) ++b;
  while (e > b && t[e - 1] <= 0x20) --e;
  return t.substr(b, e - b);
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
  if (posHeader < 0 || posCode < 0 || posPayload < 0)
    throw OpError(T("仕様CSVの1行目に「ヘッダー名/コード/ペイロード番号」が見つかりません。"));

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

Text MakeCSVLine(const std::vector<Text>& cols) {
  Text line;
  for (std::size_t i = 0; i < cols.size(); ++i) {
    if (i > 0) line.push_back(u',');
    for (char16_t c : cols[i])
      if (c != u'"') line.push_back(c);
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
                                        TextView YearMonthText) {
  CheckYearMonthText(YearMonthText);
  const SpecCSV spec = LoadSpecCSV(SpecCsvPath);

  // Merged file: Shift_JIS, or UTF-8 when it starts with the byte-order mark.
  const bool utf8 = DetectEncodingFromFile(MergedFF1Path) == FF1Encoding::UTF8;

  // Only the output rows are kept: one per data id.
  RowTable table(Text(YearMonthText) + u"01");
  bool headerSeen = false;
  Text line, key;
  std::vector<TextView> f;
  ForEachLineOfFile(MergedFF1Path, utf8 ? 3 : 0, [&](std::uint64_t, std::string_view raw) {
    line.clear();
    if (utf8)
      line = FromUtf8(raw);
    else
      Cp932DecodeAppend(raw, line);
    if (IsBlank(line)) return;
    if (!headerSeen) {
      headerSeen = true;
      return;
    }
    // Fields as views into the line (cut at every TAB, as SplitTSV).
    f.clear();
    for (std::size_t start = 0;;) {
      const std::size_t tab = line.find(u'\t', start);
      if (tab == Text::npos) {
        f.push_back(TextView(line).substr(start));
        break;
      }
      f.push_back(TextView(line).substr(start, tab - start));
      start = tab + 1;
    }
    if (f.size() < 5) return;
    const TextView dataId = TrimView(f[1]);
    const std::int32_t ym = ToInt32Def(TrimView(f[2]), 0);
    const TextView code = TrimView(f[3]);
    if (dataId.empty() || code.empty() || ym == 0) return;
    TOutputRow& row = table.EnsureRow(dataId, ym);
    for (int p = 1; p <= 9; ++p) {
      const std::size_t at = static_cast<std::size_t>(4 + p);
      if (at >= f.size()) break;
      const TextView value = TrimView(f[at]);
      if (value.empty()) continue;
      key.assign(code);
      key.push_back(u'|');
      key.push_back(static_cast<char16_t>(u'0' + p));
      const auto it = spec.MapCodePayloadToIndex.find(key);
      if (it == spec.MapCodePayloadToIndex.end()) continue;
      if (it->second >= 0 && it->second < kColumnCount) row.Cols[it->second].assign(value);
    }
  });

  std::vector<Text> out;
  out.push_back(MakeCSVLine(spec.Headers));
  for (const TOutputRow* r : table.Sorted()) out.push_back(MakeCSVLine(r->Cols));
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
      if (i > 0 && !IsBlank(line)) writeLine(mapped(line));
      return true;
    });
  }
  file.Commit();
  return target;
}

}  // namespace tavo::ff1
