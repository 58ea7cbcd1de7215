#include "replace/replace_ops.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <limits>
#include <system_error>
#include <type_traits>

#include "core/background_io.h"
#include "core/comma.h"
#include "core/cp932.h"
#include "core/errors.h"
#include "core/files.h"
#include "replace/input_lines.h"
#include "replace/key_find.h"
#include "replace/record_marks.h"

namespace tavo::replace {

namespace {

// The output is handed to the file in pieces of this size: few writes, and
// a buffer that stays small.
constexpr std::size_t kOutputChunk = 1 << 18;

Text FileNamePart(TextView pstFile) { return PathText(PathFromText(pstFile).filename()); }

// A definition line of ASCII, read on its bytes as GetCommaTxt reads its
// text: the first two pieces between commas, without their quotes, trimmed
// and (padded) zero-filled. False when the line has a single field.
bool AsciiPair(std::string_view line, bool padded, std::string& oldNumber, std::string& newNumber) {
  const std::size_t comma = line.find(',');
  if (comma == std::string_view::npos) return false;
  const std::size_t end = std::min(line.find(',', comma + 1), line.size());
  const auto number = [padded](std::string_view field, std::string& out) {
    std::string unquoted;
    if (field.find('"') != std::string_view::npos) {
      for (const char c : field) {
        if (c != '"') unquoted.push_back(c);
      }
      field = unquoted;
    }
    field = TrimBytes(field);
    out.assign(padded && field.size() < 10 ? 10 - field.size() : 0, '0');
    out.append(field);
  };
  number(line.substr(0, comma), oldNumber);
  number(line.substr(comma + 1, end - comma - 1), newNumber);
  return true;
}

enum class LineKind { kPlainAscii, kQuotedAscii, kOther };

// Most definition lines are ASCII without quotes: one pass tells, and finds
// their first two commas (npos where there are fewer).
LineKind ReadDefinitionLine(std::string_view line, std::size_t& first, std::size_t& second) {
  first = second = std::string_view::npos;
  bool quote = false;
  for (std::size_t i = 0; i < line.size(); ++i) {
    const char c = line[i];
    if (static_cast<unsigned char>(c) >= 0x80) return LineKind::kOther;
    quote |= c == '"';
    if (c != ',') continue;
    if (first == std::string_view::npos) {
      first = i;
    } else if (second == std::string_view::npos) {
      second = i;
    }
  }
  return quote ? LineKind::kQuotedAscii : LineKind::kPlainAscii;
}

// A number as AsciiPair gives it, of a field without quotes: trimmed and
// (padded) zero-filled, in `scratch` only when it needs the zeros.
std::string_view PlainNumber(std::string_view field, bool padded, std::string& scratch) {
  field = TrimBytes(field);
  if (!padded || field.size() >= 10) return field;
  scratch.assign(10 - field.size(), '0');
  scratch.append(field);
  return scratch;
}

bool LoadMap(TextView pstFile, NumberMap& map, RunResult& result, bool padded) {
  map.Clear();
  const fs::path path = PathFromText(pstFile);
  map.SetSource(path);
  if (!FileExists(path)) {
    result.Warn(NoDefinitionText());
    return false;
  }
  try {
    LineReader reader(path);
    // The numbers are pieces of the file's bytes: room for them at once
    // spares the copies of a growing store (a big file's pages are only
    // taken as they are filled).
    std::error_code ec;
    const std::uintmax_t size = fs::file_size(path, ec);
    constexpr std::uintmax_t kMost = std::numeric_limits<std::uint32_t>::max();
    if (!ec) map.Reserve(static_cast<std::size_t>(std::min(size, kMost)));
    std::string_view bytes;
    std::string oldBytes;
    std::string newBytes;
    FieldList fields;
    while (reader.NextView(bytes)) {
      std::size_t first;
      std::size_t second;
      const LineKind kind = ReadDefinitionLine(bytes, first, second);
      if (kind == LineKind::kPlainAscii) {
        if (first == std::string_view::npos) continue;  // a single field
        const std::size_t end = std::min(second, bytes.size());
        map.AddAscii(PlainNumber(bytes.substr(0, first), padded, oldBytes),
                     PlainNumber(bytes.substr(first + 1, end - first - 1), padded, newBytes));
        continue;
      }
      if (kind == LineKind::kQuotedAscii) {
        if (AsciiPair(bytes, padded, oldBytes, newBytes)) map.AddAscii(oldBytes, newBytes);
        continue;
      }
      fields.clear();
      GetCommaTxt(Cp932Decode(bytes), fields);
      if (fields.size() < 2) continue;
      Text oldNumber = Trim(fields[0]);
      Text newNumber = Trim(fields[1]);
      if (padded) {
        oldNumber = ZeroFill10(oldNumber);
        newNumber = ZeroFill10(newNumber);
      }
      map.Add(oldNumber, newNumber);
    }
  } catch (const OpError& e) {
    map.Clear();
    result.Error(e.text());
    result.stopped = true;
    return false;
  }
  return true;
}

// Opens the input at its first line; false (with the warning) when it is
// missing or has no line.
bool OpenInput(TextView pstFile, std::optional<InputLines>& reader, std::string_view& firstLine,
               RunResult& result) {
  const fs::path path = PathFromText(pstFile);
  if (!FileExists(path)) {
    result.Warn(T("ファイルがありません。"));
    return false;
  }
  reader.emplace(path);
  if (!reader->Next(firstLine)) {
    result.Warn(T("「") + Text(pstFile) + T("」にはデータがありません。"));
    return false;
  }
  return true;
}

// The output of a run whose name is known only at the end. Its write errors
// wait until then: a faulty line, or a refusal to write, is reported first,
// as when the output was written only after the whole input was read. As
// nothing waits for them, its blocks are written behind the run, on a second
// thread.
class LateNamedOutput {
 public:
  explicit LateNamedOutput(const fs::path& provisional) {
    Try([&] {
      file_.emplace(provisional);
      behind_.emplace(*file_);
    });
  }
  // Writes the bytes; `bytes` comes back empty, to fill again.
  void Write(std::string& bytes) {
    if (behind_) Try([&] { behind_->Write(bytes, bytes.size()); });
    bytes.clear();
  }
  void CommitAs(const fs::path& target) {
    if (behind_) Try([&] { behind_->Finish(); });
    if (error_) throw *error_;
    file_->CommitAs(target);
  }

