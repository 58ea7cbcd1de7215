// Reading and writing the system's text files.
#pragma once

#include <cstdio>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "core/line_breaks.h"
#include "core/system_error_text.h"
#include "core/text.h"

namespace tavo {

namespace fs = std::filesystem;

// Path text for messages (UTF-16).
Text PathText(const fs::path& path);
// A path from system text.
fs::path PathFromText(TextView text);

// The file operations every reader and writer goes through, so that the
// fault seam (core/fault.h) sees each of them. A failure is noted for the
// message that follows it (ThrowOpenError, ThrowReadError: core/errors.h).
//
// Opening for reading lets other programs go on reading, writing and
// deleting the file (an input open in Excel is still read). Removing, and
// AtomicFile's replacing, wait out a file that another program holds: on
// Windows' sharing or lock violation, or its "access denied" on a file that is
// there and not read-only, they try again after growing waits, about 2 s in
// all, then fail as before.
std::FILE* OpenForReading(const fs::path& path);  // nullptr when it cannot open
// One fread of up to `want` bytes into `got`; false on a read error.
bool ReadChunk(std::FILE* f, char* buf, std::size_t want, std::size_t& got);
bool RemoveFile(const fs::path& path) noexcept;  // false when it could not be removed
bool MakeFolder(const fs::path& path) noexcept;  // one level; false when it failed

bool FileExists(const fs::path& path);            // a regular file is there
bool FolderExists(const fs::path& path);          // a folder is there
// A file marked read-only (Windows' attribute; false on other systems).
bool IsReadOnlyFile(const fs::path& path);
std::string ReadFileBytes(const fs::path& path);  // throws OpError

// The file of a streamed reader, unbuffered: its reads go straight into the
// reader's buffer. Throws OpError when it cannot be opened.
std::FILE* OpenForStreaming(const fs::path& path);
// One more read into a streamed reader's buffer: the unread bytes [begin,
// end) move to its start, the buffer doubles when they fill it (a line longer
// than the buffer), and the read goes after them. Returns the bytes read; a
// short read sets `eof`. Throws OpError on a read error.
std::size_t Refill(std::FILE* file, const fs::path& path, std::unique_ptr<char[]>& buf,
                   std::size_t& cap, std::size_t& begin, std::size_t& end, bool& eof);

// Line-by-line reading: raw bytes of each line (code page 932 on the disk).
// A line ends at LF; a CR before that LF belongs to the line end; any other CR
// is dropped; reading stops at the first byte 1A. Streams the file.
class LineReader {
 public:
  explicit LineReader(const fs::path& path);  // throws OpError when it cannot open
  ~LineReader();
  LineReader(const LineReader&) = delete;
  LineReader& operator=(const LineReader&) = delete;

  // The next line's bytes; the view stays valid until the next call. False at the end.
  bool NextView(std::string_view& line);
  bool NextRaw(std::string& line);  // false at the end
  bool Next(Text& line);            // decoded from code page 932

 private:
  bool Fill();
  std::string_view MakeLine(std::size_t begin, std::size_t end);
  fs::path path_;
  std::FILE* file_ = nullptr;
  std::unique_ptr<char[]> buf_;
  std::size_t cap_ = 0;
  std::size_t begin_ = 0;  // first unread byte
  std::size_t end_ = 0;    // end of the bytes read
  std::string scratch_;    // a line with lone CRs removed
  bool eof_ = false;
  bool stopped_ = false;  // met the 1A byte
};

// All lines of a file read line by line, decoded.
std::vector<Text> ReadLinesCp932(const fs::path& path);

// Whole-file loading: UTF-8 / UTF-16 LE / UTF-16 BE by byte-order mark, else
// code page 932; lines end at CR LF, LF or CR; 1A is an ordinary character.
std::vector<Text> LoadWholeFile(const fs::path& path);
// Same splitting over text already decoded.
std::vector<Text> SplitLinesAnyEnd(TextView text);

// Whole-file loading, streamed: the lines LoadWholeFile gives, one at a time,
// holding only a buffer and the current line. The byte-order mark is looked
// at first (or not, or only a UTF-8 one is skipped, as `marks` says); lines
// end at CR LF, LF or CR; 1A is an ordinary character.
enum class TextCoding { kCp932, kUtf8, kUtf16Le, kUtf16Be };
class AnyEndLineReader {
 public:
  enum class Marks {
    kDetect,    // a UTF-8 or UTF-16 byte-order mark selects the coding, else code page 932
    kCp932,     // code page 932 whatever the first bytes are
    kUtf8Only,  // UTF-8; a UTF-8 byte-order mark is skipped
  };
  explicit AnyEndLineReader(const fs::path& path, Marks marks = Marks::kDetect);  // throws OpError
  ~AnyEndLineReader();
  AnyEndLineReader(const AnyEndLineReader&) = delete;
  AnyEndLineReader& operator=(const AnyEndLineReader&) = delete;

