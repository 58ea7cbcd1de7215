#include "ff1/ff1_link.h"

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
  const Text inDir = WithFinalDelimiter(params.InDir);
  const fs::path merged = PathFromText(inDir + FromUtf8(kMergedFileName));
  // An old merged file matches the input mask: it goes before the folder is listed.
  RemoveQuietly(merged);
  try {
    CheckYearMonthText(yearMonth);
    MergeFF1Latest(PathFromText(inDir), merged);
    const fs::path written = BuildEHRCSV_FromFF1_andSpecCSV(merged, params.SpecCsv, params.OutDir,
                                                            params.AppendCsv, yearMonth);
    result.written.push_back(written);
    result.Info(T("電カル連携ファイルが作成されました"));
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