 private:
  template <class Op>
  void Try(Op op) {
    try {
      op();
    } catch (const OpError& e) {
      error_.emplace(e);
      behind_.reset();
      file_.reset();
    }
  }
  std::optional<AtomicFile> file_;
  std::optional<WriteBehind<std::string>> behind_;  // writes file_
  std::optional<OpError> error_;
};

}  // namespace

// ParseCommaTxt's loop (strict off), stopped once `count` fields are out.
FieldList ParseLeadingFields(TextView t, char16_t delim, std::size_t count) {
  FieldList out;
  std::size_t i = 0;
  const std::size_t n = t.size();
  auto isBlank = [](char16_t c) { return c >= 0x01 && c <= 0x20; };
  auto skipBlanks = [&]() {
    while (i < n && isBlank(t[i]) && t[i] != delim) ++i;
  };
  skipBlanks();
  while (i < n && out.size() < count) {
    Text field;
    if (t[i] == u'"') {
      ++i;
      while (i < n) {
        if (t[i] == u'"') {
          if (i + 1 < n && t[i + 1] == u'"') {
            field.push_back(u'"');
            i += 2;
          } else {
            ++i;
            break;
          }
        } else {
          field.push_back(t[i++]);
        }
      }
    } else {
      const std::size_t start = i;
      while (i < n && t[i] != delim && !isBlank(t[i])) ++i;
      field.assign(t.substr(start, i - start));
    }
    out.push_back(std::move(field));
    skipBlanks();
    if (i < n && t[i] == delim) {
      if (i + 1 == n) out.emplace_back();
      ++i;
      skipBlanks();
    }
  }
  if (out.size() > count) out.resize(count);
  return out;
}

Text NoDefinitionText() { return T("変更定義ファイルがファイルがありません。"); }
Text NotDefinitionText() { return T("変換定義ファイルではありません。"); }

Text ZeroFill10(TextView number) {
  if (number.size() >= 10) return Text(number);
  return Text(10 - number.size(), u'0') + Text(number);
}

bool CsvSet(TextView pstFile, NumberMap& map, RunResult& result) {
  return LoadMap(pstFile, map, result, true);
}

bool CsvSet2(TextView pstFile, NumberMap& map, RunResult& result) {
  return LoadMap(pstFile, map, result, false);
}

std::vector<Text> LoadDefinitionLines(TextView pstFile) {
  return LoadLeadingLines(PathFromText(pstFile), 1);  // the check needs one line
}

Text OutputName1(TextView inputName) { return ReplaceAll(inputName, u".txt", u"R.txt"); }

Text OutputName2(TextView inputName, TextView suffix) {
  return ReplaceAll(inputName, u".UKE", suffix);
}

namespace {

// Bytes below 40 are never part of a double-byte code: a key made of them
// matches in the bytes exactly where it matches in the text.
bool BelowTrailBytes(std::string_view key) {
  for (const char c : key) {
    if (static_cast<unsigned char>(c) >= 0x40) return false;
  }
  return true;
}

// How many code page 932 bytes decoded into the text: one for each ASCII
// character, half-width katakana and byte kept as U+DC80..U+DCFF; two for
// every other code unit, each the character of a double-byte code.
std::size_t Cp932Length(TextView decoded) {
  std::size_t n = 0;
  for (const char16_t c : decoded) {
    const bool single = c < 0x80 || (c >= 0xFF61 && c <= 0xFF9F) || (c >= 0xDC80 && c <= 0xDCFF);
    n += single ? 1 : 2;
  }
  return n;
}

// Every occurrence of `key` in `text` (the decoded `line`), left to right,
// replaced by `to` in the line's bytes; the bytes around them are copied as
// they stand.
void ReplaceTextOccurrences(std::string_view line, TextView text, TextView key, std::string_view to,
                            std::string& out) {
  const std::size_t keyBytes = Cp932Length(key);
  std::size_t from = 0;  // in the text
  std::size_t byte = 0;  // the same place in the bytes
  for (std::size_t at; (at = text.find(key, from)) != TextView::npos; from = at + key.size()) {
    const std::size_t before = Cp932Length(text.substr(from, at - from));
    out.append(line.substr(byte, before));
    out.append(to);
    byte += before + keyBytes;
  }
  out.append(line.substr(byte));
}

// Every occurrence of a key of bytes below 40 replaced by `to`.
void ReplaceByteOccurrences(std::string_view line, std::string_view key, std::string_view to,
                            std::string& out) {
  std::size_t pos = 0;
  for (std::size_t at; (at = FindKey(line, key, pos)) != std::string_view::npos;
       pos = at + key.size()) {
    out.append(line.substr(pos, at - pos));
    out.append(to);
  }
  out.append(line.substr(pos));
}

enum class SecondField { kFound, kMissing, kQuoted };

// Where ParseCommaTxt (comma, strict off) finds the second field of a line of
// code page 932 bytes: the comma, the quote and the blanks are single bytes
// below 40, never part of a double-byte code. kQuoted when one of the first
// two fields opens with a quote, which only the text parse reads.
SecondField FindSecondField(std::string_view t, std::string_view& field) {
  // The bytes that end a field: the blanks 01..20 and the comma.
  static constexpr auto kEnds = [] {
    std::array<bool, 256> ends{};
    for (int b = 0x01; b <= 0x20; ++b) ends[b] = true;
    ends[','] = true;
    return ends;
  }();
  const std::size_t n = t.size();
  std::size_t i = 0;
  const auto at = [&t](std::size_t k) { return static_cast<unsigned char>(t[k]); };
  const auto skipBlanks = [&] {
    while (i < n && kEnds[at(i)] && t[i] != ',') ++i;
  };
  const auto run = [&] {
    while (i < n && !kEnds[at(i)]) ++i;
  };
  skipBlanks();
  if (i == n) return SecondField::kMissing;
  if (t[i] == '"') return SecondField::kQuoted;
  run();
  skipBlanks();
  if (i < n && t[i] == ',') {
    if (i + 1 == n) {  // a comma at the end gives an empty last field
      field = {};
      return SecondField::kFound;
    }
    ++i;
    skipBlanks();
  }
  if (i == n) return SecondField::kMissing;
  if (t[i] == '"') return SecondField::kQuoted;
  const std::size_t start = i;
  run();
  field = t.substr(start, i - start);
  return SecondField::kFound;
}

// A line one of whose first two fields opens with a quote: its key is read
// from the text, and replaced in the bytes.
NumberOutcome ReplaceQuotedLine(std::string_view line, const NumberMap& map, std::string& out) {
  const Text text = Cp932Decode(line);
  const Text key = Trim(At(ParseLeadingFields(text, u',', 2), 1));
  const auto hit = key.empty() ? std::nullopt : map.Find(key);
  if (!hit) {
    out.append(line);
    return key.empty() ? NumberOutcome::kBlank : NumberOutcome::kNotFound;
  }
  ReplaceTextOccurrences(line, text, key, map.NewBytes(*hit), out);
  return NumberOutcome::kReplaced;
}

}  // namespace

NumberOutcome ReplaceLine(TextView line, const NumberMap& map, Text& out) {
  const Text key = Trim(At(ParseLeadingFields(line, u',', 2), 1));
  const auto hit = key.empty() ? std::nullopt : map.Find(key);
  if (!hit) {
    out.append(line);
    return key.empty() ? NumberOutcome::kBlank : NumberOutcome::kNotFound;
  }
  out.append(ReplaceAll(line, key, map.mlsList2[*hit]));
  return NumberOutcome::kReplaced;
}

NumberOutcome ReplaceLineBytes(std::string_view line, const NumberMap& map, std::string& out) {
  std::string_view field2;
  switch (FindSecondField(line, field2)) {
    case SecondField::kQuoted:
      return ReplaceQuotedLine(line, map, out);
    case SecondField::kMissing:
      ThrowIndexError(1);
    case SecondField::kFound:
      break;
  }
  const std::string_view key = TrimBytes(field2);
  std::string_view to;
  if (key.empty() || !map.FindBytes(key, to)) {
    out.append(line);
    return key.empty() ? NumberOutcome::kBlank : NumberOutcome::kNotFound;
  }
  if (BelowTrailBytes(key)) {
    ReplaceByteOccurrences(line, key, to, out);
  } else {
    ReplaceTextOccurrences(line, Cp932Decode(line), Cp932Decode(key), to, out);
  }
  return NumberOutcome::kReplaced;
}

namespace {

// A receipt record is read as the split at every comma reads it: its fields
// lie between commas, and their double quotes are dropped. The comma and the
// quote are single bytes below 40, never part of a double-byte code, so the
// same reading serves code page 932 bytes and decoded text.
template <class View>
unsigned CodeUnit(typename View::value_type c) {
  return static_cast<std::make_unsigned_t<typename View::value_type>>(c);
}

// The field equals `ascii` once its double quotes are dropped.
template <class View>
bool SameUnquoted(View field, std::string_view ascii) {
  std::size_t k = 0;
  for (const auto c : field) {
    if (c == '"') continue;
    if (k == ascii.size() || CodeUnit<View>(c) != static_cast<unsigned char>(ascii[k])) {
      return false;
    }
    ++k;
  }
  return k == ascii.size();
}

// Nothing but quotes and blanks: a chart number that is not looked up.
template <class View>
bool BlankUnquoted(View field) {
  for (const auto c : field) {
    if (c != '"' && CodeUnit<View>(c) > 0x20) return false;
  }
  return true;
}

enum class RecordKind { kOther, kIr, kRe };

// `quoted`: the record may hold a double quote; without one, its name is read at once.
template <class View>
RecordKind KindOf(View line, bool quoted) {
  if (!quoted) {
    if (line.size() < 2 || (line.size() > 2 && line[2] != ',')) return RecordKind::kOther;
    if (line[0] == 'I' && line[1] == 'R') return RecordKind::kIr;
    if (line[0] == 'R' && line[1] == 'E') return RecordKind::kRe;
    return RecordKind::kOther;
  }
  const View name = line.substr(0, line.find(','));
  if (SameUnquoted(name, "IR")) return RecordKind::kIr;
  if (SameUnquoted(name, "RE")) return RecordKind::kRe;
  return RecordKind::kOther;
}

// Where field `index` (0-based, from 1) of a record begins and ends; the
// index error when the record has no such field.
template <class View>
void FieldBounds(View line, unsigned index, std::size_t& begin, std::size_t& end) {
  std::size_t comma = View::npos;
  if constexpr (std::is_same_v<View, std::string_view>) {
    comma = FindNthComma(line, 0, index);
  } else {
    for (std::size_t i = 0, n = index; i < line.size(); ++i) {
      if (line[i] == ',' && --n == 0) {
        comma = i;
        break;
      }
    }
  }
  if (comma == View::npos) ThrowIndexError(index);
  begin = comma + 1;
  end = std::min(line.find(',', begin), line.size());
}

// The record rewritten into `out`: an IR record's payer sets the suffix; an
// RE record's chart number (field 13) becomes what `newNumber` gives for it
// (nothing: not in the map) when it is not blank. Every other character is
// copied as it stands.
template <class View, class Out, class NewNumber>
NumberOutcome RewriteRecord(View line, bool quoted, Text& suffix, Out& out, NewNumber newNumber) {
  std::size_t begin = 0;
  std::size_t end = 0;
  switch (KindOf(line, quoted)) {
    case RecordKind::kOther:
      out.append(line);
      return NumberOutcome::kNotRead;
    case RecordKind::kIr: {
      FieldBounds(line, 1, begin, end);
      const View payer = line.substr(begin, end - begin);
      if (SameUnquoted(payer, "1")) {
        suffix = T("_1R.UKE");
      } else if (SameUnquoted(payer, "2")) {
        suffix = T("_2R.UKE");
      }
      out.append(line);
      return NumberOutcome::kNotRead;
    }
    case RecordKind::kRe:
      break;
  }
  FieldBounds(line, 13, begin, end);
  const View chart = line.substr(begin, end - begin);
  if (BlankUnquoted(chart)) {
    out.append(line);
    return NumberOutcome::kBlank;
  }
  const auto to = newNumber(chart);
  if (!to) {
    out.append(line);
    return NumberOutcome::kNotFound;
  }
  out.append(line.substr(0, begin));
  out.append(*to);
  out.append(line.substr(end));
  return NumberOutcome::kReplaced;
}

// The chart number as the split reads it: its quotes dropped, trimmed.
Text UnquotedNumber(TextView chart) { return Trim(RemoveChar(chart, u'"')); }

NumberOutcome RewriteRecordBytes(std::string_view line, bool quoted, const NumberMap& map,
                                 Text& suffix, std::string& out) {
  return RewriteRecord(line, quoted, suffix, out,
                       [&](std::string_view chart) -> std::optional<std::string_view> {
                         // A quote may join the bytes around it into other
                         // characters once dropped: such a number is read as text.
                         if (quoted && chart.find('"') != std::string_view::npos) {
                           const auto hit = map.Find(UnquotedNumber(Cp932Decode(chart)));
                           if (!hit) return std::nullopt;
                           return map.NewBytes(*hit);
                         }
                         std::string_view to;
                         if (!map.FindBytes(TrimBytes(chart), to)) return std::nullopt;
                         return to;
                       });
}

}  // namespace

NumberOutcome ReplaceRecord(TextView line, const NumberMap& map, Text& suffix, Text& out) {
  const bool quoted = line.find(u'"') != TextView::npos;
  return RewriteRecord(line, quoted, suffix, out, [&](TextView chart) -> std::optional<Text> {
    const auto hit = map.Find(UnquotedNumber(chart));
    if (!hit) return std::nullopt;
    return map.mlsList2[*hit];
  });
}

NumberOutcome ReplaceRecordBytes(std::string_view line, const NumberMap& map, Text& suffix,
                                 std::string& out) {
  return RewriteRecordBytes(line, line.find('"') != std::string_view::npos, map, suffix, out);
}

namespace {

// The counts of a run's numbers: the lines or records read, the numbers
// replaced, and the numbers not in the map with the first of their line
// numbers. Kept as the lines stream by: an increment or two per line.
class NumberTally {
 public:
  void Note(NumberOutcome outcome, std::size_t lineNumber) {
    if (outcome == NumberOutcome::kNotRead) return;
    ++read_;
    if (outcome == NumberOutcome::kReplaced) {
      ++replaced_;
    } else if (outcome == NumberOutcome::kNotFound) {
      if (notFound_ < kShown) notFoundLines_[notFound_] = lineNumber;
      ++notFound_;
    }
  }
  std::size_t read() const { return read_; }
  // "<what was read>、患者番号をN件置き換えました", and the numbers not found.
  void CountInto(RunResult& result, const Text& readText) const {
    result.Count(readText + T("、患者番号を") + IntToText(Signed(replaced_)) +
                 T("件置き換えました"));
    if (notFound_ == 0) return;
    Text lines;
    for (std::size_t i = 0; i < std::min(notFound_, kShown); ++i) {
      if (i > 0) lines += u", ";
      lines += IntToText(Signed(notFoundLines_[i]));
    }
    result.Count(T("定義にない番号: ") + IntToText(Signed(notFound_)) + T("件（") + lines +
                 T("行目") + (notFound_ > kShown ? T("ほか") : Text()) + T("）"));
  }

