#include "postal/postal_ops.h"

#include <system_error>

#include "core/comma.h"
#include "core/dates.h"
#include "core/errors.h"
#include "core/files.h"

namespace tavo::postal {

namespace {

const char kHeader[] = "患者番号,氏名,診療年月,郵便番号";

bool IsDigit(char16_t c) { return c >= u'0' && c <= u'9'; }

// One line of the postal-code file: patient number, name, date, postal code.
Text PostalLine(Text number, const Text& name, const Text& date, TextView postcode) {
  number += u',';
  number += name;
  number += u',';
  number += date;
  number += u',';
  number += Trim(postcode);
  return number;
}

// Shared tail of both runs: write the lines under the month's name and hand it over.
void WriteOutput(const Env& env, const Text& mstNgt, const std::vector<TextView>& inputs,
                 const std::vector<Text>& lines, RunResult& result) {
  const Text name = OutputName(mstNgt);
  const fs::path target = env.ProgramFile(PathFromText(name));
  std::vector<fs::path> inputPaths;
  for (TextView input : inputs) inputPaths.push_back(PathFromText(input));
  if (result.RefusesOverwrite(target, name, inputPaths)) return;
  WrtSet(target, lines);
  result.HandOver(target, name);
}

}  // namespace

TTextFileFormat GetTextFileFormat(TextView ALine) {
  std::size_t commas = 0;
  std::size_t tabs = 0;
  for (char16_t c : ALine) {
    if (c == u',') ++commas;
    if (c == u'\t') ++tabs;
  }
  if (tabs > 0 && tabs >= commas) return TTextFileFormat::tfTSV;
  if (commas > 0) return TTextFileFormat::tfCSV;
  return TTextFileFormat::tfUnknown;
}

Text FormatName(TTextFileFormat format) {
  switch (format) {
    case TTextFileFormat::tfCSV:
      return u"CSV";
    case TTextFileFormat::tfTSV:
      return u"TSV";
    default:
      return Text();
  }
}

std::optional<Text> TargetMonth(TextView year, TextView month, RunResult& result) {
  const Text joined = Trim(year) + Trim(month);
  if (joined.size() != 4) {
    result.Warn(T("対象年月が正しくありません"));
    return std::nullopt;
  }
  // A year that is no number fails in the era conversion with its own error.
  const Text date = IFGetHzk25(joined + u"01");
  const bool negativeYear = joined[0] == u'-';
  const TextView mm = TextView(joined).substr(2, 2);
  const int m = IsDigit(mm[0]) && IsDigit(mm[1]) ? (mm[0] - u'0') * 10 + (mm[1] - u'0') : 0;
  if (negativeYear || m < 1 || m > 12) {
    result.Warn(T("対象年月が正しくありません"));
    return std::nullopt;
  }
  return date.substr(0, 6);
}

Text OutputPatientNumber(TextView field) {
  const Text t = Trim(field);
  std::size_t i = 0;
  bool negative = false;
  if (i < t.size() && (t[i] == u'+' || t[i] == u'-')) negative = t[i++] == u'-';
  if (i == t.size()) return u"0";
  for (std::size_t k = i; k < t.size(); ++k) {
    if (!IsDigit(t[k])) return u"0";
  }
  while (i + 1 < t.size() && t[i] == u'0') ++i;
  Text digits = t.substr(i);
  if (digits == u"0") return digits;
  return negative ? u"-" + digits : digits;
}

KarteMap::KarteMap(const std::vector<Text>& lines) {
  for (const Text& line : lines) {
    const auto comma = line.find(u',');
    if (comma == Text::npos) continue;
    map_[line.substr(comma + 1)] = line.substr(0, comma);
  }
}

Text KarteMap::Get(const Text& pstDtsbt) const {
  const auto it = map_.find(pstDtsbt);
  return it == map_.end() ? Text() : it->second;
}

Text GetKarte(const std::vector<Text>& lines, const Text& pstDtsbt) {
  return KarteMap(lines).Get(pstDtsbt);
}

Text OutputName(TextView mstNgt) { return Text(mstNgt) + T("_postcode.csv"); }

RunResult Cnv(const Env& env, TextView year, TextView month, TextView pstFile) {
  RunResult result;
  try {
    const auto mstNgt = TargetMonth(year, month, result);
    if (!mstNgt) return result;
    const fs::path path = PathFromText(pstFile);
    if (!FileExists(path)) {
      result.Warn(T("OUTPUTファイルがありません。"));
      return result;
    }
    const std::vector<Text> FList = LoadWholeFile(path);
    std::vector<Text> out;
    out.reserve(FList.size() + 1);
    out.push_back(T(kHeader));
    const Text date = *mstNgt + u"01";
    for (std::size_t i = 1; i < FList.size(); ++i) {
      const FieldList fields = ParseCommaTxt(FList[i], u',', false);
      // Fields are read in order, so that a short line names its first missing field.
      Text number = OutputPatientNumber(At(fields, 1));
      const Text& name = At(fields, 2);
      out.push_back(PostalLine(std::move(number), name, date, At(fields, 12)));
    }
    WriteOutput(env, *mstNgt, {pstFile}, out, result);
  } catch (const OpError& e) {
    result.Error(e.text());
    result.stopped = true;
  }
  return result;
}

RunResult Cnv2(const Env& env, TextView year, TextView month, TextView pstFile, TextView pstFile2) {
  RunResult result;
  try {
    const auto mstNgt = TargetMonth(year, month, result);
    if (!mstNgt) return result;
    const fs::path path = PathFromText(pstFile);
    const fs::path path2 = PathFromText(pstFile2);
    if (!FileExists(path)) {
      result.Warn(T("外来様式１中間ファイルがありません。"));
      return result;
    }
    if (!FileExists(path2)) {
      result.Warn(T("変換定義ファイルファイルがありません。"));
      return result;
    }
    const std::vector<Text> FList = LoadWholeFile(path);
    const KarteMap karte(LoadWholeFile(path2));
    std::vector<Text> out;
    out.reserve(FList.size() + 1);
    out.push_back(T(kHeader));
    const Text date = *mstNgt + u"01";
    for (std::size_t i = 1; i < FList.size(); ++i) {
      const FieldList fields = ParseCommaTxt(FList[i], u'\t', true);
      Text number = karte.Get(At(fields, 0));
      const Text& name = At(fields, 1);
      out.push_back(PostalLine(std::move(number), name, date, At(fields, 5)));
    }
    WriteOutput(env, *mstNgt, {pstFile, pstFile2}, out, result);
  } catch (const OpError& e) {
    result.Error(e.text());
    result.stopped = true;
  }
  return result;
}

RunResult RunFile(const Env& env, TextView year, TextView month, TextView pstFile,
                  TextView definition, TTextFileFormat& form) {
  form = TTextFileFormat::tfUnknown;
  const fs::path path = PathFromText(pstFile);
  // A missing file is reported by the run itself.
  if (!FileExists(path)) return Cnv(env, year, month, pstFile);
  RunResult result;
  std::vector<Text> lines;
  try {
    lines = LoadWholeFile(path);
  } catch (const OpError& e) {
    result.Error(e.text());
    result.stopped = true;
    return result;
  }
  if (lines.empty()) {
    result.Warn(T("OUTPUTファイルではありません。"));
    return result;
  }
  form = GetTextFileFormat(lines[0]);
  switch (form) {
    case TTextFileFormat::tfCSV:
      return Cnv(env, year, month, pstFile);
    case TTextFileFormat::tfTSV:
      if (IsBlank(definition)) {
        result.Warn(T("変更定義ファイルを選択してください"));
        return result;
      }
      return Cnv2(env, year, month, pstFile, definition);
    default:
      return result;
  }
}

}  // namespace tavo::postal
