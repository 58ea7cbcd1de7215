#include "replace/replace_ops.h"

#include <algorithm>
#include <system_error>

#include "core/comma.h"
#include "core/cp932.h"
#include "core/errors.h"
#include "core/files.h"

namespace tavo::replace {

namespace {

char16_t FoldChar(char16_t c) {
  if (c >= u'A' && c <= u'Z') return c + 0x20;
  if (c < 0xC0) return c;
  if (c <= 0xDE) return c == 0xD7 ? c : c + 0x20;               // Latin-1 capitals
  if (c >= 0x391 && c <= 0x3A9 && c != 0x3A2) return c + 0x20;  // Greek
  if (c >= 0x410 && c <= 0x42F) return c + 0x20;                // Cyrillic
  if (c >= 0x400 && c <= 0x40F) return c + 0x50;                // Cyrillic Ѐ..Џ
  if (c >= 0xFF21 && c <= 0xFF3A) return c + 0x20;              // full-width Latin
  return c;
}

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

bool LoadMap(TextView pstFile, NumberMap& map, RunResult& result, bool padded) {
  map.Clear();
  const fs::path path = PathFromText(pstFile);
  if (!FileExists(path)) {
    result.Warn(NoDefinitionText());
    return false;
  }
  try {
    LineReader reader(path);
    Text line;
    FieldList fields;
    while (reader.Next(line)) {
      fields.clear();
      GetCommaTxt(line, fields);
      if (fields.size() < 2) continue;
      Text oldNumber = Trim(fields[0]);
      Text newNumber = Trim(fields[1]);
      if (padded) {
        oldNumber = ZeroFill10(oldNumber);
        newNumber = ZeroFill10(newNumber);
      }
      map.Add(std::move(oldNumber), std::move(newNumber));
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
bool OpenInput(TextView pstFile, std::optional<AnyEndLineReader>& reader,
               std::string_view& firstLine, RunResult& result) {
  const fs::path path = PathFromText(pstFile);
  if (!FileExists(path)) {
    result.Warn(T("ファイルがありません。"));
    return false;
  }
  reader.emplace(path);
  if (!reader->NextBytes(firstLine)) {
    result.Warn(T("「") + Text(pstFile) + T("」にはデータがありません。"));
    return false;
  }
  return true;
}

// The output of a run whose name is known only at the end. Its write errors
// wait until then: a faulty line, or a refusal to write, is reported first,
// as when the output was written only after the whole input was read.
class LateNamedOutput {
 public:
  explicit LateNamedOutput(const fs::path& provisional) {
    Try([&] { file_.emplace(provisional); });
  }
  void Write(std::string_view bytes) {
    if (file_) Try([&] { file_->Write(bytes); });
  }
  void CommitAs(const fs::path& target) {
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
      file_.reset();
    }
  }
  std::optional<AtomicFile> file_;
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

void NumberMap::Clear() {
  mlsList.clear();
  mlsList2.clear();
  index_.clear();
  asciiIndex_.Clear();
  newBytes_.clear();
}

namespace {
bool FoldAscii(std::string_view key, std::string& folded) {
  folded.clear();
  for (const char c : key) {
    if (static_cast<unsigned char>(c) >= 0x80) return false;
    folded.push_back(c >= 'A' && c <= 'Z' ? static_cast<char>(c + 0x20) : c);
  }
  return true;
}
}  // namespace

void NumberMap::Add(Text oldNumber, Text newNumber) {
  const Text folded = FoldCase(oldNumber);
  bool ascii = true;
  for (const char16_t c : folded) ascii = ascii && c < 0x80;
  if (ascii) {
    asciiIndex_.Insert(std::string(folded.begin(), folded.end()),
                       static_cast<std::uint32_t>(mlsList.size()));
  }
  index_.emplace(folded, mlsList.size());  // keeps the earliest line
  newBytes_.push_back(Cp932Encode(newNumber));
  mlsList.push_back(std::move(oldNumber));
  mlsList2.push_back(std::move(newNumber));
}

std::optional<std::size_t> NumberMap::Find(TextView key) const {
  const auto it = index_.find(FoldCase(key));
  if (it == index_.end()) return std::nullopt;
  return it->second;
}

std::optional<std::size_t> NumberMap::FindBytes(std::string_view key) const {
  thread_local std::string folded;
  if (!FoldAscii(key, folded)) return Find(Cp932Decode(key));
  return asciiIndex_.Find(folded);
}

Text FoldCase(TextView text) {
  Text out(text);
  for (char16_t& c : out) c = FoldChar(c);
  return out;
}

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

void ReplaceLineBytes(std::string_view line, const NumberMap& map, std::string& out) {
  thread_local std::vector<std::string_view> fields;
  if (!ParseLeadingFieldsBytes(line, ',', false, 2, fields)) {
    Cp932EncodeAppend(ReplaceLine(Cp932Decode(line), map), out);
    return;
  }
  if (fields.size() < 2) ThrowIndexError(1);
  const std::string_view key = TrimBytes(fields[1]);
  std::optional<std::size_t> hit;
  if (!key.empty()) hit = map.FindBytes(key);
  if (!hit) {
    Cp932NormalizeAppend(line, out);
    return;
  }
  if (!BelowTrailBytes(key)) {
    Cp932EncodeAppend(ReplaceAll(Cp932Decode(line), Cp932Decode(key), map.mlsList2[*hit]), out);
    return;
  }
  const std::string& to = map.NewBytes(*hit);
  std::size_t pos = 0;
  while (true) {
    const std::size_t at = line.find(key, pos);
    if (at == std::string_view::npos) break;
    Cp932NormalizeAppend(line.substr(pos, at - pos), out);
    out += to;
    pos = at + key.size();
  }
  Cp932NormalizeAppend(line.substr(pos), out);
}

RunResult Cnv(const Env& env, TextView pstFile, const NumberMap& map) {
  RunResult result;
  try {
    // The lines stream from the input into the output, one at a time.
    const fs::path path = PathFromText(pstFile);
    std::optional<AnyEndLineReader> reader;
    std::string_view bytes;
    if (!OpenInput(pstFile, reader, bytes, result)) return result;
    const Text outName = OutputName1(FileNamePart(pstFile));
    const fs::path target = env.ProgramFile(PathFromText(outName));
    // An output that would replace the input is still converted to the end
    // (a faulty line is reported first, as ever) but never written.
    std::optional<AtomicFile> out;
    if (!SameFile(path, target)) out.emplace(target);
    const bool plain = reader->coding() == TextCoding::kCp932;
    std::string chunk;
    Text text;
    do {
      if (plain) {
        ReplaceLineBytes(bytes, map, chunk);
      } else {
        text.clear();
        AnyEndLineReader::Decode(reader->coding(), bytes, text);
        Cp932EncodeAppend(ReplaceLine(text, map), chunk);
      }
      chunk += "\r\n";
      if (chunk.size() >= (1 << 16)) {
        if (out) out->Write(chunk);
        chunk.clear();
      }
    } while (reader->NextBytes(bytes));
    if (result.RefusesOverwrite(target, outName, {path})) return result;
    out->Write(chunk);
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

// RebuildsUnchanged on code page 932 bytes: the quote and the blanks are
// single bytes below 40, never part of a double-byte code.
// Without an early exit the loop is vectorized.
bool RebuildsUnchangedBytes(std::string_view line) {
  bool quotedOrBlank = false;
  for (const char c : line) {
    const auto b = static_cast<unsigned char>(c);
    quotedOrBlank |= (b == '"') | (static_cast<unsigned char>(b - 1) < 0x20);
  }
  return !line.empty() && !quotedOrBlank;
}

// ASCII with nothing that trimming would take off (00 is trimmed too).
bool IsPlainKey(std::string_view bytes) {
  for (const char c : bytes) {
    const auto b = static_cast<unsigned char>(c);
    if (b <= 0x20 || b >= 0x80) return false;
  }
  return true;
}

}  // namespace

void ReplaceRecordBytes(std::string_view line, const NumberMap& map, Text& suffix,
                        std::string& out) {
  const auto throughText = [&] {
    Cp932EncodeAppend(ReplaceRecord(Cp932Decode(line), map, suffix), out);
  };
  // Lines with a quote or a blank are split and joined again: the text rule.
  if (!RebuildsUnchangedBytes(line)) return throughText();
  // Otherwise splitting at the commas and joining gives the line back.
  const std::size_t idEnd = std::min(line.find(','), line.size());
  const std::string_view id = line.substr(0, idEnd);
  if (id == "IR") {
    if (idEnd == line.size()) ThrowIndexError(1);
    const std::string_view payer = line.substr(idEnd + 1, line.find(',', idEnd + 1) - idEnd - 1);
    if (payer == "1") {
      suffix = T("_1R.UKE");
    } else if (payer == "2") {
      suffix = T("_2R.UKE");
    }
  } else if (id == "RE") {
    std::size_t comma = idEnd;  // the comma before field 1, then before each next one
    for (int field = 2; field <= 13 && comma < line.size(); ++field) {
      comma = std::min(line.find(',', comma + 1), line.size());
    }
    if (comma >= line.size()) ThrowIndexError(13);
    const std::size_t chartBegin = comma + 1;
    const std::size_t chartEnd = std::min(line.find(',', chartBegin), line.size());
    const std::string_view chart = line.substr(chartBegin, chartEnd - chartBegin);
    if (!chart.empty()) {
      if (!IsPlainKey(chart)) return throughText();
      if (const auto hit = map.FindBytes(chart)) {
        const std::string& to = map.NewBytes(*hit);
        // A new number the join would quote takes the text rule.
        if (!RebuildsUnchangedBytes(to) || to.find(',') != std::string::npos) {
          return throughText();
        }
        Cp932NormalizeAppend(line.substr(0, chartBegin), out);
        out += to;
        Cp932NormalizeAppend(line.substr(chartEnd), out);
        return;
      }
    }
  }
  Cp932NormalizeAppend(line, out);
}

RunResult Cnv2(const Env& env, TextView pstFile, const NumberMap& map, ClickOutputs* click) {
  RunResult result;
  try {
    // The records stream from the input into a temporary file; the output's
    // name waits for the last IR record.
    const fs::path path = PathFromText(pstFile);
    std::optional<AnyEndLineReader> reader;
    std::string_view bytes;
    if (!OpenInput(pstFile, reader, bytes, result)) return result;
    const Text name = FileNamePart(pstFile);
    LateNamedOutput out(env.ProgramFile(PathFromText(OutputName2(name, u"R.UKE"))));
    const bool plain = reader->coding() == TextCoding::kCp932;
    Text suffix = u"R.UKE";
    std::string chunk;
    Text text;
    do {
      if (plain) {
        ReplaceRecordBytes(bytes, map, suffix, chunk);
      } else {
        text.clear();
        AnyEndLineReader::Decode(reader->coding(), bytes, text);
        Cp932EncodeAppend(ReplaceRecord(std::move(text), map, suffix), chunk);
      }
      chunk += "\r\n";
      if (chunk.size() >= (1 << 16)) {
        out.Write(chunk);
        chunk.clear();
      }
    } while (reader->NextBytes(bytes));
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