  TextCoding coding() const { return coding_; }
  // The next line's bytes in coding() (UTF-16: whole code units), without its
  // line end; valid until the next call. False at the end.
  bool NextBytes(std::string_view& line);
  bool Next(Text& line);  // decoded
  // For a caller that cuts lines of a one-byte coding itself: the bytes read
  // and not yet taken, and taking the first n of them. It takes whole lines
  // with their breaks, a CR only once the byte after it is in view.
  std::string_view Unread() const { return {buf_.get() + begin_, end_ - begin_}; }
  void Take(std::size_t n) { begin_ += n; }
  // The whole line of such bytes that starts at `from`, and where the line
  // after it starts; false when its end is not in view. NextBytes cuts its
  // lines of a one-byte coding with it.
  static bool CutLine(std::string_view bytes, std::size_t from, std::string_view& line,
                      std::size_t& next) {
    const std::size_t at = from + FindCrOrLf(bytes.data() + from, bytes.size() - from);
    if (at + 1 > bytes.size() || (bytes[at] == '\r' && at + 1 == bytes.size())) return false;
    line = bytes.substr(from, at - from);
    next = at + 1 + (bytes[at] == '\r' && bytes[at + 1] == '\n');
    return true;
  }
  // One line's bytes decoded as a coding says.
  static void Decode(TextCoding coding, std::string_view bytes, Text& out);

 private:
  bool Fill();                              // false when nothing more could be read
  std::size_t FindBreak(std::size_t from);  // first CR or LF at or after `from`, or end_
  fs::path path_;
  std::FILE* file_ = nullptr;
  TextCoding coding_ = TextCoding::kCp932;
  std::size_t unit_ = 1;  // bytes per code unit
  std::unique_ptr<char[]> buf_;
  std::size_t cap_ = 0;
  std::size_t begin_ = 0;  // first unread byte
  std::size_t end_ = 0;    // end of the bytes read
  bool eof_ = false;
};

// The first `count` lines under the same rules, reading no further.
std::vector<Text> LoadLeadingLines(const fs::path& path, std::size_t count);

// Writes to a temporary file in the target's folder and renames it over the
// target only at Commit(); destroyed without Commit() it removes the temporary
// file and leaves any earlier target untouched. A read-only target is not
// replaced. A temporary file that cannot be made (a folder that cannot be
// written) is reported by Close() or Commit(), under the target's name at
// that time: for CommitAs, the name the output would have had.
//
// kToDisk also forces the data to the disk before the rename. Outputs made in
// the program folder do without it (their input is untouched, so a power cut
// only costs a rerun); a move that deletes its source afterwards needs it.
class AtomicFile {
 public:
  enum class Sync { kNone, kToDisk };
  explicit AtomicFile(const fs::path& target, Sync sync = Sync::kNone);  // throws OpError
  ~AtomicFile();
  AtomicFile(const AtomicFile&) = delete;
  AtomicFile& operator=(const AtomicFile&) = delete;

  void Write(std::string_view bytes);  // throws OpError
  // Writes out and closes the temporary file, which Commit() then only
  // renames: a run that puts two files in place learns of a write error
  // before either of them is there.
  void Close();   // throws OpError
  void Commit();  // throws OpError
  // Commit() under another name in the same folder: for outputs whose name is
  // known only once everything has been written.
  void CommitAs(const fs::path& target);  // throws OpError
  const fs::path& target() const { return target_; }

 private:
  void Abort() noexcept;
  fs::path target_;
  fs::path temp_;
  Sync sync_;
  std::FILE* file_ = nullptr;
  std::optional<SystemError> unopened_;  // why the temporary file could not be made
  std::string buf_;
  bool closed_ = false;
  bool committed_ = false;
};

// Atomic write of bytes as one file.
void WriteFileAtomic(const fs::path& path, std::string_view bytes);

// Writes each line followed by CR LF in code page 932, no BOM, atomically.
void WrtSet(const fs::path& stFile, const std::vector<Text>& SList);

// Writes each line (already bytes) followed by CR LF, atomically.
void WrtSetRaw(const fs::path& stFile, const std::vector<std::string>& lines);

// True when both paths name one file: the same existing file (also through
// another spelling or a link), or, when one is missing, the same full path.
bool SameFile(const fs::path& a, const fs::path& b);

// Copy `from` into `to` (replacing) through a temporary name in the
// destination, forced to the disk, then delete `from`. False when anything
// failed, with the reason in `why` when given; `from` then stays.
bool MoveFileSafely(const fs::path& from, const fs::path& to,
                    SystemError* why = nullptr) noexcept;

// A bare output name made safe for Windows and for staying inside its folder:
// \ / : * ? " < > |, control characters and unpaired surrogates (bytes that
// were not Shift_JIS, as decoded) become "_"; dots and blanks at the end,
// which Windows drops from a name, are removed; a name of only dots or blanks
// becomes "_". Other characters are kept. Every name built from file content
// goes through it.
Text SafeFileName(TextView name);
bool IsSafeFileName(TextView name);

}  // namespace tavo
