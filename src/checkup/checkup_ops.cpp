#include "checkup/checkup_ops.h"

#include <algorithm>
#include <map>
#include <system_error>

#include "core/carte.h"
#include "core/cp932.h"
#include "core/dates.h"
#include "core/errors.h"
#include "core/files.h"
#include "linkage/formats.h"

namespace tavo::checkup {

namespace {

Text BadMonthText() { return T("対象年月が正しくありません"); }

// The checkup list is UTF-8 whatever its byte-order mark says.
std::vector<Text> LoadUtf8Lines(const fs::path& path) {
  std::string bytes = ReadFileBytes(path);
  std::string_view view(bytes);
  if (view.size() >= 3 && view.substr(0, 3) == "\xEF\xBB\xBF") view.remove_prefix(3);
  return SplitLinesAnyEnd(FromUtf8(view));
}

// The additional file is Shift_JIS; a byte-order mark is not looked for.
std::vector<Text> LoadCp932Lines(const fs::path& path) {
  return SplitLinesAnyEnd(Cp932Decode(ReadFileBytes(path)));
}

bool Contains(TextView text, TextView part) { return text.find(part) != TextView::npos; }

// "YYMM" read as the target month: nullopt when it is none.
struct Target {
  Text mstNgt;
  int iYM = 0;
  int iFrom = 0;
};

std::optional<Target> ReadTarget(TextView year, TextView month) {
  const Text joined = Trim(year) + Trim(month);
  if (joined.size() != 4) return std::nullopt;
  const auto yy = ToInt32(TextView(joined).substr(0, 2));
  const auto mm = ToInt32(TextView(joined).substr(2, 2));
  if (!yy || *yy < 0 || !mm || *mm < 1 || *mm > 12) return std::nullopt;
  Target t;
  t.mstNgt = IFGetHzk25(joined + u"01").substr(0, 6);
  t.iYM = ToInt32Def(t.mstNgt, 0);
  const int y = ToInt32Def(TextView(t.mstNgt).substr(0, 4), 0);
  const int m = t.mstNgt.size() >= 6 ? ToInt32Def(TextView(t.mstNgt).substr(4, 2), 0) : 0;
  if (t.iYM == 0 || y == 0 || m < 1 || m > 12) return std::nullopt;
  const Date from = AddMonths(Date{y, m, 1}, -TKK_BACK_MONTH);
  t.iFrom = from.year * 100 + from.month;
  return t;
}

// At every comma, no quoting; empty fields count.
void SplitAtCommas(const Text& line, FieldList& fields) {
  fields.clear();
  std::size_t start = 0;
  for (std::size_t k = 0; k <= line.size(); ++k) {
    if (k == line.size() || line[k] == u',') {
      fields.emplace_back(line.substr(start, k - start));
      start = k + 1;
    }
  }
}

// "%.10d": at least ten digits, zero-filled.
Text Seq10(std::size_t seq) {
  Text digits = IntToText(static_cast<std::int64_t>(seq));
  if (digits.size() < 10) digits.insert(0, 10 - digits.size(), u'0');
  return digits;
}

bool LessIgnoringCase(const Text& a, const Text& b) {
  const std::size_t n = std::min(a.size(), b.size());
  for (std::size_t i = 0; i < n; ++i) {
    char16_t x = a[i];
    char16_t y = b[i];
    if (x >= u'a' && x <= u'z') x -= 0x20;
    if (y >= u'a' && y <= u'z') y -= 0x20;
    if (x != y) return x < y;
  }
  return a.size() < b.size();
}

}  // namespace

Text GetCarte(TextView pstPtnum) { return tavo::GetCarte(pstPtnum); }

Text OutputName(TextView mstNgt) { return Text(mstNgt) + T("_carte_特定健診.csv"); }

RunResult Cnv(const Env& env, TextView year, TextView month, TextView pstTkkFile,
              TextView pstAddFile) {
  RunResult result;
  try {
    const fs::path tkkPath = PathFromText(pstTkkFile);
    if (!FileExists(tkkPath)) {
      result.Warn(T("特定健診受診年月ファイルファイルがありません。"));
      return result;
    }
    const bool hasAdd = !IsBlank(pstAddFile);
    const fs::path addPath = PathFromText(pstAddFile);
    if (hasAdd && !FileExists(addPath)) {
      result.Warn(T("追加のレセ電連携ファイルファイルがありません。"));
      return result;
    }
    const auto month6 = ReadTarget(year, month);
    if (!month6) {
      result.Warn(BadMonthText());
      return result;
    }
    const Text& mstNgt = month6->mstNgt;

    const std::vector<Text> lines = LoadUtf8Lines(tkkPath);
    if (lines.size() < 2 || !Contains(lines[0], T("特定健診受診年月"))) {
      result.Warn(
          T("特定健診受診年月ファイルの形式が違います。\r\n"
            "LUMAの「設定→特定健診CSV出力」で作成したCSVを選択してください。"));
      return result;
    }

    std::map<Text, Text> YMof;
    std::map<Text, Text> NameOf;
    std::map<Text, std::size_t> SeqOf;
    FieldList fields;
    for (std::size_t j = 1; j < lines.size(); ++j) {
      const Text& line = lines[j];
      if (IsBlank(line)) continue;
      SplitAtCommas(line, fields);
      if (fields.size() < static_cast<std::size_t>(TKK_COL_MIN)) continue;
      const Text ym = Trim(fields[TKK_COL_YM]);
      if (ym.size() != 6) continue;
      const int iv = ToInt32Def(ym, 0);
      if (iv < month6->iFrom || iv > month6->iYM) continue;
      const Text age = Trim(fields[TKK_COL_AGE]);
      if (age.empty()) continue;
      const int years = ToInt32Def(age, -1);
      if (years < TKK_AGE_MIN || years >= TKK_AGE_MAX) continue;
      const Text p = GetCarte(Trim(fields[TKK_COL_ID]));
      const Text n = Trim(fields[TKK_COL_NAME]);
      if (p.empty() || n.empty()) continue;
      const auto known = YMof.find(p);
      if (known == YMof.end()) {
        YMof.emplace(p, ym);
        SeqOf.emplace(p, j);
      } else if (ym > known->second) {
        known->second = ym;
      }
      NameOf[p] = n;
    }

    std::vector<Text> KList;
    KList.reserve(YMof.size());
    for (const auto& [p, ym] : YMof) KList.push_back(ym + Seq10(SeqOf[p]) + u"=" + p);
    std::stable_sort(KList.begin(), KList.end(), LessIgnoringCase);

    std::vector<Text> out;
    out.reserve(KList.size() + 1);
    out.push_back(linkage::LongHeaderLine());
    int iHit = 0;
    const Text date = mstNgt + u"01";
    FieldList row;
    for (const Text& key : KList) {
      const Text p = key.substr(key.find(u'=') + 1);
      row.assign(NIVA_COLS, Text());
      row[NIVA_CARTE] = p;
      const auto name = NameOf.find(p);
      if (name != NameOf.end()) row[NIVA_NAME] = name->second;
      row[NIVA_DATE] = date;
      row[NIVA_TKK_UM] = u"1";
      row[NIVA_TKK_YM] = key.substr(0, 6);
      Text joined;
      for (int c = 0; c < NIVA_COLS; ++c) {
        if (c > 0) joined += u',';
        joined += row[c];
      }
      out.push_back(std::move(joined));
      ++iHit;
    }

    if (hasAdd) {
      const std::vector<Text> added = LoadCp932Lines(addPath);
      for (std::size_t i = 0; i < added.size(); ++i) {
        if (IsBlank(added[i])) continue;
        if (i == 0 && Contains(added[i], T("カルテ番号"))) continue;
        out.push_back(added[i]);
      }
    }

    if (iHit == 0) result.Info(T("条件に該当する患者がいませんでした。"));
    if (out.size() == 1) return result;

    const Text name = OutputName(mstNgt);
    const fs::path target = env.ProgramFile(PathFromText(name));
    std::vector<fs::path> inputs{tkkPath};
    if (hasAdd) inputs.push_back(addPath);
    if (result.RefusesOverwrite(target, name, inputs)) return result;
    WrtSet(target, out);
    result.HandOver(target, name);
  } catch (const OpError& e) {
    result.Error(e.text());
    result.stopped = true;
  }
  return result;
}

}  // namespace tavo::checkup
