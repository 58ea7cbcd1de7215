#include "linkage/convert1.h"

#include <bit>
#include <cmath>
#include <cstdio>
#include <unordered_set>

#include "core/byte_index.h"
#include "core/carte.h"
#include "core/comma.h"
#include "core/cp932.h"
#include "core/errors.h"
#include "core/files.h"
#include "core/simd.h"
#include "linkage/convert2.h"
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
Text NotOutpatientText() { return T("外来データファイル（FFファイル）ではありません。"); }

Text ReadWrittenText(std::size_t lines, std::size_t rows) {
  return IntToText(static_cast<std::int64_t>(lines)) + T("行を読み、") +
         IntToText(static_cast<std::int64_t>(rows)) + T("行を書き込みました（見出し行を除く）");
}

Text WidenedText(std::size_t values) {
  return T("カンマを全角に置換した値: ") + IntToText(static_cast<std::int64_t>(values)) + T("件");
}

void SplitFieldsBytesPlain(std::string_view line, std::vector<std::string_view>& fields) {
  fields.clear();
  std::size_t start = 0;
  for (std::size_t k = 0; k < line.size(); ++k) {
    if (line[k] == '\t') {
      fields.push_back(line.substr(start, k - start));
      start = k + 1;
    }
  }
  fields.push_back(line.substr(start));
}

void SplitFieldsBytes(std::string_view line, std::vector<std::string_view>& fields) {
#if TAVO_SSE2
  fields.clear();
  std::size_t start = 0;
  std::size_t k = 0;
  const __m128i tab = _mm_set1_epi8('\t');
  for (; k + 16 <= line.size(); k += 16) {
    const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(line.data() + k));
    auto mask = static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(v, tab)));
    while (mask != 0) {
      const std::size_t at = k + static_cast<std::size_t>(std::countr_zero(mask));
      fields.push_back(line.substr(start, at - start));
      start = at + 1;
      mask &= mask - 1;
    }
  }
  for (; k < line.size(); ++k) {
    if (line[k] == '\t') {
      fields.push_back(line.substr(start, k - start));
      start = k + 1;
    }
  }
  fields.push_back(line.substr(start));
#else
  SplitFieldsBytesPlain(line, fields);
#endif
}

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

namespace {

// The conversion, one line at a time: the state it keeps is the year-month
// and the chart numbers already written. Fields are cut at TABs and lose
// their double quotes; a comma stays in its value, and is widened to "，"
// when the value is written.
class LineConverter {
 public:
  // The output row of the next line, when it gives one.
  bool Next(const Text& line, Text& row) {
    ++number_;
    fields_ = SplitTab(line);
    for (Text& field : fields_) std::erase(field, u'"');
    if (fields_.size() < kMinFields || fields_[kChart].empty()) {
      const bool known =
          !fields_.empty() && !fields_[kChart].empty() && Known(UpperAscii(Trim(fields_[kChart])));
      return Unusable(fields_.size(), known);
    }
    NoteYearMonth(fields_[kYearMonth]);
    if (!Admit(UpperAscii(Trim(fields_[kChart])))) return Repeated();
    Emit(row);
    return true;
  }

  // The same on code page 932 bytes: a TAB and a double quote are never
  // part of a double-byte code, so without a quote the split is the bytes'.
  // A repeated patient's line decodes at most its year-month; a new one only
  // the fields its row reads.
  bool NextBytes(std::string_view line, Text& row) {
    if (SeenBefore(line)) {
      ++number_;
      return Repeated();
    }
    if (line.find('"') != std::string_view::npos) return Next(Cp932Decode(line), row);
    ++number_;
    SplitFieldsBytes(line, views_);
    if (views_.size() < kMinFields || views_[kChart].empty()) {
      return Unusable(views_.size(),
                      !views_[kChart].empty() && KnownBytes(TrimBytes(views_[kChart])));
    }
    if (!haveYearMonth_ && number_ > 1) NoteYearMonth(Cp932Decode(views_[kYearMonth]));
    if (!AdmitBytes(TrimBytes(views_[kChart]))) return Repeated();
    fields_.resize(kMinFields);
    for (const std::size_t i : kRead) {
      fields_[i].clear();
      Cp932DecodeAppend(views_[i], fields_[i]);
    }
    Emit(row);
    return true;
  }

