#include "postal/postal_ops.h"

#include <algorithm>
#include <cstring>
#include <system_error>

#include "core/background_io.h"
#include "core/comma.h"
#include "core/cp932.h"
#include "core/cp932_twins.h"
#include "core/dates.h"
#include "core/errors.h"
#include "core/files.h"
#include "core/simd.h"

namespace tavo::postal {

namespace {

const char kHeader[] = "患者番号,氏名,診療年月,郵便番号";

bool IsDigit(char16_t c) { return c >= u'0' && c <= u'9'; }

Text Number(std::size_t n) { return IntToText(static_cast<std::int64_t>(n)); }

// One line of the postal-code file: patient number, name, date, postal code;
// the commas of the name and the postal code widened.
Text PostalLine(Text number, Text name, const Text& date, TextView postcode, PostalCounts* counts) {
  Text code = Trim(postcode);
  const std::size_t widened = (WidenCommas(name) > 0 ? 1 : 0) + (WidenCommas(code) > 0 ? 1 : 0);
  if (counts) {
    counts->widened += widened;
    ++counts->rows;
  }
  number += u',';
  number += name;
  number += u',';
  number += date;
  number += u',';
  number += code;
  return number;
}

void CountRun(const PostalCounts& c, RunResult& result) {
  result.Count(Number(c.rows + c.notNumber) + T("行を読み、") + Number(c.rows) +
               T("行を書き込みました"));
  if (c.notNumber > 0)
    result.Count(T("読み飛ばした行: ") + Number(c.notNumber) + T("行（患者番号が数字でない）"));
  if (c.notInDefinition > 0)
    result.Count(T("変更定義ファイルで患者番号が見つからなかった行: ") + Number(c.notInDefinition) +
                 T("行（患者番号は空欄）"));
  if (c.widened > 0) result.Count(T("カンマを全角に置換した値: ") + Number(c.widened) + T("件"));
}

// The run's options for the history: the form and the target month as typed.
Text RunOptions(const char* form, TextView year, TextView month) {
  return T(form) + T(" / 令和") + Trim(year) + T("年") + Trim(month) + T("月");
}

const char kOperation[] = "郵便番号ファイル作成";

// Both runs: the header, then one output line per data line, streamed from
// the input into the output. An output that would replace an input is still
// converted to the end (a short line is reported first, as ever) but never
// written.
// `bytesLines` may take whole lines straight from the bytes read (returning
// the bytes it took); the rest go one by one through `bytesLine`.
template <typename BytesLines, typename BytesLine, typename TextLine>
void StreamRun(const Env& env, const Text& mstNgt, const std::vector<fs::path>& inputs,
               BytesLines bytesLines, BytesLine bytesLine, TextLine textLine, RunResult& result) {
  const Text name = OutputName(mstNgt);
  const fs::path target = env.ProgramFile(PathFromText(name));
  bool refused = false;
  for (const fs::path& input : inputs) refused = refused || SameFile(input, target);
  // Its pieces are written on a second thread while the next one fills.
  std::optional<AtomicFile> out;
  std::optional<WriteBehind<OutBuffer>> behind;  // writes out; destroyed first
  if (!refused) {
    out.emplace(target);
    behind.emplace(*out);
  }
  AnyEndLineReader reader(inputs[0]);
  const bool plain = reader.coding() == TextCoding::kCp932;
  // Written out in pieces of a size that stays in the cache.
  constexpr std::size_t kPiece = 1 << 17;
  OutBuffer chunk;
  chunk.Append(Cp932Encode(T(kHeader)) + "\r\n");
  std::string_view bytes;
  Text text;
  std::string encoded;
  // A full piece goes out (nowhere when the output was refused).
  const auto handOnFull = [&] {
    if (chunk.size() < kPiece) return false;
    if (behind) behind->Write(chunk, chunk.size());
    chunk.clear();
    return true;
  };
  const auto convert = [&] {
    reader.NextBytes(bytes);  // the header line, whatever it holds
    while (true) {
      if (plain) {
        reader.Take(bytesLines(reader.Unread(), chunk, kPiece));
        if (handOnFull()) continue;
      }
      if (!reader.NextBytes(bytes)) break;
      if (plain) {
        bytesLine(bytes, chunk);  // with its line end
      } else {
        text.clear();
        AnyEndLineReader::Decode(reader.coding(), bytes, text);
        const Text converted = textLine(text);  // empty: the line is skipped
        if (!converted.empty()) {
          encoded.clear();
          Cp932EncodeAppend(converted, encoded);
          encoded += "\r\n";
          chunk.Append(encoded);
        }
      }
      handOnFull();
    }
  };
  // A write error comes before a short line after it, and before the refusal.
  if (behind) {
    behind->Run(convert);
  } else {
    convert();
  }
  if (result.RefusesOverwrite(target, name, inputs)) return;
  behind->Write(chunk, chunk.size());
  behind->Finish();
  out->Commit();
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

namespace {

// Copies n bytes, at least one word and at most two, as a first and a last
// word (which overlap unless n is two words).
template <typename Word>
void CopyAsTwoWords(char* to, const char* from, std::size_t n) {
  Word head;
  Word tail;
  std::memcpy(&head, from, sizeof(Word));
  std::memcpy(&tail, from + n - sizeof(Word), sizeof(Word));
  std::memcpy(to, &head, sizeof(Word));
  std::memcpy(to + n - sizeof(Word), &tail, sizeof(Word));
}

// A whole decimal number of any length: whether it is below zero, and its
// digits without leading zeros. Nothing for anything that is not one.
template <typename Char>
std::optional<std::pair<bool, std::basic_string_view<Char>>> WholeNumber(
    std::basic_string_view<Char> t) {
  std::size_t i = 0;
  bool negative = false;
  if (i < t.size() && (t[i] == '+' || t[i] == '-')) negative = t[i++] == '-';
  if (i == t.size()) return std::nullopt;
  for (std::size_t k = i; k < t.size(); ++k) {
    if (t[k] < '0' || t[k] > '9') return std::nullopt;
  }
  while (i + 1 < t.size() && t[i] == '0') ++i;
  const std::basic_string_view<Char> digits = t.substr(i);
  return std::pair{negative && !(digits.size() == 1 && digits[0] == '0'), digits};
}

}  // namespace

Text OutputPatientNumber(TextView field) {
  const Text t = Trim(field);
  const auto number = WholeNumber(TextView(t));
  if (!number) return Text();
  Text out;
  if (number->first) out += u'-';
  out += number->second;
  return out;
}

KarteMap::KarteMap(const std::vector<Text>& lines) {
  for (const Text& line : lines) Put(line);
  IndexBytes();
}

KarteMap::KarteMap(const fs::path& definition) {
  AnyEndLineReader reader(definition);
  if (reader.coding() != TextCoding::kCp932) {
    Text line;
    while (reader.Next(line)) Put(line);
    IndexBytes();
    return;
  }
  // Code page 932: the pairs are kept as the bytes their texts encode to.
  // Those bytes are equal exactly when the texts are, so a later line of the
  // same key still wins.
  bytesOnly_ = true;
  std::string_view line;
  std::string key;
  std::string value;
  while (reader.NextBytes(line)) {
    const std::size_t comma = line.find(',');
    if (comma == std::string_view::npos) continue;
    key.clear();
    Cp932NormalizeAppend(line.substr(comma + 1), key);
    value.clear();
    Cp932NormalizeAppend(line.substr(0, comma), value);
    byteMap_.Assign(key, value);
  }
}

void KarteMap::Put(const Text& line) {
  const auto comma = line.find(u',');
  if (comma == Text::npos) return;
  map_[line.substr(comma + 1)] = line.substr(0, comma);
}

void KarteMap::IndexBytes() {
  for (const auto& [key, value] : map_) {
    if (!Cp932CanEncode(key)) continue;
    const std::string bytes = Cp932Encode(key);
    if (Cp932Decode(bytes) != key) continue;
    byteMap_.Assign(bytes, Cp932Encode(value));
  }
}

std::string_view KarteMap::FindBytes(std::string_view key) const {
  std::optional<std::string_view> hit;
  if (Cp932ChangesOnReencode(key)) {
    // Bytes with a twin code are looked up as the bytes of their text.
    std::string normalized;
    Cp932NormalizeAppend(key, normalized);
    hit = byteMap_.Find(normalized);
  } else {
    hit = byteMap_.Find(key);
  }
  return hit ? *hit : std::string_view();
}

Text KarteMap::Get(const Text& pstDtsbt) const {
  if (bytesOnly_) {
    // Only a text that comes back from its bytes can be the text of a key.
    const std::string bytes = Cp932Encode(pstDtsbt);
    if (Cp932Decode(bytes) != pstDtsbt) return Text();
    const auto hit = byteMap_.Find(bytes);
    return hit ? Cp932Decode(*hit) : Text();
  }
  const auto it = map_.find(pstDtsbt);
  return it == map_.end() ? Text() : it->second;
}

Text GetKarte(const std::vector<Text>& lines, const Text& pstDtsbt) {
  return KarteMap(lines).Get(pstDtsbt);
}

Text OutputFileLine(const Text& line, const Text& date, PostalCounts* counts) {
  const FieldList fields = ParseCommaTxt(line, u',', false);
  // Fields are read in order, so that a short line names its first missing field.
  Text number = OutputPatientNumber(At(fields, 1));
  const Text& name = At(fields, 2);
  const Text& postcode = At(fields, 12);
  if (number.empty()) {
    if (counts) ++counts->notNumber;
    return Text();
  }
  return PostalLine(std::move(number), name, date, postcode, counts);
}

Text IntermediateLine(const Text& line, const Text& date, const KarteMap& karte,
                      PostalCounts* counts) {
  const FieldList fields = ParseCommaTxt(line, u'\t', true);
  Text number = karte.Get(At(fields, 0));
  const Text& name = At(fields, 1);
  const Text& postcode = At(fields, 5);
  if (counts && number.empty()) ++counts->notInDefinition;
  return PostalLine(std::move(number), name, date, postcode, counts);
}

void OutBuffer::Reserve(std::size_t atLeast) {
  const std::size_t capacity = std::max({atLeast, capacity_ * 2, std::size_t{1} << 18});
  std::unique_ptr<char[]> data(new char[capacity]);  // left unfilled
  if (size_ != 0) std::memcpy(data.get(), data_.get(), size_);
  data_ = std::move(data);
  capacity_ = capacity;
}

void OutBuffer::Append(std::string_view bytes) {
  if (!bytes.empty()) std::memcpy(Extend(bytes.size()), bytes.data(), bytes.size());
}

LineBytes::LineBytes(const Text& date, std::string_view lineEnd)
    : date_(date), middle_(","), lineEnd_(lineEnd) {
  middle_ += Cp932Encode(date);
  middle_ += ',';
  blocksFit_ = middle_.size() <= middleBlock_.size() && lineEnd_.size() <= lineEndBlock_.size();
  if (blocksFit_) {
    std::memcpy(middleBlock_.data(), middle_.data(), middle_.size());
    std::memcpy(lineEndBlock_.data(), lineEnd_.data(), lineEnd_.size());
  }
}

std::string_view LineBytes::FieldAt(std::size_t index) const {
  if (index >= fields_.size()) ThrowIndexError(static_cast<long long>(index));
  return fields_[index];
}

namespace {

// The bytes as WrtSet writes their text, its commas widened: the same unless
// a code has a twin or a comma is among them (which only bytes marked as
// `mayChange` can hold). A widened value is counted in `widened`.
std::string_view AsWritten(std::string_view field, bool mayChange, std::string& rewritten,
                           std::size_t& widened) {
  if (!mayChange) return field;
  const bool twin = Cp932ChangesOnReencodeExact(field);
  const bool comma = field.find(',') != std::string_view::npos;
  if (!twin && !comma) return field;
  rewritten.clear();
  if (twin) {
    Cp932NormalizeAppend(field, rewritten);
  } else {
    rewritten.assign(field);
  }
  if (comma) {
    WidenCommasBytes(rewritten);
    ++widened;
  }
  return rewritten;
}

// Whether a field may be written otherwise than it reads (see AsWritten).
bool MayChange(std::string_view field) {
  return Cp932MayHoldTwin(field) || field.find(',') != std::string_view::npos;
}

// Puts a piece at p and returns the end. Most pieces are short: two word
// copies that may overlap instead of a call.
char* Put(char* p, std::string_view piece) {
  const char* from = piece.data();
  const std::size_t n = piece.size();
  if (n >= 8 && n <= 16) {
    CopyAsTwoWords<std::uint64_t>(p, from, n);
  } else if (n >= 4 && n < 8) {
    CopyAsTwoWords<std::uint32_t>(p, from, n);
  } else if (n > 0) {
    std::memcpy(p, from, n);
  }
  return p + n;
}

// Puts a piece at p whose bytes can be read up to 32 past its start: up to
// 32 bytes go as whole blocks of 16, the bytes past the piece later
// overwritten or left past the line's end.
char* PutBlocks(char* p, std::string_view piece) {
#if TAVO_SSE2
  const std::size_t n = piece.size();
  if (n <= 32) {
    const char* from = piece.data();
    _mm_storeu_si128(reinterpret_cast<__m128i*>(p),
                     _mm_loadu_si128(reinterpret_cast<const __m128i*>(from)));
    if (n > 16) {
      _mm_storeu_si128(reinterpret_cast<__m128i*>(p + 16),
                       _mm_loadu_si128(reinterpret_cast<const __m128i*>(from + 16)));
    }
    return p + n;
  }
#endif
  return Put(p, piece);
}

}  // namespace

std::size_t LineBytes::IntermediateLines(std::string_view bytes, const KarteMap& karte,
                                         OutBuffer& out, std::size_t outLimit) {
  if (!blocksFit_ || bytes.size() < kSlack) return 0;
  // The last place a line may start with its slack after it.
  const char* const last = bytes.data() + (bytes.size() - kSlack);
  const ByteStringMap& map = karte.BytesWithoutTwins();
  // The table is too big for the nearest caches: lines are split kBatch ahead
  // of being written. A line's slot is fetched when it is split, its entry
  // kBatch / 2 lines later, and it is written kBatch / 2 lines after that.
  static_assert(kBatch % 2 == 0);
  std::array<std::uint64_t, kBatch> hashes;
  std::array<const char*, kBatch> ends;  // of each line with its break
  const char* next = bytes.data();       // the next line to split
  const char* written = bytes.data();    // the end of the lines written
  std::size_t split = 0;                 // lines split
  std::size_t done = 0;                  // lines written
  bool splitting = true;
  while (true) {
    if (splitting && split - done < kBatch) {
      IntermediateFields& f = batch_[split % kBatch];
      const std::size_t length = next <= last && out.size() < outLimit ? f.SplitWindow(next) : 0;
      if (length == 0) {
        splitting = false;  // the lines split still go out
      } else {
        next += length;
        ends[split % kBatch] = next;
        hashes[split % kBatch] = ByteStringMap::HashOf(f[0]);
        map.PrefetchSlot(hashes[split % kBatch]);
        if (split >= kBatch / 2) map.PrefetchEntry(hashes[(split - kBatch / 2) % kBatch]);
        ++split;
        continue;
      }
    }
    if (done == split) break;
    const IntermediateFields& f = batch_[done % kBatch];
    const std::string_view number = f.MayChange(0)
                                        ? karte.FindBytes(f[0])
                                        : karte.FindBytesWithoutTwins(f[0], hashes[done % kBatch]);
    counts_.notInDefinition += number.empty() ? 1 : 0;
    // The name and the postal code as read lie in the window, readable 32
    // bytes on; as rewritten they are not.
    const std::string_view name = AsWritten(f[1], f.MayChange(1), name_, counts_.widened);
    const std::string_view postcode =
        AsWritten(TrimBytes(f[5]), f.MayChange(5), postcode_, counts_.widened);
    constexpr std::size_t kBlock = 16;
    char* const begin = out.Room(number.size() + 1 + name.size() + postcode.size() + 4 * kBlock);
    char* at = Put(begin, number);
    *at++ = ',';
    at = name.data() == name_.data() ? Put(at, name) : PutBlocks(at, name);
    at = PutBlocks(at, {middleBlock_.data(), middle_.size()});
    at = postcode.data() == postcode_.data() ? Put(at, postcode) : PutBlocks(at, postcode);
    at = PutBlocks(at, {lineEndBlock_.data(), lineEnd_.size()});
    out.Grow(static_cast<std::size_t>(at - begin));
    written = ends[done % kBatch];
    ++done;
  }
  counts_.rows += done;
  return static_cast<std::size_t>(written - bytes.data());
}

void LineBytes::AppendLine(std::string_view sign, std::string_view number, std::string_view name,
                           bool nameMayChange, std::string_view postcode, bool postcodeMayChange,
                           OutBuffer& out) {
  name = AsWritten(name, nameMayChange, name_, counts_.widened);
  postcode = AsWritten(TrimBytes(postcode), postcodeMayChange, postcode_, counts_.widened);
  ++counts_.rows;
  char* p = out.Extend(sign.size() + number.size() + name.size() + middle_.size() +
                       postcode.size() + 1 + lineEnd_.size());
  p = Put(p, sign);
  p = Put(p, number);
  *p++ = ',';
  p = Put(p, name);
  p = Put(p, middle_);
  p = Put(p, postcode);
  Put(p, lineEnd_);
}

void LineBytes::OutputFileLine(std::string_view line, OutBuffer& out) {
  if (!fields_.Split(line, ',', false, 13)) {
    const Text converted = postal::OutputFileLine(Cp932Decode(line), date_, &counts_);
    if (converted.empty()) return;  // skipped
    out.Append(Cp932Encode(converted));
    out.Append(lineEnd_);
    return;
  }
  // Fields unquoted and cut at commas hold no comma.
  const auto whole = WholeNumber(TrimBytes(FieldAt(1)));
  const std::string_view name = FieldAt(2);
  const std::string_view postcode = FieldAt(12);
  if (!whole) {
    ++counts_.notNumber;
    return;
  }
  AppendLine(whole->first ? "-" : "", whole->second, name, Cp932MayHoldTwin(name), postcode,
             Cp932MayHoldTwin(TrimBytes(postcode)), out);
}

void LineBytes::IntermediateLine(std::string_view line, const KarteMap& karte, OutBuffer& out) {
  // Nearly every line: six fields or more, no quote among them.
  if (intermediate_.Split(line)) {
    const IntermediateFields& f = intermediate_;
    const std::string_view number =
        f.MayChange(0) ? karte.FindBytes(f[0]) : karte.FindBytesWithoutTwins(f[0]);
    counts_.notInDefinition += number.empty() ? 1 : 0;
    AppendLine({}, number, f[1], f.MayChange(1), f[5], f.MayChange(5), out);
    return;
  }
  if (!fields_.Split(line, '\t', true, 6)) {
    out.Append(Cp932Encode(postal::IntermediateLine(Cp932Decode(line), date_, karte, &counts_)));
    out.Append(lineEnd_);
    return;
  }
  const std::string_view number = karte.FindBytes(FieldAt(0));
  const std::string_view name = FieldAt(1);
  const std::string_view postcode = FieldAt(5);
  counts_.notInDefinition += number.empty() ? 1 : 0;
  AppendLine({}, number, name, MayChange(name), postcode, MayChange(TrimBytes(postcode)), out);
}

void OutputFileLineBytes(std::string_view line, const Text& date, std::string& out) {
  OutBuffer bytes;
  LineBytes(date, "").OutputFileLine(line, bytes);
  out += bytes.view();
}

void IntermediateLineBytes(std::string_view line, const Text& date, const KarteMap& karte,
                           std::string& out) {
  OutBuffer bytes;
  LineBytes(date, "").IntermediateLine(line, karte, bytes);
  out += bytes.view();
}

Text OutputName(TextView mstNgt) { return Text(mstNgt) + T("_postcode.csv"); }

RunResult Cnv(const Env& env, TextView year, TextView month, TextView pstFile) {
  RunResult result;
  result.Describe(T(kOperation), RunOptions("OUTPUTファイル", year, month),
                  {PathFromText(pstFile)});
  try {
    const auto mstNgt = TargetMonth(year, month, result);
    if (!mstNgt) return result;
    const fs::path path = PathFromText(pstFile);
    if (!FileExists(path)) {
      result.Warn(T("OUTPUTファイルがありません。"));
      return result;
    }
    const Text date = *mstNgt + u"01";
    LineBytes lines(date, "\r\n");
    // Every line one by one: none is taken straight from the bytes read.
    const auto none = [](std::string_view, OutBuffer&, std::size_t) { return std::size_t{0}; };
    StreamRun(
        env, *mstNgt, {path}, none,
        [&](std::string_view line, OutBuffer& out) { lines.OutputFileLine(line, out); },
        [&](const Text& line) { return OutputFileLine(line, date, &lines.counts()); }, result);
    if (result.wrote()) CountRun(lines.counts(), result);
  } catch (const OpError& e) {
    result.Error(e.text());
    result.stopped = true;
  }
  return result;
}

RunResult Cnv2(const Env& env, TextView year, TextView month, TextView pstFile, TextView pstFile2) {
  RunResult result;
  result.Describe(T(kOperation), RunOptions("外来様式１中間ファイル", year, month),
                  {PathFromText(pstFile), PathFromText(pstFile2)});
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
    const KarteMap karte(path2);
    const Text date = *mstNgt + u"01";
    LineBytes lines(date, "\r\n");
    StreamRun(
        env, *mstNgt, {path, path2},
        [&](std::string_view bytes, OutBuffer& out, std::size_t limit) {
          return lines.IntermediateLines(bytes, karte, out, limit);
        },
        [&](std::string_view line, OutBuffer& out) { lines.IntermediateLine(line, karte, out); },
        [&](const Text& line) { return IntermediateLine(line, date, karte, &lines.counts()); },
        result);
    if (result.wrote()) CountRun(lines.counts(), result);
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
  result.Describe(T(kOperation), RunOptions("形式未定", year, month), {path});
  std::vector<Text> lines;
  try {
    lines = LoadLeadingLines(path, 1);  // the form needs the first line only
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
