// Postal-code conversion: patient number, name, a chosen year-month and the
// postal code of every patient of an OUTPUT file (comma-separated) or of an
// outpatient form-1 intermediate file (tab-separated, keyed by data
// identification numbers that a definition file maps to patient numbers).
#pragma once

#include <array>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

#include "core/byte_string_map.h"
#include "core/env.h"
#include "core/leading_fields.h"
#include "core/result.h"
#include "core/text.h"
#include "postal/intermediate_fields.h"

namespace tavo::postal {

enum class TTextFileFormat { tfUnknown, tfCSV, tfTSV };

// The form of a first line: tabs at least as many as commas (and one at
// least) is tab-separated, else any comma makes it comma-separated.
TTextFileFormat GetTextFileFormat(TextView ALine);
// "CSV", "TSV" or empty, as the window keeps the form.
Text FormatName(TTextFileFormat format);

// Target year-month "YYYYMM" from the two boxes (era year, month). A joined
// text that is no month gives the warning "対象年月が正しくありません" in
// `result`; a two-character year that is not a number throws OpError.
std::optional<Text> TargetMonth(TextView year, TextView month, RunResult& result);

// Patient number of an OUTPUT line: a whole decimal number of any length
// without its leading zeros; empty for anything that is not one (the line is
// then skipped: several patients must never share one number).
Text OutputPatientNumber(TextView field);

// What a run did, counted while its lines are converted.
struct PostalCounts {
  std::size_t rows = 0;             // lines written after the header
  std::size_t notNumber = 0;        // OUTPUT lines skipped: the patient number is no number
  std::size_t notInDefinition = 0;  // intermediate lines written without a patient number
  std::size_t widened = 0;          // values whose commas became "，"
};

// Data identification number -> patient number of one definition file: the
// text after the first comma is the key, the text before it the value, later
// lines win, lines without a comma are ignored.
class KarteMap {
 public:
  explicit KarteMap(const std::vector<Text>& lines);
  // From the lines of a definition file by whole-file loading, read one at a time.
  explicit KarteMap(const std::filesystem::path& definition);
  // The patient number, or empty when the key is unknown (exact comparison).
  Text Get(const Text& pstDtsbt) const;
  // Get() of a key given as code page 932 bytes, as the bytes of its value
  // (empty when the key is unknown); valid as long as the map.
  std::string_view FindBytes(std::string_view key) const;
  // The same for a key with no byte that may start a code with a twin.
  std::string_view FindBytesWithoutTwins(std::string_view key) const {
    const auto hit = byteMap_.Find(key);
    return hit ? *hit : std::string_view();
  }
  // The same in steps, for the keys of lines looked up together (see
  // ByteStringMap): the hash, the fetches ahead, then the lookup.
  const ByteStringMap& BytesWithoutTwins() const { return byteMap_; }
  std::string_view FindBytesWithoutTwins(std::string_view key, std::uint64_t hash) const {
    const auto hit = byteMap_.Find(key, hash);
    return hit ? *hit : std::string_view();
  }

 private:
  void Put(const Text& line);
  void IndexBytes();
  // The pairs by their texts; empty when the file was read as bytes.
  std::unordered_map<Text, Text> map_;
  bool bytesOnly_ = false;
  // The keys whose text comes back from their code page 932 bytes, by those
  // bytes (as their text encodes) -> their value's bytes: bytes without a
  // twin code equal a key's bytes exactly when their text equals the key.
  ByteStringMap byteMap_;
};

// One lookup over the definition lines.
Text GetKarte(const std::vector<Text>& lines, const Text& pstDtsbt);

// The output line of one data line of an OUTPUT file (after its header) and
// of an intermediate file, `date` being YYYYMM01; empty for an OUTPUT line
// that is skipped. The commas of the name and the postal code become "，".
// Throw OpError (index error) when the line is short of a field they read.
// `counts`, when given, counts the line.
Text OutputFileLine(const Text& line, const Text& date, PostalCounts* counts = nullptr);
Text IntermediateLine(const Text& line, const Text& date, const KarteMap& karte,
                      PostalCounts* counts = nullptr);

// Output bytes gathered to be written in big pieces. A line's room is taken
// without being filled first: its writer fills all of it.
class OutBuffer {
 public:
  // The n bytes added at the end, to be filled.
  char* Extend(std::size_t n) {
    char* at = Room(n);
    size_ += n;
    return at;
  }
  // Room for up to n bytes at the end; Grow() then keeps those filled.
  char* Room(std::size_t n) {
    if (capacity_ - size_ < n) Reserve(size_ + n);
    return data_.get() + size_;
  }
  void Grow(std::size_t n) { size_ += n; }
  void Append(std::string_view bytes);
  std::string_view view() const { return {data_.get(), size_}; }
  const char* data() const { return data_.get(); }
  std::size_t size() const { return size_; }
  void clear() { size_ = 0; }
  void swap(OutBuffer& other) noexcept {
    data_.swap(other.data_);
    std::swap(size_, other.size_);
    std::swap(capacity_, other.capacity_);
  }