  const Text& yearMonth() const { return yearMonth_; }
  Convert1Counts counts() const {
    Convert1Counts c = counts_;
    c.lines = number_ > 0 ? static_cast<std::size_t>(number_ - 1) : 0;
    return c;
  }

 private:
  static constexpr std::size_t kRead[] = {kChart, kName,     kYearMonth, kPostal, kHeight,  kWeight,
                                          kHba1c, kSystolic, kDiastolic, kLdl,    kUricAcid};

  // A line of too few fields or without a chart number; counted by why,
  // the title line not at all. The line of a patient already written counts
  // as a repeat whatever else it lacks, as the quick test of SeenBefore
  // finds it so.
  bool Unusable(std::size_t fields, bool knownChart) {
    if (number_ == 1) return false;
    if (knownChart) return Repeated();
    ++(fields < kMinFields ? counts_.tooShort : counts_.noChart);
    return false;
  }
  bool Repeated() {
    if (number_ > 1) ++counts_.repeated;
    return false;
  }

  // The first usable line after the title gives the year-month.
  void NoteYearMonth(const Text& field) {
    if (haveYearMonth_ || number_ == 1) return;
    yearMonth_ = field;
    haveYearMonth_ = !yearMonth_.empty();
  }

  // Most lines are of a patient already written: once the year-month is
  // known, such a line gives nothing whatever its other fields, and its
  // chart number (the bytes before the first TAB, which no later double
  // quote changes) is all that need be read. False when the line is not
  // plainly one of those; the full reading then decides.
  bool SeenBefore(std::string_view line) const {
    if (!haveYearMonth_ || number_ < 1) return false;
    std::size_t end = 0;
    while (end < line.size() && line[end] != '\t') ++end;
    if (end == 0) return false;
    const std::string_view key = TrimBytes(line.substr(0, end));
    if (key.size() > kShortKey) return false;
    char upper[kShortKey];
    for (std::size_t i = 0; i < key.size(); ++i) {
      const char c = key[i];
      if (static_cast<unsigned char>(c) >= 0x80 || c == '"') return false;
      upper[i] = c >= 'a' && c <= 'z' ? static_cast<char>(c - 0x20) : c;
    }
    return seenAscii_.Find(std::string_view(upper, key.size())).has_value();
  }

  // Whether a chart number (trimmed, ASCII letters upper-cased) was written.
  bool Known(const Text& key) const {
    std::string ascii;
    for (const char16_t c : key) {
      if (c >= 0x80) return seen_.count(key) > 0;
      ascii.push_back(static_cast<char>(c));
    }
    return seenAscii_.Find(ascii).has_value();
  }
  bool KnownBytes(std::string_view trimmed) const {
    return Known(UpperAscii(Cp932Decode(trimmed)));
  }

  // True for a chart number (trimmed, ASCII letters upper-cased) not written
  // yet, outside the title line; it is then remembered.
  bool Admit(const Text& key) {
    if (number_ == 1) return false;
    std::string ascii;
    for (const char16_t c : key) {
      if (c >= 0x80) return seen_.insert(key).second;
      ascii.push_back(static_cast<char>(c));
    }
    return seenAscii_.Insert(ascii, 0);
  }
  bool AdmitBytes(std::string_view trimmed) {
    if (number_ == 1) return false;
    thread_local std::string ascii;
    ascii.clear();
    for (const char c : trimmed) {
      if (static_cast<unsigned char>(c) >= 0x80) return Admit(UpperAscii(Cp932Decode(trimmed)));
      ascii.push_back(c >= 'a' && c <= 'z' ? static_cast<char>(c - 0x20) : c);
    }
    return seenAscii_.Insert(ascii, 0);
  }

  void Emit(Text& row) {
    FieldList values = ConvertRow(fields_, yearMonth_, number_);
    row.clear();
    for (std::size_t c = 0; c < values.size(); ++c) {
      if (WidenCommas(values[c]) > 0) ++counts_.widened;
      if (c) row += u',';
      row += values[c];
    }
    ++counts_.rows;
  }

