#include "replace/replace_ops.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <limits>
#include <system_error>

#include "core/background_io.h"
#include "core/comma.h"
#include "core/cp932.h"
#include "core/cp932_twins.h"
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

// True when splitting the line with GetCommaTxt and joining the fields with
// JoinCommaTxt gives the line back: not empty, no double quote, nothing that
// the join would quote.
bool RebuildsUnchanged(TextView line) {
  if (line.empty()) return false;
  for (const char16_t c : line) {
    if (c == u'"' || (c >= 0x01 && c <= 0x20)) return false;
  }
  return true;
}

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

Text ReplaceLine(const Text& line, const NumberMap& map) {
  const FieldList fields = ParseLeadingFields(line, u',', 2);
  const Text& field2 = At(fields, 1);
  if (field2.empty()) return line;
  const Text key = Trim(field2);
  if (const auto hit = map.Find(key)) return ReplaceAll(line, key, map.mlsList2[*hit]);
  return line;
}

namespace {

// Bytes below 40 are never the trail byte of a double-byte code: a key made
// of them matches in the bytes exactly where it matches in the text.
bool BelowTrailBytes(std::string_view key) {
  for (const char c : key) {
    if (static_cast<unsigned char>(c) >= 0x40) return false;
  }
  return true;
}

}  // namespace

namespace {

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

}  // namespace

void ReplaceLineBytes(std::string_view line, const NumberMap& map, std::string& out) {
  std::string_view field2;
  switch (FindSecondField(line, field2)) {
    case SecondField::kQuoted:
      Cp932EncodeAppend(ReplaceLine(Cp932Decode(line), map), out);
      return;
    case SecondField::kMissing:
      ThrowIndexError(1);
    case SecondField::kFound:
      break;
  }
  const std::string_view key = TrimBytes(field2);
  std::optional<std::size_t> hit;
  if (!key.empty()) hit = map.FindBytes(key);
  // A line whose bytes come back unchanged from decoding and encoding is
  // copied as it is.
  const bool changes = Cp932HasTwinLead(line) && Cp932ChangesOnReencodeExact(line);
  if (!hit) {
    if (changes) {
      Cp932NormalizeAppend(line, out);
    } else {
      out.append(line);
    }
    return;
  }
  if (!BelowTrailBytes(key)) {
    Cp932EncodeAppend(ReplaceAll(Cp932Decode(line), Cp932Decode(key), map.mlsList2[*hit]), out);
    return;
  }
  // The key's bytes end every piece of the line, and they are never a trail
  // byte: each piece reads as it did within the line.
  const bool twins = changes;
  const std::string_view to = map.NewBytes(*hit);
  std::size_t pos = 0;
  while (true) {
    const std::size_t at = FindKey(line, key, pos);
    const std::string_view piece = line.substr(pos, at - pos);
    if (twins) {
      Cp932NormalizeAppend(piece, out);
    } else {
      out.append(piece);
    }
    if (at == std::string_view::npos) break;
    out.append(to);
    pos = at + key.size();
  }
}

