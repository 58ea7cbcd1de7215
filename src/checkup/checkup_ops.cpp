#include "checkup/checkup_ops.h"

#include <algorithm>
#include <array>
#include <optional>
#include <system_error>

#include "checkup/leading_commas.h"
#include "core/byte_index.h"
#include "core/bytes.h"
#include "core/carte.h"
#include "core/cp932.h"
#include "core/dates.h"
#include "core/errors.h"
#include "core/files.h"
#include "core/simd.h"
#include "linkage/formats.h"

namespace tavo::checkup {

namespace {

Text BadMonthText() { return T("対象年月が正しくありません"); }

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

// The fields before the last of the TKK_COL_MIN fields a usable line has:
// false when the line has fewer fields.
constexpr std::size_t kLeadingFields = TKK_COL_MIN - 1;
bool SplitLeadingFields(std::string_view line, std::string_view (&fields)[kLeadingFields]) {
  std::size_t commas[kLeadingFields];
  if (FindLeadingCommas(line, commas, kLeadingFields) < kLeadingFields) return false;
  std::size_t start = 0;
  for (std::size_t f = 0; f < kLeadingFields; ++f) {
    fields[f] = std::string_view(line.data() + start, commas[f] - start);
    start = commas[f] + 1;
  }
  return true;
}

// A trimmed UTF-8 field read as an integer like ToInt32 reads its text: a
// byte from 80 on is never a digit or sign, so such a field is no integer.
std::optional<std::int32_t> AsciiInt32(std::string_view bytes) {
  Text t;
  for (const char c : bytes) {
    if (static_cast<unsigned char>(c) >= 0x80) return std::nullopt;
    t.push_back(static_cast<char16_t>(c));
  }
  return ToInt32(t);
}

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// AsciiInt32 with `def` for no integer, reading plain digits (the usual
// field) without building a text.
std::int32_t AsciiInt32Def(std::string_view bytes, std::int32_t def) {
  if (bytes.empty() || bytes.size() > 9) return AsciiInt32(bytes).value_or(def);
  std::int32_t value = 0;
  for (const char c : bytes) {
    if (!IsDigit(c)) return AsciiInt32(bytes).value_or(def);
    value = value * 10 + (c - '0');
  }
  return value;
}

// The UTF-8 of GetCarte of a trimmed field's text. Up to 18 plain digits
// always fit the 64-bit reading, so their number in decimal is the digits
// after the leading zeros, or the field itself for zero.
std::string_view CarteBytes(std::string_view field, std::string& spill) {
  std::size_t zeros = 0;
  while (zeros < field.size() && field[zeros] == '0') ++zeros;
  const std::string_view rest = field.substr(zeros);
  if (rest.size() <= 18 && std::all_of(rest.begin(), rest.end(), IsDigit))
    return rest.empty() ? field : rest;
  spill = ToUtf8(GetCarte(FromUtf8(field)));
  return spill;
}

// Six bytes as one number that orders as the bytes do, and back.
std::uint64_t SixBytes(std::string_view six) {
  std::uint64_t value = 0;
  for (std::size_t k = 0; k < 6; ++k) value = value << 8 | static_cast<unsigned char>(six[k]);
  return value;
}
std::string FromSixBytes(std::uint64_t value) {
  std::string six(6, '\0');
  for (std::size_t k = 6; k-- > 0; value >>= 8) six[k] = static_cast<char>(value & 0xFF);
  return six;
}

// "%.10d": at least ten digits, zero-filled.
Text Seq10(std::size_t seq) {
  Text digits = IntToText(static_cast<std::int64_t>(seq));
  if (digits.size() < 10) digits.insert(0, 10 - digits.size(), u'0');
  return digits;
}

// Characters Cp932Encode made "?" of in `encoded`, the bytes of `text`: each
// became one "?" (3F), a byte never part of a double-byte code.
std::size_t Unencodable(TextView text, std::string_view encoded) {
  return static_cast<std::size_t>(std::count(encoded.begin(), encoded.end(), '?') -
                                  std::count(text.begin(), text.end(), u'?'));
}

Text Number(std::size_t n) { return IntToText(static_cast<std::int64_t>(n)); }

// Lines read and left out, by reason, as the run counts them.
using Verdicts = std::array<std::size_t, static_cast<std::size_t>(LeftOut::kCount)>;

// What the run did. `wrote`: the output was written, with `rows` checkup
// rows and `added` lines of the additional file (`hasAdd`).
void CountRun(const Verdicts& verdicts, bool wrote, int rows, bool hasAdd, std::size_t added,
              std::size_t unencodable, RunResult& result) {
  std::size_t read = 0;
  for (const std::size_t n : verdicts) read += n;
  const std::size_t taken = verdicts[static_cast<std::size_t>(LeftOut::kNone)];
  if (!wrote) {
    result.Count(Number(read) + T("行を読みました"));
  } else {
    Text line = Number(read) + T("行を読み、条件に該当した") + Number(taken) + T("行から患者") +
                Number(static_cast<std::size_t>(rows)) + T("人の行を書き込みました");
    if (hasAdd) line += T("（追加レセ電連携ファイルから") + Number(added) + T("行）");
    result.Count(line);
  }
  if (read > taken) {
    static const std::pair<LeftOut, const char*> kReasons[] = {
        {LeftOut::kBlank, "空行"},
        {LeftOut::kShort, "項目が足りない"},
        {LeftOut::kMonth, "受診年月が対象外"},
        {LeftOut::kAge, "年齢が対象外"},
        {LeftOut::kNoIdOrName, "患者番号か氏名が空欄"},
    };
    Text why;
    for (const auto& [reason, text] : kReasons) {
      const std::size_t n = verdicts[static_cast<std::size_t>(reason)];
      if (n == 0) continue;
      why += (why.empty() ? Text() : T("、")) + T(text) + u' ' + Number(n) + T("行");
    }
    result.Count(T("読み飛ばした行: ") + Number(read - taken) + T("行（") + why + T("）"));
  }
  if (unencodable > 0)
    result.Count(T("Shift_JISで表せないため?に置き換えた文字: ") + Number(unencodable) + T("文字"));
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

std::optional<Checkup> QualifyLine(const Text& line, CheckupWindow window) {
  if (IsBlank(line)) return std::nullopt;
  FieldList fields;
  SplitAtCommas(line, fields);
  if (fields.size() < static_cast<std::size_t>(TKK_COL_MIN)) return std::nullopt;
  Text ym = Trim(fields[TKK_COL_YM]);
  if (ym.size() != 6) return std::nullopt;
  const int iv = ToInt32Def(ym, 0);
  if (iv < window.iFrom || iv > window.iYM) return std::nullopt;
  const Text age = Trim(fields[TKK_COL_AGE]);
  if (age.empty()) return std::nullopt;
  const int years = ToInt32Def(age, -1);
  if (years < TKK_AGE_MIN || years >= TKK_AGE_MAX) return std::nullopt;
  Text p = GetCarte(Trim(fields[TKK_COL_ID]));
  Text n = Trim(fields[TKK_COL_NAME]);
  if (p.empty() || n.empty()) return std::nullopt;
  return Checkup{std::move(p), std::move(n), std::move(ym)};
}

LeftOut JudgeLineView(std::string_view utf8, CheckupWindow window, CheckupBytes& taken,
                      std::string& spill) {
  // A blank line has no comma, so it is short of fields too. The bytes up
  // to 20 are never part of a longer UTF-8 character, and a field with a
  // byte from 80 on is no year-month or age.
  std::string_view fields[kLeadingFields];
  if (!SplitLeadingFields(utf8, fields))
    return IsBlankBytes(utf8) ? LeftOut::kBlank : LeftOut::kShort;
  const std::string_view ym = TrimBytes(fields[TKK_COL_YM]);
  if (ym.size() != 6) return LeftOut::kMonth;
  const int iv = AsciiInt32Def(ym, 0);
  if (iv < window.iFrom || iv > window.iYM) return LeftOut::kMonth;
  const std::string_view age = TrimBytes(fields[TKK_COL_AGE]);
  if (age.empty()) return LeftOut::kAge;
  const int years = AsciiInt32Def(age, -1);
  if (years < TKK_AGE_MIN || years >= TKK_AGE_MAX) return LeftOut::kAge;
  // FromUtf8 gives at least one character for every byte, so the texts are
  // empty exactly when the trimmed bytes are.
  const std::string_view id = TrimBytes(fields[TKK_COL_ID]);
  const std::string_view n = TrimBytes(fields[TKK_COL_NAME]);
  if (id.empty() || n.empty()) return LeftOut::kNoIdOrName;
  taken.p = CarteBytes(id, spill);
  taken.n = n;
  taken.ym = ym;
  return LeftOut::kNone;
}

bool QualifyLineView(std::string_view utf8, CheckupWindow window, CheckupBytes& taken,
                     std::string& spill) {
  return JudgeLineView(utf8, window, taken, spill) == LeftOut::kNone;
}

std::optional<Checkup> QualifyLineBytes(std::string_view utf8, CheckupWindow window) {
  CheckupBytes taken;
  std::string spill;
  if (!QualifyLineView(utf8, window, taken, spill)) return std::nullopt;
  return Checkup{FromUtf8(taken.p), FromUtf8(taken.n), FromUtf8(taken.ym)};
}

Text OutputName(TextView mstNgt) { return Text(mstNgt) + T("_carte_特定健診.csv"); }

RunResult Cnv(const Env& env, TextView year, TextView month, TextView pstTkkFile,
              TextView pstAddFile) {
  RunResult result;
  {
    std::vector<fs::path> inputs{PathFromText(pstTkkFile)};
    if (!IsBlank(pstAddFile)) inputs.push_back(PathFromText(pstAddFile));
    result.Describe(T("特定健診取込"), T("令和") + Trim(year) + T("年") + Trim(month) + T("月"),
                    std::move(inputs));
  }
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

    // The checkup list is UTF-8 whatever its byte-order mark says. Its lines
    // are read one at a time; only the qualifying patients are kept.
    AnyEndLineReader reader(tkkPath, AnyEndLineReader::Marks::kUtf8Only);
    Text first;
    std::string_view bytes;
    const bool hasFirst = reader.Next(first);
    if (!hasFirst || !reader.NextBytes(bytes) || !Contains(first, T("特定健診受診年月"))) {
      result.Warn(
          T("特定健診受診年月ファイルの形式が違います。\r\n"
            "LUMAの「設定→特定健診CSV出力」で作成したCSVを選択してください。"));
      return result;
    }

    // Per patient only what the rows need, as UTF-8 bytes; the index maps
    // the patient number's bytes to its place in `patients`. A line updates
    // its patient's year-month and name; so that a long list does not wait
    // for memory at every line, the patients' year-months sit apart in `yms`.
    struct Patient {
      std::string name;  // NameOf
      std::string p;
      std::size_t seq = 0;  // SeqOf
    };
    std::vector<Patient> patients;
    std::vector<std::uint64_t> yms;  // YMof: its six bytes in one number, in the same order
    ByteIndex index;
    const CheckupWindow window{month6->iFrom, month6->iYM};
    // The lines are qualified in batches cut from the bytes read: the table
    // slots of a batch's patient numbers are fetched first, then their
    // patients, and only then are they looked at.
    struct Qualified {
      CheckupBytes taken;
      std::string spill;
      ByteIndex::Probe probe;
      std::size_t line = 0;
      std::uint32_t patient = 0;
    };
    constexpr std::size_t kBatch = 16;
    std::array<Qualified, kBatch> batch;
    std::size_t batched = 0;
    std::size_t j = 1;  // the line's number after the header
    Verdicts verdicts{};
    const auto qualify = [&](std::string_view line) {
      Qualified& q = batch[batched];
      const LeftOut why = JudgeLineView(line, window, q.taken, q.spill);
      ++verdicts[static_cast<std::size_t>(why)];
      if (why != LeftOut::kNone) return;
      q.probe = ByteIndex::MakeProbe(q.taken.p);
      index.Prefetch(q.probe);
      q.line = j;
      ++batched;
    };
    const auto keepBatch = [&] {
      for (std::size_t k = 0; k < batched; ++k) {
        Qualified& q = batch[k];
        if (const auto known = index.Find(q.probe)) {
          q.patient = *known;
          PrefetchObject(&patients[q.patient].name);
        } else {
          q.patient = static_cast<std::uint32_t>(patients.size());
          index.Insert(q.probe, q.patient);
          patients.push_back(Patient{std::string(), std::string(q.taken.p), q.line});
          yms.push_back(0);
        }
      }
      for (std::size_t k = 0; k < batched; ++k) {
        const Qualified& q = batch[k];
        std::uint64_t& ym = yms[q.patient];
        ym = std::max(ym, SixBytes(q.taken.ym));
        patients[q.patient].name.assign(q.taken.n);
      }
      batched = 0;
    };
    qualify(bytes);
    ++j;
    while (true) {
      const std::string_view unread = reader.Unread();
      std::size_t next = 0;
      std::string_view line;
      while (batched < kBatch && AnyEndLineReader::CutLine(unread, next, line, next)) {
        qualify(line);
        ++j;
      }
      if (next > 0) {
        keepBatch();
        reader.Take(next);
        continue;
      }
      // A line that ends beyond the bytes read, or the last one.
      keepBatch();
      if (!reader.NextBytes(bytes)) break;
      qualify(bytes);
      ++j;
      keepBatch();
    }
    index.Clear();

    // The keys sort as texts; the index beside each is its patient.
    std::vector<std::pair<Text, std::size_t>> KList;
    KList.reserve(patients.size());
    for (std::size_t i = 0; i < patients.size(); ++i) {
      const Patient& patient = patients[i];
      KList.emplace_back(
          FromUtf8(FromSixBytes(yms[i])) + Seq10(patient.seq) + u"=" + FromUtf8(patient.p), i);
    }
    std::stable_sort(KList.begin(), KList.end(), [](const auto& a, const auto& b) {
      return LessIgnoringCase(a.first, b.first);
    });

    std::string rows = Cp932Encode(linkage::LongHeaderLine()) + "\r\n";
    int iHit = 0;
    std::size_t unencodable = 0;
    const Text date = mstNgt + u"01";
    Text row;
    for (const auto& [key, i] : KList) {
      // Fields 0 p, 1 name, 2 date, 97 "1", 98 the year-month; the rest empty.
      static_assert(NIVA_CARTE == 0 && NIVA_NAME == 1 && NIVA_DATE == 2 &&
                    NIVA_TKK_YM == NIVA_TKK_UM + 1 && NIVA_TKK_YM < NIVA_COLS);
      row = key.substr(key.find(u'=') + 1);
      row += u',';
      row += FromUtf8(patients[i].name);
      // Only the patient number and the name may hold a character Shift_JIS lacks.
      const std::size_t head = row.size();
      row += u',';
      row += date;
      row.append(NIVA_TKK_UM - NIVA_DATE, u',');
      row += u"1,";
      row += key.substr(0, 6);
      row.append(NIVA_COLS - 1 - NIVA_TKK_YM, u',');
      const std::size_t at = rows.size();
      Cp932EncodeAppend(TextView(row).substr(0, head), rows);
      unencodable += Unencodable(TextView(row).substr(0, head), std::string_view(rows).substr(at));
      Cp932EncodeAppend(TextView(row).substr(head), rows);
      rows += "\r\n";
      ++iHit;
    }
    patients = {};
    yms = {};
    KList = {};

    // The output is opened when its first line after the header is known:
    // the checkup rows, else the first line the additional file adds. An
    // output that would replace an input is never opened. The message that
    // no patient qualified comes before any failure to write, as when the
    // whole output was written at the end.
    const Text name = OutputName(mstNgt);
    const fs::path target = env.ProgramFile(PathFromText(name));
    std::vector<fs::path> inputs{tkkPath};
    if (hasAdd) inputs.push_back(addPath);
    bool refused = false;
    for (const fs::path& input : inputs) refused = refused || SameFile(input, target);
    bool infoDue = iHit == 0;
    auto noPatientInfo = [&] {
      if (infoDue) result.Info(T("条件に該当する患者がいませんでした。"));
      infoDue = false;
    };
    std::optional<AtomicFile> out;
    std::size_t outLines = static_cast<std::size_t>(iHit) + 1;
    auto write = [&](std::string_view chunk) {
      if (refused) return;
      try {
        if (!out) {
          out.emplace(target);
          out->Write(rows);
          rows.clear();
        }
        out->Write(chunk);
      } catch (const OpError&) {
        noPatientInfo();
        throw;
      }
    };
    if (iHit > 0) write({});

    if (hasAdd) {
      // The additional file is Shift_JIS; a byte-order mark is not looked for.
      AnyEndLineReader added(addPath, AnyEndLineReader::Marks::kCp932);
      std::string chunk;
      for (std::size_t i = 0; added.NextBytes(bytes); ++i) {
        if (IsBlankBytes(bytes)) continue;
        if (i == 0 && Contains(Cp932Decode(bytes), T("カルテ番号"))) continue;
        Cp932NormalizeAppend(bytes, chunk);
        chunk += "\r\n";
        ++outLines;
        if (chunk.size() >= (1 << 16)) {
          write(chunk);
          chunk.clear();
        }
      }
      if (!chunk.empty()) write(chunk);
    }

    noPatientInfo();
    const std::size_t added = outLines - 1 - static_cast<std::size_t>(iHit);
    if (outLines == 1) {
      CountRun(verdicts, false, iHit, hasAdd, added, unencodable, result);
      return result;
    }
    if (result.RefusesOverwrite(target, name, inputs)) return result;
    try {
      out->Commit();
    } catch (const OpError&) {
      noPatientInfo();
      throw;
    }
    result.HandOver(target, name);
    CountRun(verdicts, true, iHit, hasAdd, added, unencodable, result);
  } catch (const OpError& e) {
    result.Error(e.text());
    result.stopped = true;
  }
  return result;
}

}  // namespace tavo::checkup
