#include "ff1/ff1_link.h"

#include <algorithm>
#include <exception>

#include "core/errors.h"
#include "core/files.h"
#include "ff1/ff1_build.h"
#include "ff1/ff1_merge.h"

namespace tavo::ff1 {

namespace {

bool IsDelimiter(char16_t c) {
#ifdef _WIN32
  return c == u'\\' || c == u'/';
#else
  return c == u'/';
#endif
}

void RemoveQuietly(const fs::path& file) {
  if (FileExists(file)) RemoveFile(file);
}

bool IsAsciiDigit(char16_t c) { return c >= u'0' && c <= u'9'; }

// Six ASCII digits YYYYMM, the month from 01 to 12.
bool IsYearMonth(TextView t) {
  if (t.size() != 6 || !std::all_of(t.begin(), t.end(), IsAsciiDigit)) return false;
  const int month = (t[4] - u'0') * 10 + (t[5] - u'0');
  return month >= 1 && month <= 12;
}

Text Number(std::size_t n) { return IntToText(static_cast<std::int64_t>(n)); }

void CountRun(const MergeCounts& merged, const BuildCounts& built, RunResult& result) {
  result.Count(T("FF1ファイル") + Number(merged.files.size()) + T("件の") + Number(merged.rows) +
               T("行を、患者") + Number(merged.patients) + T("人の最新月の") + Number(merged.kept) +
               T("行にまとめました"));
  Text written = Number(built.rows + built.appended) + T("行を書き込みました");
  if (built.appended > 0) written += T("（追記ファイルから") + Number(built.appended) + T("行）");
  result.Count(written);
  if (built.widened > 0)
    result.Count(T("カンマを全角に置換した値: ") + Number(built.widened) + T("件"));
}

}  // namespace

Text WithFinalDelimiter(TextView dir) {
  Text out(dir);
  if (out.empty() || !IsDelimiter(out.back()))
    out.push_back(static_cast<char16_t>(fs::path::preferred_separator));
  return out;
}

RunResult RunFF1Link(const FF1LinkParams& params) {
  RunResult result;
  const Text yearMonth = Trim(params.YearMonth);
  std::vector<fs::path> inputs{params.SpecCsv};
  if (!params.AppendCsv.empty()) inputs.push_back(params.AppendCsv);
  result.Describe(T("FF1連携"), T("該当年月 ") + yearMonth, std::move(inputs));
  if (yearMonth.empty()) {
    result.Info(T("連携ファイル該当年月を入力してください"));
    return result;
  }
  if (!IsYearMonth(yearMonth)) {
    result.Warn(T("連携ファイル該当年月は6桁の年月で入力してください（例：202405）"));
    return result;
  }
  const Text inDir = WithFinalDelimiter(params.InDir);
  const fs::path merged = PathFromText(inDir + FromUtf8(kMergedFileName));
  // An old merged file matches the input mask: it goes before the folder is listed.
  RemoveQuietly(merged);
  try {
    MergeCounts mergeCounts;
    MergeFF1Latest(PathFromText(inDir), merged, &mergeCounts);
    result.inputs.insert(result.inputs.end(), mergeCounts.files.begin(), mergeCounts.files.end());
    BuildCounts built;
    const fs::path written = BuildEHRCSV_FromFF1_andSpecCSV(merged, params.SpecCsv, params.OutDir,
                                                            params.AppendCsv, yearMonth, &built);
    if (!built.recelist.empty()) result.inputs.push_back(built.recelist);
    result.written.push_back(written);
    result.Info(T("電カル連携ファイルが作成されました"));
    if (built.recelist.empty())
      result.Info(
          T("recelist.csv が見つからないため、カルテ番号の列にはデータ識別番号を入れました"));
    CountRun(mergeCounts, built, result);
  } catch (const OpError& e) {
    result.Info(T("エラーが発生しました:") + e.text());
    result.stopped = true;
  } catch (const std::exception& e) {
    result.Info(T("エラーが発生しました:") + FromUtf8(e.what()));
    result.stopped = true;
  }
  RemoveQuietly(merged);
  return result;
}

}  // namespace tavo::ff1
