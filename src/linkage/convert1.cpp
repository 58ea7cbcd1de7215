#include "linkage/convert1.h"

#include <cmath>
#include <cstdio>
#include <unordered_set>

#include "core/carte.h"
#include "core/comma.h"
#include "core/errors.h"
#include "core/files.h"
#include "linkage/formats.h"

namespace tavo::linkage {

namespace {

// Input positions of converter 1 and the row width it needs.
constexpr std::size_t kMinFields = 53;
constexpr std::size_t kChart = 0, kName = 1, kYearMonth = 3, kPostal = 5, kHeight = 6, kWeight = 7,
                      kHba1c = 22, kSystolic = 31, kDiastolic = 32, kLdl = 37, kUricAcid = 52;

// Whole-number part (toward zero) in decimal.
Text Truncated(double v) {
  const double t = std::trunc(v);
  if (std::fabs(t) < 9.0e18) return IntToText(static_cast<std::int64_t>(t));
  char buf[400];
  std::snprintf(buf, sizeof buf, "%.0f", t);
  return FromUtf8(buf);
}

bool OverLimit(TextView t) { return ToInt64Def(t, 0) > 300; }

Text Height(TextView t) {
  const double n = ToNumberDef(t, 0);
  if (n == 0 || OverLimit(t)) return {};
  return Truncated(n);
}

Text Weight(TextView t) {
  const double n = ToNumberDef(t, 0);
  if (n == 0 || OverLimit(t)) return {};
  return Format31(n);
}

Text NotMeasured(const Text& t, const char* mark) { return t == T(mark) ? Text() : t; }

// HbA1c and uric acid: "99.9" means not measured; a whole number gains one decimal.
Text OneDecimal(const Text& t, const char* column, std::size_t position, long long lineNumber) {
  if (t == u"99.9") return {};
  if (t.empty() || t.find(u'.') != Text::npos) return t;
  const auto n = ToNumber(t);
  if (!n) {
    throw OpError(IntToText(lineNumber) + T("行目の") + T(column) + T("（") +
                  IntToText(static_cast<long long>(position) + 1) + T("列目）の値「") + t +
                  T("」は数値ではありません。電カル連携ファイルは作成しませんでした。"));
  }
  return Format31(*n);
}

Text Ldl(const Text& t) {
  if (t == u"999") return {};
  if (t.find(u'.') == Text::npos) return t;
  return Truncated(ToNumberDef(t, 0));
}

}  // namespace

Text SelectPromptText() { return T("変換前ファイルを選択します"); }
Text NotFfFileText() { return T("正しいFFファイルではありません。"); }
Text NoFileText() { return T("ファイルがありません。"); }

FieldList ConvertRow(const FieldList& f, TextView yearMonth, long long lineNumber) {
  auto t = [&f](std::size_t i) { return Trim(f[i]); };
  const Text postal = t(kPostal);
  return {
      GetCarte(f[kChart]),
      f[kName],
      Text(yearMonth) + u"01",
      postal.size() == 7 ? postal : Text(),
      Height(t(kHeight)),
      Weight(t(kWeight)),
      NotMeasured(t(kSystolic), "999"),
      NotMeasured(t(kDiastolic), "999"),
      OneDecimal(t(kHba1c), "HbA1c", kHba1c, lineNumber),
      Ldl(t(kLdl)),
      OneDecimal(t(kUricAcid), "尿酸", kUricAcid, lineNumber),
  };
}

Convert1Output ConvertLines(const std::vector<Text>& lines) {
  Convert1Output out;
  if (lines.empty()) return out;
  out.lines.push_back(ShortHeaderLine());
  // Chart numbers already written, trimmed, letter case ignored.
  std::unordered_set<Text> seen;
  bool haveYearMonth = false;
  FieldList fields;
  for (std::size_t i = 0; i < lines.size(); ++i) {
    const long long number = static_cast<long long>(i) + 1;
    fields.clear();
    GetCommaTxt(ReplaceAll(lines[i], u"\t", u","), fields);
    if (fields.size() < kMinFields || fields[kChart].empty()) continue;
    if (!haveYearMonth && number > 1) {
      out.yearMonth = fields[kYearMonth];
      haveYearMonth = !out.yearMonth.empty();
    }
    const Text key = UpperAscii(Trim(fields[kChart]));
    if (number == 1 || seen.count(key)) continue;
    FieldList row = ConvertRow(fields, out.yearMonth, number);
    Text line;
    for (std::size_t c = 0; c < row.size(); ++c) {
      if (c) line += u',';
      line += row[c];
    }
    out.lines.push_back(std::move(line));
    seen.insert(key);
  }
  return out;
}

RunResult Cnv(const Env& env, TextView pstFile) {
  RunResult result;
  const fs::path input = PathFromText(pstFile);
  if (pstFile.empty() || !FileExists(input)) {
    result.Warn(NoFileText());
    return result;
  }
  try {
    const std::vector<Text> lines = LoadWholeFile(input);
    // A file of no lines would give no output, yet the confirmation window
    // would name a file (or an older one of that name): refuse it instead.
    if (lines.empty()) {
      result.Warn(NotFfFileText());
      return result;
    }
    const Convert1Output out = ConvertLines(lines);
    const Text name = SafeFileName(CarteFileName(out.yearMonth));
    const fs::path target = env.ProgramFile(PathFromText(name));
    WrtSet(target, out.lines);
    result.HandOver(target, name);
  } catch (const OpError& e) {
    result.Error(e.text());
    result.stopped = true;
  }
  return result;
}

}  // namespace tavo::linkage