RunResult Cnv(const Env& env, TextView pstFile, const NumberMap& map) {
  RunResult result;
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
    const auto convert = [&] {
      do {
        if (plain) {
          ReplaceLineBytes(bytes, map, chunk);
        } else {
          text.clear();
          AnyEndLineReader::Decode(reader->coding(), bytes, text);
          Cp932EncodeAppend(ReplaceLine(text, map), chunk);
        }
        chunk += "\r\n";
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
  } catch (const OpError& e) {
    result.Error(e.text());
    result.stopped = true;
  }
  return result;
}

Text ReplaceRecord(Text line, const NumberMap& map, Text& suffix) {
  if (RebuildsUnchanged(line)) {
    const TextView id = TextView(line).substr(0, line.find(u','));
    if (id != u"IR" && id != u"RE") return line;
  }
  FieldList fields;
  GetCommaTxt(line, fields);
  if (fields[0] == u"IR") {
    const Text& payer = At(fields, 1);
    if (payer == u"1") {
      suffix = T("_1R.UKE");
    } else if (payer == u"2") {
      suffix = T("_2R.UKE");
    }
  } else if (fields[0] == u"RE") {
    // Only the chart number itself changes: a textual replace over the
    // whole record would also hit dates, codes and amounts.
    Text& chart = At(fields, 13);
    if (!chart.empty()) {
      const Text key = Trim(chart);
      if (!key.empty()) {
        if (const auto hit = map.Find(key)) chart = map.mlsList2[*hit];
      }
    }
  }
  return JoinCommaTxt(fields, false);
}

namespace {

bool IsBlankByte(char c) { return static_cast<unsigned char>(c - 1) < 0x20; }  // 01..20

// A field as JoinCommaTxt (strict off) writes it, on bytes: in quotes, its
// own quotes doubled, when it holds a quote, a comma or a blank. These are
// single bytes below 40, never part of a double-byte code.
void AppendJoinedField(std::string_view field, std::string& out) {
  const RecordMarks marks = ScanRecord(field);
  if (!marks.quote && !marks.blank && field.find(',') == std::string_view::npos) {
    out.append(field);
    return;
  }
  out.push_back('"');
  for (const char c : field) {
    if (c == '"') out.push_back('"');
    out.push_back(c);
  }
  out.push_back('"');
}

// ReplaceRecordBytes of a record whose marks are known.
void ReplaceMarkedRecord(std::string_view line, const RecordMarks& marks, const NumberMap& map,
                         Text& suffix, std::string& out) {
  // A quote is dropped by the split and may join the bytes around it into
  // other characters: such records, and the empty one, take the text rule.
  if (line.empty() || marks.quote) {
    Cp932EncodeAppend(ReplaceRecord(Cp932Decode(line), map, suffix), out);
    return;
  }
  // Commas end every field and are never a trail byte: each field reads as
  // it did within the record, and comes back unchanged when the record does.
  const bool twin = marks.twin && Cp932ChangesOnReencodeExact(line);
  const auto append = [&](std::string_view bytes) {
    if (twin) {
      Cp932NormalizeAppend(bytes, out);
    } else {
      out.append(bytes);
    }
  };
  const auto startsWith = [&line](std::string_view id) {
    return line.substr(0, 2) == id && (line.size() == 2 || line[2] == ',');
  };
  const bool ir = startsWith("IR");
  const bool re = startsWith("RE");
  if (!marks.blank && !ir && !re) return append(line);
  const std::size_t idEnd = std::min<std::size_t>(line.size(), 2);

  const auto fieldEnd = [&line](std::size_t begin) {
    return std::min(line.find(',', begin), line.size());
  };
  std::size_t chartBegin = 0;  // field 13 of an RE record, and what it becomes
  std::size_t chartEnd = 0;
  std::optional<std::string_view> newChart;
  if (ir) {
    if (idEnd == line.size()) ThrowIndexError(1);
    const std::string_view payer = line.substr(idEnd + 1, fieldEnd(idEnd + 1) - idEnd - 1);
    if (payer == "1") {
      suffix = T("_1R.UKE");
    } else if (payer == "2") {
      suffix = T("_2R.UKE");
    }
  } else if (re) {
    // The comma before field 13, the thirteenth of the record.
    const std::size_t at = FindNthComma(line, idEnd, 13);
    if (at == std::string_view::npos) ThrowIndexError(13);
    chartBegin = at + 1;
    chartEnd = fieldEnd(chartBegin);
    // Only the chart number itself changes: a textual replace over the
    // whole record would also hit dates, codes and amounts.
    const std::string_view key = TrimBytes(line.substr(chartBegin, chartEnd - chartBegin));
    if (!key.empty()) {
      std::string_view newBytes;
      if (map.FindBytes(key, newBytes)) newChart = newBytes;
    }
  }
  // The new number is written as the encoder gave it, never normalised: its
  // bytes are what the record's text gives.
  if (!marks.blank && !newChart) return append(line);
  if (!marks.blank) {
    const RecordMarks toMarks = ScanRecord(*newChart);
    if (!toMarks.quote && !toMarks.blank && newChart->find(',') == std::string_view::npos) {
      append(line.substr(0, chartBegin));
      out.append(*newChart);
      append(line.substr(chartEnd));
      return;
    }
  }
  // Blanks somewhere (or a new number to quote): the fields joined again.
  std::size_t begin = 0;
  while (true) {
    const std::size_t end = fieldEnd(begin);
    if (newChart && begin == chartBegin) {
      AppendJoinedField(*newChart, out);
    } else {
      const std::string_view field = line.substr(begin, end - begin);
      if (std::any_of(field.begin(), field.end(), IsBlankByte)) {
        out.push_back('"');
        append(field);
        out.push_back('"');
      } else {
        append(field);
      }
    }
    if (end == line.size()) break;
    out.push_back(',');
    begin = end + 1;
  }
}

// The chart number (field 13, trimmed, as ReplaceMarkedRecord reads it) of
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

void ReplaceRecordBytes(std::string_view line, const NumberMap& map, Text& suffix,
                        std::string& out) {
  ReplaceMarkedRecord(line, ScanRecord(line), map, suffix, out);
}

RunResult Cnv2(const Env& env, TextView pstFile, const NumberMap& map, ClickOutputs* click) {
  RunResult result;
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
    RecordMarks marks = ScanRecord(bytes);  // later lines' come with them
    ChartLookahead lookahead;
    do {
      bool ended = false;  // the record's CR LF written with it
      if (plain) {
        // Most records are copied as they are, with the CR LF that follows
        // them in the input when they have one: no quote, blank or twin code
        // in them, and neither an IR nor an RE record.
        if (!marks.quote && !marks.blank && !marks.twin && !bytes.empty() && bytes[0] != 'I' &&
            bytes[0] != 'R') {
          ended = reader->EndedInCrLf();
          chunk.append(bytes.data(), bytes.size() + (ended ? 2 : 0));
        } else {
          // A receipt's other records follow its RE record: while they are
          // written, what the next receipts' lookups need is fetched.
          if (bytes.starts_with("RE,")) lookahead.AtReceipt(*reader, map);
          ReplaceMarkedRecord(bytes, marks, map, suffix, chunk);
        }
      } else {
        text.clear();
        AnyEndLineReader::Decode(reader->coding(), bytes, text);
        Cp932EncodeAppend(ReplaceRecord(std::move(text), map, suffix), chunk);
      }
      if (!ended) chunk += "\r\n";
      if (chunk.size() >= kOutputChunk) out.Write(chunk);
    } while (reader->Next(bytes, marks));
    out.Write(chunk);
    const Text outName = OutputName2(name, suffix);
    const fs::path target = env.ProgramFile(PathFromText(outName));
    if (result.RefusesOverwrite(target, outName, {path})) return result;
    if (click && click->Refuses(target, outName, pstFile, result)) return result;
    out.CommitAs(target);
    if (click) click->Add(target, pstFile);
    result.HandOver(target, outName);
  } catch (const OpError& e) {
    result.Error(e.text());
    result.stopped = true;
  }
  return result;
}

RunResult RunMode1(const Env& env, TextView definition, TextView file) {
  RunResult loadResult;
  NumberMap map;
  if (!CsvSet(definition, map, loadResult)) return loadResult;
  return Cnv(env, file, map);
}

std::vector<RunResult> RunMode2(const Env& env, TextView definition, TextView shahoFile,
                                TextView kokuhoFile) {
  RunResult loadResult;
  NumberMap map;
  if (!CsvSet2(definition, map, loadResult)) return {loadResult};
  std::vector<RunResult> results;
  ClickOutputs click;
  results.push_back(Cnv2(env, shahoFile, map, &click));
  if (!results.back().stopped) results.push_back(Cnv2(env, kokuhoFile, map, &click));
  return results;
}

}  // namespace tavo::replace