 private:
  static constexpr std::size_t kShown = 5;  // line numbers named
  static std::int64_t Signed(std::size_t n) { return static_cast<std::int64_t>(n); }
  std::size_t read_ = 0;
  std::size_t replaced_ = 0;
  std::size_t notFound_ = 0;
  std::array<std::size_t, kShown> notFoundLines_{};
};

Text OperationName() { return T("患者番号リプレース"); }

// Inputs for the run history: the files named (a blank path names none).
std::vector<fs::path> NamedFiles(const std::vector<Text>& files) {
  std::vector<fs::path> paths;
  for (const Text& file : files) {
    if (!IsBlank(file)) paths.push_back(PathFromText(file));
  }
  return paths;
}

// The chart number (field 13, trimmed, as RewriteRecordBytes reads it) of
// the first RE record that starts a line from `from` on, in bytes that begin
// a line; false when there is none complete in them. `end` is where the
// search may go on.
bool FindNextChart(std::string_view ahead, std::size_t from, std::string_view& key,
                   std::size_t& end) {
  // An "R" is rare in receipt records (record names, now and then a second
  // byte of a double-byte code), so the library's search for it comes first.
  std::size_t at = from;
  while (true) {
    if (at >= ahead.size()) return false;
    const void* r = std::memchr(ahead.data() + at, 'R', ahead.size() - at);
    if (!r) return false;
    at = static_cast<std::size_t>(static_cast<const char*>(r) - ahead.data());
    const bool lineStart = at == 0 || ahead[at - 1] == '\n' || ahead[at - 1] == '\r';
    if (lineStart && ahead.substr(at, 3) == "RE,") break;
    ++at;
  }
  const std::size_t comma = FindNthComma(ahead, at + 2, 13);
  if (comma == std::string_view::npos) return false;
  std::size_t stop = comma + 1;
  while (stop < ahead.size() && ahead[stop] != ',' && ahead[stop] != '\r' && ahead[stop] != '\n') {
    ++stop;
  }
  if (stop == ahead.size()) return false;
  key = TrimBytes(ahead.substr(comma + 1, stop - comma - 1));
  end = stop;
  return true;
}

// The chart numbers of the receipts to come, looked up ahead of time, so
// that a receipt's lookup does not wait for memory: at each RE record the
// table place of the receipt after next is fetched, and the numbers of the
// next receipt, whose place was fetched at the receipt before. The next
// chart number is kept as its offset in the file, since the buffer moves.
class ChartLookahead {
 public:
  void AtReceipt(const InputLines& reader, const NumberMap& map) {
    const std::string_view ahead = reader.Ahead();
    const std::uint64_t offset = reader.AheadOffset();
    std::size_t from = 0;
    std::string_view key;
    if (next_ >= offset && next_ - offset + nextLength_ <= ahead.size()) {
      const std::size_t at = static_cast<std::size_t>(next_ - offset);
      map.PrefetchNumbers(ahead.substr(at, nextLength_));
      from = at + nextLength_;
    } else if (FindNextChart(ahead, 0, key, from)) {
      map.Prefetch(key);
    } else {
      next_ = kNone;
      return;
    }
    if (FindNextChart(ahead, from, key, from)) {
      map.Prefetch(key);
      next_ = offset + static_cast<std::uint64_t>(key.data() - ahead.data());
      nextLength_ = key.size();
    } else {
      next_ = kNone;
    }
  }