  static constexpr std::size_t kShortKey = 16;  // longer chart numbers take the full reading
  long long number_ = 0;
  bool haveYearMonth_ = false;
  Text yearMonth_;
  Convert1Counts counts_;
  // Chart numbers already written: those of ASCII as bytes, the others as text.
  ByteIndex seenAscii_;
  std::unordered_set<Text> seen_;
  FieldList fields_;
  std::vector<std::string_view> views_;
};

template <typename Line, typename Step>
Convert1Output ConvertAll(const std::vector<Line>& lines, Step step) {
  Convert1Output out;
  if (lines.empty()) return out;
  out.lines.push_back(ShortHeaderLine());
  LineConverter converter;
  Text row;
  for (const Line& line : lines) {
    if (step(converter, line, row)) out.lines.push_back(row);
  }
  out.yearMonth = converter.yearMonth();
  out.counts = converter.counts();
  return out;
}

}  // namespace

Convert1Output ConvertLines(const std::vector<Text>& lines) {
  return ConvertAll(
      lines, [](LineConverter& c, const Text& line, Text& row) { return c.Next(line, row); });
}

Convert1Output ConvertLinesBytes(const std::vector<std::string>& lines) {
  return ConvertAll(lines, [](LineConverter& c, const std::string& line, Text& row) {
    return c.NextBytes(line, row);
  });
}

namespace {

// The count lines of a run of converter 1.
void CountConversion(RunResult& result, const Convert1Counts& c) {
  result.Count(ReadWrittenText(c.lines, c.rows));
  std::vector<Text> skipped;
  auto add = [&skipped](std::size_t n, const char* why) {
    if (n > 0)
      skipped.push_back(IntToText(static_cast<std::int64_t>(n)) + T("行（") + T(why) + T("）"));
  };
  add(c.tooShort, "項目が足りない");
  add(c.noChart, "カルテ番号が空欄");
  add(c.repeated, "カルテ番号の重複");
  if (!skipped.empty()) {
    Text line = T("読み飛ばした行: ") + skipped[0];
    for (std::size_t i = 1; i < skipped.size(); ++i) line += T("、") + skipped[i];
    result.Count(line);
  }
  if (c.widened > 0) result.Count(WidenedText(c.widened));
}

}  // namespace

RunResult Cnv(const Env& env, TextView pstFile) {
  RunResult result;
  const fs::path input = PathFromText(pstFile);
  result.Describe(T("変換1"), Text(), {input});
  if (pstFile.empty() || !FileExists(input)) {
    result.Warn(NoFileText());
    return result;
  }
  try {
    // A file of another kind (a receipt file, say) gives no row or wrong ones.
    if (!OutpatientYearMonth(pstFile, result)) return result;
    AnyEndLineReader reader(input);
    std::string_view bytes;
    if (!reader.NextBytes(bytes)) {
      result.Warn(NotFfFileText());
      return result;
    }
    // The rows stream into the output; its name, from the year-month, is
    // known at the end.
    AtomicFile out(env.ProgramFile(".tavo-convert1"));
    std::string chunk = Cp932Encode(ShortHeaderLine()) + "\r\n";
    const bool plain = reader.coding() == TextCoding::kCp932;
    LineConverter converter;
    Text text;
    Text row;
    do {
      bool took;
      if (plain) {
        took = converter.NextBytes(bytes, row);
      } else {
        text.clear();
        AnyEndLineReader::Decode(reader.coding(), bytes, text);
        took = converter.Next(text, row);
      }
      if (!took) continue;
      Cp932EncodeAppend(row, chunk);
      chunk += "\r\n";
      if (chunk.size() >= (1 << 16)) {
        out.Write(chunk);
        chunk.clear();
      }
    } while (reader.NextBytes(bytes));
    const Convert1Counts counts = converter.counts();
    CountConversion(result, counts);
    // A file without a patient row would give a title line alone.
    if (counts.rows == 0) {
      result.Warn(T("ファイル ") + Text(pstFile) +
                  T(" には変換できる行がないため、電カル連携ファイルは作成しませんでした。"
                    "カルテ番号があり、項目が53以上ある患者の行が必要です。"));
      return result;
    }
    out.Write(chunk);
    const Text name = SafeFileName(CarteFileName(converter.yearMonth()));
    const fs::path target = env.ProgramFile(PathFromText(name));
    out.CommitAs(target);
    result.HandOver(target, name);
  } catch (const OpError& e) {
    result.Error(e.text());
    result.stopped = true;
  }
  return result;
}

}  // namespace tavo::linkage