 private:
  void Reserve(std::size_t atLeast);
  std::unique_ptr<char[]> data_;
  std::size_t size_ = 0;
  std::size_t capacity_ = 0;
};

// The same on lines of code page 932 bytes, appending the output line's bytes
// (as WrtSet writes the text) and `lineEnd` to `out`, nothing for a skipped
// line. A line whose fields read are quoted goes through the text rule.
class LineBytes {
 public:
  LineBytes(const Text& date, std::string_view lineEnd);
  // Every line converted so far, whichever way; the text rule of a run counts here too.
  PostalCounts& counts() { return counts_; }
  void OutputFileLine(std::string_view line, OutBuffer& out);
  void IntermediateLine(std::string_view line, const KarteMap& karte, OutBuffer& out);
  // Whole intermediate lines from the start of `bytes` (each with its break),
  // cut and converted straight from the bytes read. It stops at a line it
  // leaves to IntermediateLine (see IntermediateFields::SplitWindow), when
  // fewer than kSlack bytes are left, or once `out` holds `outLimit` bytes.
  // Returns the bytes taken.
  static constexpr std::size_t kSlack = 128;
  std::size_t IntermediateLines(std::string_view bytes, const KarteMap& karte, OutBuffer& out,
                                std::size_t outLimit);

 private:
  std::string_view FieldAt(std::size_t index) const;  // or the index error of a short line
  // The output line from its values as read (the number as sign and digits);
  // the name and the postal code as written unless known to hold no twin code
  // and no comma.
  void AppendLine(std::string_view sign, std::string_view number, std::string_view name,
                  bool nameMayChange, std::string_view postcode, bool postcodeMayChange,
                  OutBuffer& out);
  Text date_;
  std::string middle_;  // ",YYYYMM01," between the name and the postal code
  std::string lineEnd_;
  // The same two in blocks of 16 bytes, to be copied whole (when they fit).
  std::array<char, 16> middleBlock_{};
  std::array<char, 16> lineEndBlock_{};
  bool blocksFit_ = false;
  LeadingFields fields_;  // of the current line
  IntermediateFields intermediate_;
  // Lines split ahead in IntermediateLines, so that their lookups wait on memory together.
  static constexpr std::size_t kBatch = 8;
  std::array<IntermediateFields, kBatch> batch_;
  std::string name_;  // the name and the postal code as written, where they differ
  std::string postcode_;
  PostalCounts counts_;
};
// One line of each kind, without line end.
void OutputFileLineBytes(std::string_view line, const Text& date, std::string& out);
void IntermediateLineBytes(std::string_view line, const Text& date, const KarteMap& karte,
                           std::string& out);

// Output name of a target month.
Text OutputName(TextView mstNgt);

// Run on an OUTPUT file. On success writes mstNgt + "_postcode.csv" into the
// program folder and sets gstMsg / gstFile1.
RunResult Cnv(const Env& env, TextView year, TextView month, TextView pstFile);
// Run on an intermediate file with its definition file; same contract.
RunResult Cnv2(const Env& env, TextView year, TextView month, TextView pstFile, TextView pstFile2);

// For callers without a window: the form decided from the file's first line as
// the selection button does, then the run of that form. `form` receives it.
RunResult RunFile(const Env& env, TextView year, TextView month, TextView pstFile,
                  TextView definition, TTextFileFormat& form);

}  // namespace tavo::postal