 private:
  static constexpr std::uint64_t kNone = ~std::uint64_t{0};
  std::uint64_t next_ = kNone;
  std::size_t nextLength_ = 0;
};

}  // namespace

RunResult Cnv(const Env& env, TextView pstFile, const NumberMap& map) {
  RunResult result;
  result.Describe(OperationName(), T("モード1"),
                  NamedFiles({PathText(map.source()), Text(pstFile)}));
  try {
    // The lines stream from the input into the output, one at a time.
    const fs::path path = PathFromText(pstFile);
    std::optional<InputLines> reader;
    std::string_view bytes;
    if (!OpenInput(pstFile, reader, bytes, result)) return result;
    const Text outName = OutputName1(FileNamePart(pstFile));
    const fs::path target = env.ProgramFile(PathFromText(outName));
    // An output that would replace the input is still converted to the end
    // (a faulty line is reported first, as ever) but never written.
    // Its chunks are written on a second thread while the next one fills.
    std::optional<AtomicFile> out;
    std::optional<WriteBehind<std::string>> behind;  // writes out; destroyed first
    if (!SameFile(path, target)) {
      out.emplace(target);
      behind.emplace(*out);
    }
    const bool plain = reader->coding() == TextCoding::kCp932;
    std::string chunk;
    Text text;
    Text replaced;
    NumberTally tally;
    std::size_t lineNumber = 0;
    const auto convert = [&] {
      do {
        ++lineNumber;
        if (plain) {
          tally.Note(ReplaceLineBytes(bytes, map, chunk), lineNumber);
        } else {
          text.clear();
          replaced.clear();
          AnyEndLineReader::Decode(reader->coding(), bytes, text);
          tally.Note(ReplaceLine(text, map, replaced), lineNumber);
          Cp932EncodeAppend(replaced, chunk);
        }
        chunk += reader->LineEnd();
        if (chunk.size() >= kOutputChunk) {
          if (behind) behind->Write(chunk, chunk.size());
          chunk.clear();
        }
      } while (reader->Next(bytes));
    };
    // A write error comes before a faulty line after it, and before the refusal.
    if (behind) {
      behind->Run(convert);
    } else {
      convert();
    }
    if (result.RefusesOverwrite(target, outName, {path})) return result;
    behind->Write(chunk, chunk.size());
    behind->Finish();
    out->Commit();
    result.HandOver(target, outName);
    tally.CountInto(result, IntToText(static_cast<std::int64_t>(lineNumber)) + T("行を読み"));
  } catch (const OpError& e) {
    result.Error(e.text());
    result.stopped = true;
  }
  return result;
}

RunResult Cnv2(const Env& env, TextView pstFile, const NumberMap& map, ClickOutputs* click) {
  RunResult result;
  result.Describe(OperationName(), T("モード2"),
                  NamedFiles({PathText(map.source()), Text(pstFile)}));
  try {
    // The records stream from the input into a temporary file; the output's
    // name waits for the last IR record.
    const fs::path path = PathFromText(pstFile);
    std::optional<InputLines> reader;
    std::string_view bytes;
    if (!OpenInput(pstFile, reader, bytes, result)) return result;
    const Text name = FileNamePart(pstFile);
    LateNamedOutput out(env.ProgramFile(PathFromText(OutputName2(name, u"R.UKE"))));
    const bool plain = reader->coding() == TextCoding::kCp932;
    Text suffix = u"R.UKE";
    std::string chunk;
    Text text;
    Text replaced;
    bool quoted = bytes.find('"') != std::string_view::npos;  // later lines' come with them
    ChartLookahead lookahead;
    NumberTally tally;
    std::size_t lineNumber = 0;
    do {
      ++lineNumber;
      if (plain) {
        // Most records are copied at once, with the line end that follows
        // them in the reader's buffer: neither an IR nor an RE record, nor
        // one whose name a quote may hide.
        if (!quoted && (bytes.empty() || (bytes[0] != 'I' && bytes[0] != 'R'))) {
          chunk.append(bytes.data(), bytes.size() + reader->LineEnd().size());
        } else {
          // A receipt's other records follow its RE record: while they are
          // copied, what the next receipts' lookups need is fetched.
          if (bytes.starts_with("RE,")) lookahead.AtReceipt(*reader, map);
          tally.Note(RewriteRecordBytes(bytes, quoted, map, suffix, chunk), lineNumber);
          chunk += reader->LineEnd();
        }
      } else {
        text.clear();
        replaced.clear();
        AnyEndLineReader::Decode(reader->coding(), bytes, text);
        tally.Note(ReplaceRecord(text, map, suffix, replaced), lineNumber);
        Cp932EncodeAppend(replaced, chunk);
        chunk += reader->LineEnd();
      }
      if (chunk.size() >= kOutputChunk) out.Write(chunk);
    } while (reader->Next(bytes, quoted));
    out.Write(chunk);
    const Text outName = OutputName2(name, suffix);
    const fs::path target = env.ProgramFile(PathFromText(outName));
    if (result.RefusesOverwrite(target, outName, {path})) return result;
    if (click && click->Refuses(target, outName, pstFile, result)) return result;
    out.CommitAs(target);
    if (click) click->Add(target, pstFile);
    result.HandOver(target, outName);
    tally.CountInto(result,
                    T("RE ") + IntToText(static_cast<std::int64_t>(tally.read())) + T("件を読み"));
  } catch (const OpError& e) {
    result.Error(e.text());
    result.stopped = true;
  }
  return result;
}

bool LoadForRun(int mode, TextView definition, const std::vector<Text>& inputs, NumberMap& map,
                RunResult& result) {
  std::vector<Text> named = {Text(definition)};
  named.insert(named.end(), inputs.begin(), inputs.end());
  result.Describe(OperationName(), mode == 1 ? T("モード1") : T("モード2"), NamedFiles(named));
  return mode == 1 ? CsvSet(definition, map, result) : CsvSet2(definition, map, result);
}

RunResult RunMode1(const Env& env, TextView definition, TextView file) {
  RunResult loadResult;
  NumberMap map;
  if (!LoadForRun(1, definition, {Text(file)}, map, loadResult)) return loadResult;
  return Cnv(env, file, map);
}

std::vector<RunResult> RunMode2(const Env& env, TextView definition, TextView shahoFile,
                                TextView kokuhoFile) {
  RunResult loadResult;
  NumberMap map;
  if (!LoadForRun(2, definition, {Text(shahoFile), Text(kokuhoFile)}, map, loadResult)) {
    return {loadResult};
  }
  std::vector<RunResult> results;
  ClickOutputs click;
  results.push_back(Cnv2(env, shahoFile, map, &click));
  if (!results.back().stopped) results.push_back(Cnv2(env, kokuhoFile, map, &click));
  return results;
}

}  // namespace tavo::replace
