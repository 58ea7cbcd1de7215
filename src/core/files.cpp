#include "core/files.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <iterator>
#include <random>
#include <thread>

#include "core/cp932.h"
#include "core/errors.h"
#include "core/fault.h"
#include "core/line_breaks.h"

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#include <windows.h>
#else
#include <unistd.h>
#endif

namespace tavo {

Text PathText(const std::filesystem::path& path) {
#ifdef _WIN32
  const std::wstring w = path.wstring();
  return Text(w.begin(), w.end());
#else
  return FromUtf8(path.string());
#endif
}

std::filesystem::path PathFromText(TextView text) {
#ifdef _WIN32
  return std::filesystem::path(std::wstring(text.begin(), text.end()));
#else
  return std::filesystem::path(ToUtf8(text));
#endif
}

namespace {

// Opens for reading (other programs may go on reading, writing and deleting
// it meanwhile: an input open in Excel is still read) or makes a new file for
// writing. Fills `error` when it fails.
std::FILE* OpenFile(const fs::path& path, bool write, SystemError& error) {
  if (fault::Fails(FileOp::kOpen)) {
    error = fault::Injected();
    return nullptr;
  }
#ifdef _WIN32
  const HANDLE h =
      write ? CreateFileW(path.wstring().c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                          CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr)
            : CreateFileW(path.wstring().c_str(), GENERIC_READ,
                          FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                          OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) {
    error = LastSystemError(path);
    return nullptr;
  }
  const int fd = _open_osfhandle(reinterpret_cast<intptr_t>(h),
                                 (write ? _O_WRONLY : _O_RDONLY) | _O_BINARY);
  if (fd == -1) {
    error = LastSystemError(path);
    CloseHandle(h);
    return nullptr;
  }
  std::FILE* f = _fdopen(fd, write ? "wb" : "rb");
  if (!f) {
    error = SystemError{FileCause::kOther, 0};
    _close(fd);
  }
  return f;
#else
  std::FILE* f = std::fopen(path.c_str(), write ? "wb" : "rb");
  if (!f) error = LastSystemError(path);
  return f;
#endif
}

constexpr std::size_t kChunk = 1 << 16;
constexpr std::size_t kReadChunk = 1 << 20;

// fwrite of all the bytes; false when any is not written, with `error` filled.
bool WriteAll(std::FILE* f, const char* bytes, std::size_t n, const fs::path& path,
              SystemError& error) {
  if (fault::Fails(FileOp::kWrite)) {
    error = fault::Injected();
    return false;
  }
  // In pieces of at most 256 KiB: on Linux, writing 1 MiB per call cost a
  // run more system time, and far less steadily, than these pieces do.
  constexpr std::size_t kPiece = std::size_t{1} << 18;
  for (std::size_t done = 0; done < n;) {
    const std::size_t piece = std::min(n - done, kPiece);
    if (std::fwrite(bytes + done, 1, piece, f) != piece) {
      error = LastSystemError(path);
      return false;
    }
    done += piece;
  }
  return true;
}

// The waits before the retries of an operation on a file that another program
// holds (a virus scanner, for a moment; a viewer being closed): about 2 s in all.
constexpr int kRetryWaitsMs[] = {50, 100, 200, 400, 600, 650};

// Whether a failure may pass if waited for: a file held by another program.
// For a file that is there and not read-only, Windows also answers "access
// denied" while another program holds it open or is deleting it.
bool MayPass(const SystemError& error, const fs::path& file) {
  if (error.cause == FileCause::kHeld) return true;
#ifdef _WIN32
  return error.cause == FileCause::kAccessDenied && error.code == ERROR_ACCESS_DENIED &&
         FileExists(file);
#else
  (void)file;
  return false;
#endif
}

#ifdef _WIN32
// After the last wait: an "access denied" on a file that a program still holds
// without letting it be deleted is that program's doing, and staff are told so.
SystemError HeldOrAsReported(const SystemError& error, const fs::path& file) {
  if (error.cause != FileCause::kAccessDenied || !FileExists(file)) return error;
  const HANDLE h = CreateFileW(file.wstring().c_str(), DELETE,
                               FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                               OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h != INVALID_HANDLE_VALUE) {
    CloseHandle(h);
    return error;
  }
  const DWORD code = GetLastError();
  return code == ERROR_SHARING_VIOLATION ? SystemError{FileCause::kHeld, static_cast<long>(code)}
                                         : error;
}
#endif

// Runs `attempt` (true on success; on failure it fills the error) until it
// succeeds, fails in a way that waiting does not cure, or the waits are used
// up. `file` is the file whose hold is waited out. Each attempt is one
// operation for the fault seam.
template <class Attempt>
bool Retried(FileOp op, const fs::path& file, SystemError& error, Attempt attempt) {
  for (std::size_t i = 0;; ++i) {
    if (fault::Fails(op)) {
      error = fault::Injected();
    } else if (attempt(error)) {
      return true;
    }
    if (i == std::size(kRetryWaitsMs) || !MayPass(error, file)) break;
    fault::Wait(std::chrono::milliseconds(kRetryWaitsMs[i]));
  }
#ifdef _WIN32
  error = HeldOrAsReported(error, file);
#endif
  return false;
}

}  // namespace

std::FILE* OpenForReading(const fs::path& path) {
  SystemError error;
  std::FILE* f = OpenFile(path, false, error);
  if (!f) NoteFailure(FileAction::kOpen, path, error);
  return f;
}

bool ReadChunk(std::FILE* f, char* buf, std::size_t want, std::size_t& got) {
  if (fault::Fails(FileOp::kRead)) {
    got = 0;
    NoteFailure(FileAction::kRead, {}, fault::Injected());
    return false;
  }
  got = std::fread(buf, 1, want, f);
  if (got == want || std::ferror(f) == 0) return true;
  NoteFailure(FileAction::kRead, {}, LastSystemError({}));
  return false;
}

bool RemoveFile(const fs::path& path) noexcept {
  SystemError error;
  const bool removed = Retried(FileOp::kRemove, path, error, [&](SystemError& e) {
#ifdef _WIN32
    if (DeleteFileW(path.wstring().c_str())) return true;
    const DWORD code = GetLastError();
    // Nothing there is nothing to remove.
    if (code == ERROR_FILE_NOT_FOUND || code == ERROR_PATH_NOT_FOUND) return true;
    e = FromSystemCode(static_cast<long>(code), path);
#else
    std::error_code ec;
    fs::remove(path, ec);
    if (!ec) return true;
    e = FromSystemCode(ec.value(), path);
#endif
    return false;
  });
  if (!removed) NoteFailure(FileAction::kWrite, path, error);
  return removed;
}

bool MakeFolder(const fs::path& path) noexcept {
  SystemError error;
  if (fault::Fails(FileOp::kMakeFolder)) {
    error = fault::Injected();
  } else {
#ifdef _WIN32
    if (CreateDirectoryW(path.wstring().c_str(), nullptr)) return true;
    const DWORD code = GetLastError();
    if (code == ERROR_ALREADY_EXISTS && FolderExists(path)) return true;
    error = FromSystemCode(static_cast<long>(code), path);
#else
    std::error_code ec;
    fs::create_directory(path, ec);
    if (!ec) return true;
    error = FromSystemCode(ec.value(), path);
#endif
  }
  NoteFailure(FileAction::kWrite, path, error);
  return false;
}

bool IsReadOnlyFile(const fs::path& path) {
#ifdef _WIN32
  const DWORD attributes = GetFileAttributesW(path.wstring().c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY) &&
         !(attributes & FILE_ATTRIBUTE_DIRECTORY);
#else
  (void)path;
  return false;
#endif
}

bool FileExists(const fs::path& path) {
  std::error_code ec;
  return !path.empty() && fs::is_regular_file(path, ec);
}

bool FolderExists(const fs::path& path) {
  std::error_code ec;
  return !path.empty() && fs::is_directory(path, ec);
}

std::string ReadFileBytes(const fs::path& path) {
  SystemError error;
  std::FILE* f = OpenFile(path, false, error);
  if (!f) ThrowOpenError(path, error);
  std::string out;
  char buf[kChunk];
  while (true) {
    std::size_t got = 0;
    const bool ok = ReadChunk(f, buf, sizeof buf, got);
    out.append(buf, got);
    if (!ok || got < sizeof buf) {
      std::fclose(f);
      if (!ok) ThrowReadError(path);
      break;
    }
  }
  return out;
}

// ---------------------------------------------------------------- LineReader

std::FILE* OpenForStreaming(const fs::path& path) {
  if (FolderExists(path)) ThrowOpenError(path, SystemError{FileCause::kIsFolder, 0});
  SystemError error;
  std::FILE* f = OpenFile(path, false, error);
  if (!f) ThrowOpenError(path, error);
  std::setvbuf(f, nullptr, _IONBF, 0);
  return f;
}

std::size_t Refill(std::FILE* file, const fs::path& path, std::unique_ptr<char[]>& buf,
                   std::size_t& cap, std::size_t& begin, std::size_t& end, bool& eof) {
  if (begin > 0) {
    std::memmove(buf.get(), buf.get() + begin, end - begin);
    end -= begin;
    begin = 0;
  }
  if (end == cap) {
    const std::size_t bigger = cap == 0 ? kReadChunk : cap * 2;
    std::unique_ptr<char[]> grown(new char[bigger]);
    if (end > 0) std::memcpy(grown.get(), buf.get(), end);
    buf = std::move(grown);
    cap = bigger;
  }
  const std::size_t want = cap - end;
  std::size_t got = 0;
  if (!ReadChunk(file, buf.get() + end, want, got)) ThrowReadError(path);
  if (got < want) eof = true;
  end += got;
  return got;
}

LineReader::LineReader(const fs::path& path) : path_(path), file_(OpenForStreaming(path)) {}

LineReader::~LineReader() {
  if (file_) std::fclose(file_);
}

bool LineReader::Fill() {
  if (eof_ || stopped_) return false;
  const std::size_t got = Refill(file_, path_, buf_, cap_, begin_, end_, eof_);
  // Everything from the end-of-file mark on is ignored.
  if (const void* mark = std::memchr(buf_.get() + end_ - got, '\x1A', got)) {
    end_ = static_cast<std::size_t>(static_cast<const char*>(mark) - buf_.get());
    stopped_ = true;
  }
  return got > 0;
}

std::string_view LineReader::MakeLine(std::size_t begin, std::size_t end) {
  const char* p = buf_.get() + begin;
  const std::size_t n = end - begin;
  if (std::memchr(p, '\r', n) == nullptr) return std::string_view(p, n);
  // A CR that does not end the line is dropped.
  scratch_.clear();
  for (std::size_t i = 0; i < n; ++i)
    if (p[i] != '\r') scratch_.push_back(p[i]);
  return scratch_;
}

bool LineReader::NextView(std::string_view& line) {
  std::size_t scanFrom = begin_;
  // The line holds a CR that does not end it: from there on only its LF is
  // looked for, and MakeLine drops those CRs.
  bool loneCr = false;
  while (true) {
    const char* b = buf_.get();
    std::size_t at = end_;
    if (loneCr) {
      if (const void* hit =
              end_ > scanFrom ? std::memchr(b + scanFrom, '\n', end_ - scanFrom) : nullptr)
        at = static_cast<std::size_t>(static_cast<const char*>(hit) - b);
    } else if (end_ > scanFrom) {
      at = scanFrom + FindCrOrLf(b + scanFrom, end_ - scanFrom);
    }
    std::size_t scanned = end_ - begin_;
    if (at < end_) {
      if (b[at] == '\n') {
        std::size_t stop = at;
        if (stop > begin_ && b[stop - 1] == '\r') --stop;
        line = loneCr ? MakeLine(begin_, stop) : std::string_view(b + begin_, at - begin_);
        begin_ = at + 1;
        return true;
      }
      if (at + 1 < end_) {
        if (b[at + 1] == '\n') {
          line = std::string_view(b + begin_, at - begin_);  // no CR before this one
          begin_ = at + 2;
          return true;
        }
        loneCr = true;
        scanFrom = at + 1;
        continue;
      }
      // A CR at the buffer's end: what follows it is read first, and the CR
      // looked at again.
      scanned = at - begin_;
    }
    if (!Fill()) {
      if (begin_ >= end_) return false;
      // A last line without line end.
      line = MakeLine(begin_, end_);
      begin_ = end_;
      return true;
    }
    scanFrom = begin_ + scanned;  // Fill() moved the unread part to the front
  }
}

bool LineReader::NextRaw(std::string& line) {
  std::string_view view;
  if (!NextView(view)) {
    line.clear();
    return false;
  }
  line.assign(view);
  return true;
}

bool LineReader::Next(Text& line) {
  std::string_view raw;
  if (!NextView(raw)) return false;
  line = Cp932Decode(raw);
  return true;
}

std::vector<Text> ReadLinesCp932(const fs::path& path) {
  LineReader reader(path);
  std::vector<Text> lines;
  Text line;
  while (reader.Next(line)) lines.push_back(line);
  return lines;
}

// ---------------------------------------------------------- Whole-file load

std::vector<Text> SplitLinesAnyEnd(TextView text) {
  std::vector<Text> lines;
  std::size_t start = 0;
  const std::size_t n = text.size();
  std::size_t i = 0;
  while (i < n) {
    const char16_t c = text[i];
    if (c == u'\r' || c == u'\n') {
      lines.emplace_back(text.substr(start, i - start));
      if (c == u'\r' && i + 1 < n && text[i + 1] == u'\n') ++i;
      ++i;
      start = i;
    } else {
      ++i;
    }
  }
  if (start < n) lines.emplace_back(text.substr(start));
  return lines;
}

std::vector<Text> LoadWholeFile(const fs::path& path) {
  const std::string bytes = ReadFileBytes(path);
  Text text;
  auto u8 = [](char c) { return static_cast<unsigned char>(c); };
  if (bytes.size() >= 3 && u8(bytes[0]) == 0xEF && u8(bytes[1]) == 0xBB && u8(bytes[2]) == 0xBF) {
    text = FromUtf8(std::string_view(bytes).substr(3));
  } else if (bytes.size() >= 2 && ((u8(bytes[0]) == 0xFF && u8(bytes[1]) == 0xFE) ||
                                   (u8(bytes[0]) == 0xFE && u8(bytes[1]) == 0xFF))) {
    const bool le = u8(bytes[0]) == 0xFF;
    text.reserve(bytes.size() / 2);
    for (std::size_t i = 2; i + 1 < bytes.size(); i += 2) {
      const char16_t lo = u8(bytes[i + (le ? 0 : 1)]);
      const char16_t hi = u8(bytes[i + (le ? 1 : 0)]);
      text.push_back(static_cast<char16_t>(hi << 8 | lo));
    }
  } else {
    text = Cp932Decode(bytes);
  }
  return SplitLinesAnyEnd(text);
}

// ------------------------------------------------- Whole-file load, streamed

AnyEndLineReader::AnyEndLineReader(const fs::path& path, Marks marks)
    : path_(path), file_(OpenForStreaming(path)) {
  try {
    Fill();
  } catch (...) {
    // The destructor does not run for a constructor that throws.
    std::fclose(file_);
    throw;
  }
  auto u8 = [this](std::size_t i) { return static_cast<unsigned char>(buf_[i]); };
  const std::size_t n = end_;
  if (marks == Marks::kCp932) return;
  if (n >= 3 && u8(0) == 0xEF && u8(1) == 0xBB && u8(2) == 0xBF) {
    coding_ = TextCoding::kUtf8;
    begin_ = 3;
  } else if (marks == Marks::kUtf8Only) {
    coding_ = TextCoding::kUtf8;
  } else if (n >= 2 && ((u8(0) == 0xFF && u8(1) == 0xFE) || (u8(0) == 0xFE && u8(1) == 0xFF))) {
    coding_ = u8(0) == 0xFF ? TextCoding::kUtf16Le : TextCoding::kUtf16Be;
    unit_ = 2;
    begin_ = 2;
  }
}

AnyEndLineReader::~AnyEndLineReader() {
  if (file_) std::fclose(file_);
}

bool AnyEndLineReader::Fill() {
  if (eof_) return false;
  return Refill(file_, path_, buf_, cap_, begin_, end_, eof_) > 0;
}

std::size_t AnyEndLineReader::FindBreak(std::size_t from) {
  const char* b = buf_.get();
  if (unit_ == 2) {
    const std::size_t hi = coding_ == TextCoding::kUtf16Le ? 1 : 0;
    for (std::size_t i = from; i + 1 < end_; i += 2) {
      if (b[i + hi] == 0 && (b[i + 1 - hi] == '\r' || b[i + 1 - hi] == '\n')) return i;
    }
    return end_;
  }
  // One pass for either byte: it stops at the first, which is the break.
  return from >= end_ ? end_ : from + FindCrOrLf(b + from, end_ - from);
}

bool AnyEndLineReader::NextBytes(std::string_view& line) {
  // Most lines: a one-byte coding and the line's end in view, cut as a
  // caller that cuts them itself does.
  std::size_t next = 0;
  if (unit_ == 1 && CutLine(Unread(), 0, line, next)) {
    begin_ += next;
    return true;
  }
  std::size_t scanFrom = begin_;
  while (true) {
    const std::size_t at = FindBreak(scanFrom);
    if (at < end_) {
      const char* b = buf_.get();
      const std::size_t low = coding_ == TextCoding::kUtf16Be ? 1 : 0;
      const bool cr = b[at + low] == '\r';
      if (cr && at + unit_ >= end_ && !eof_) {
        // A CR at the buffer's end: whether an LF follows decides the next line.
        const std::size_t offset = at - begin_;
        Fill();
        scanFrom = begin_ + offset;
        continue;
      }
      line = std::string_view(buf_.get() + begin_, at - begin_);
      std::size_t next = at + unit_;
      const bool lfNext = next + unit_ <= end_ && b[next + low] == '\n' &&
                          (unit_ == 1 || b[next + 1 - low] == '\0');
      if (cr && lfNext) next += unit_;
      begin_ = next;
      return true;
    }
    const std::size_t scanned = (end_ - begin_) / unit_ * unit_;
    if (!Fill()) {
      const std::size_t usable = (end_ - begin_) / unit_ * unit_;
      if (usable == 0) {
        begin_ = end_;
        return false;
      }
      // A last line without line end (an odd byte after UTF-16 text is dropped).
      line = std::string_view(buf_.get() + begin_, usable);
      begin_ = end_;
      return true;
    }
    scanFrom = begin_ + scanned;
  }
}

void AnyEndLineReader::Decode(TextCoding coding, std::string_view bytes, Text& out) {
  switch (coding) {
    case TextCoding::kCp932:
      Cp932DecodeAppend(bytes, out);
      return;
    case TextCoding::kUtf8:
      out += FromUtf8(bytes);
      return;
    case TextCoding::kUtf16Le:
    case TextCoding::kUtf16Be: {
      const bool le = coding == TextCoding::kUtf16Le;
      auto u8 = [](char c) { return static_cast<char16_t>(static_cast<unsigned char>(c)); };
      for (std::size_t i = 0; i + 1 < bytes.size(); i += 2) {
        const char16_t lo = u8(bytes[i + (le ? 0 : 1)]);
        const char16_t hi = u8(bytes[i + (le ? 1 : 0)]);
        out.push_back(static_cast<char16_t>(hi << 8 | lo));
      }
      return;
    }
  }
}

bool AnyEndLineReader::Next(Text& line) {
  std::string_view bytes;
  line.clear();
  if (!NextBytes(bytes)) return false;
  Decode(coding_, bytes, line);
  return true;
}

std::vector<Text> LoadLeadingLines(const fs::path& path, std::size_t count) {
  std::vector<Text> lines;
  if (count == 0) return lines;
  AnyEndLineReader reader(path);
  Text line;
  while (lines.size() < count && reader.Next(line)) lines.push_back(line);
  return lines;
}

// ---------------------------------------------------------------- AtomicFile

namespace {
fs::path TempNameBeside(const fs::path& target) {
  static std::atomic<unsigned> counter{0};
  std::random_device rd;
  const auto stamp = std::chrono::steady_clock::now().time_since_epoch().count();
  const unsigned tag = rd() ^ static_cast<unsigned>(stamp) ^ (counter++ * 2654435761u);
  char name[64];
  std::snprintf(name, sizeof name, ".tavo-%08x.tmp", tag);
  const fs::path folder = target.parent_path();
  return folder.empty() ? fs::path(name) : folder / name;
}
}  // namespace

AtomicFile::AtomicFile(const fs::path& target, Sync sync) : target_(target), sync_(sync) {
  if (FolderExists(target)) ThrowWriteError(target, SystemError{FileCause::kIsFolder, 0});
  SystemError error;
  for (int attempt = 0; attempt < 8 && !file_; ++attempt) {
    temp_ = TempNameBeside(target);
    std::error_code ec;
    if (fs::exists(temp_, ec)) continue;
    file_ = OpenFile(temp_, true, error);
  }
  if (!file_) {
    // Told at Close() or Commit(), under the name the output then has: an
    // output named at the end would otherwise be reported under a name that
    // is never made.
    temp_.clear();
    unopened_ = error;
    return;
  }
  // Unbuffered: Write gathers its own blocks, which then go out in one call each.
  std::setvbuf(file_, nullptr, _IONBF, 0);
  buf_.reserve(kChunk);
}

AtomicFile::~AtomicFile() {
  if (!committed_) Abort();
}

void AtomicFile::Abort() noexcept {
  if (file_) {
    std::fclose(file_);
    file_ = nullptr;
  }
  if (temp_.empty()) return;
  // Not through RemoveFile: the seam fails the operations of a run, and this
  // is the clean-up after one failed. A virus scanner may still be reading
  // the file for a moment.
  for (std::size_t i = 0;; ++i) {
    std::error_code ec;
    fs::remove(temp_, ec);
#ifdef _WIN32
    if (!ec || i == std::size(kRetryWaitsMs)) return;
    std::this_thread::sleep_for(std::chrono::milliseconds(kRetryWaitsMs[i]));
#else
    return;
#endif
  }
}

void AtomicFile::Write(std::string_view bytes) {
  if (unopened_) return;  // reported at Close() or Commit()
  if (!file_) ThrowWriteError(target_, SystemError{});
  if (buf_.size() + bytes.size() < kChunk) {
    buf_.append(bytes);
    return;
  }
  SystemError error;
  if (!buf_.empty()) {
    if (!WriteAll(file_, buf_.data(), buf_.size(), target_, error)) ThrowWriteError(target_, error);
    buf_.clear();
  }
  if (bytes.size() >= kChunk) {
    if (!WriteAll(file_, bytes.data(), bytes.size(), target_, error))
      ThrowWriteError(target_, error);
  } else {
    buf_.append(bytes);
  }
}

void AtomicFile::Close() {
  if (unopened_) ThrowWriteError(target_, *unopened_);
  if (!file_) ThrowWriteError(target_, SystemError{});
  std::optional<SystemError> failed;
  SystemError error;
  if (!buf_.empty() && !WriteAll(file_, buf_.data(), buf_.size(), target_, error)) failed = error;
  buf_.clear();
  if (fault::Fails(FileOp::kFlush)) {
    if (!failed) failed = fault::Injected();
  } else if (std::fflush(file_) != 0 && !failed) {
    failed = LastSystemError(target_);
  }
  if (!failed && sync_ == Sync::kToDisk) {
    if (fault::Fails(FileOp::kSync)) {
      failed = fault::Injected();
    } else {
#ifdef _WIN32
      if (!FlushFileBuffers(reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(file_)))))
        failed = LastSystemError(target_);
#else
      if (::fsync(fileno(file_)) != 0 && errno != EINVAL) failed = LastSystemError(target_);
#endif
    }
  }
  if (std::fclose(file_) != 0 && !failed) failed = LastSystemError(target_);
  file_ = nullptr;
  if (failed) ThrowWriteError(target_, *failed);
  closed_ = true;
}

void AtomicFile::Commit() {
  if (!closed_) Close();
  // Windows refuses to replace a read-only file (Wine replaces it and drops
  // the mark): staff are told, and nothing is waited for.
  if (IsReadOnlyFile(target_)) ThrowWriteError(target_, SystemError{FileCause::kReadOnly, 0});
  // Whose hold is waited out: the earlier output's, else the temporary file's
  // (a virus scanner reading what was just written).
  const fs::path& held = FileExists(target_) ? target_ : temp_;
  SystemError error;
  const bool renamed = Retried(FileOp::kRename, held, error, [&](SystemError& e) {
#ifdef _WIN32
    const DWORD flags =
        MOVEFILE_REPLACE_EXISTING | (sync_ == Sync::kToDisk ? MOVEFILE_WRITE_THROUGH : 0);
    if (MoveFileExW(temp_.wstring().c_str(), target_.wstring().c_str(), flags)) return true;
    e = LastSystemError(target_);
#else
    std::error_code ec;
    fs::rename(temp_, target_, ec);
    if (!ec) return true;
    e = FromSystemCode(ec.value(), target_);
#endif
    return false;
  });
  if (!renamed) ThrowWriteError(target_, error);
  committed_ = true;
}

void AtomicFile::CommitAs(const fs::path& target) {
  if (FolderExists(target)) ThrowWriteError(target, SystemError{FileCause::kIsFolder, 0});
  target_ = target;
  Commit();
}

void WriteFileAtomic(const fs::path& path, std::string_view bytes) {
  AtomicFile f(path);
  f.Write(bytes);
  f.Commit();
}

void WrtSet(const fs::path& stFile, const std::vector<Text>& SList) {
  AtomicFile f(stFile);
  std::string bytes;
  for (const Text& line : SList) {
    bytes.clear();
    Cp932EncodeAppend(line, bytes);
    bytes += "\r\n";
    f.Write(bytes);
  }
  f.Commit();
}

void WrtSetRaw(const fs::path& stFile, const std::vector<std::string>& lines) {
  AtomicFile f(stFile);
  for (const std::string& line : lines) {
    f.Write(line);
    f.Write("\r\n");
  }
  f.Commit();
}

bool MoveFileSafely(const fs::path& from, const fs::path& to, SystemError* why) noexcept {
  auto fail = [why](const SystemError& error) {
    if (why) *why = error;
    return false;
  };
  try {
    if (!FileExists(from)) return fail(FailureOf(FileAction::kOpen, from));
    {
      SystemError error;
      std::FILE* in = OpenFile(from, false, error);
      if (!in) return fail(error);
      struct Closer {
        std::FILE* f;
        ~Closer() { std::fclose(f); }
      } closer{in};
      AtomicFile out(to, AtomicFile::Sync::kToDisk);
      std::string buf(kChunk, '\0');
      while (true) {
        std::size_t got = 0;
        if (!ReadChunk(in, buf.data(), buf.size(), got))
          return fail(FailureOf(FileAction::kRead, from));
        out.Write(std::string_view(buf.data(), got));
        if (got < buf.size()) break;
      }
      out.Commit();
    }
    // A source that cannot be deleted leaves the file in both places, whole.
    RemoveFile(from);
    return true;
  } catch (const OpError& e) {
    return fail(e.error().value_or(SystemError{}));
  } catch (...) {
    return fail(SystemError{});
  }
}

bool SameFile(const fs::path& a, const fs::path& b) {
  std::error_code ec;
  if (fs::exists(a, ec) && fs::exists(b, ec)) {
    const bool same = fs::equivalent(a, b, ec);
    return !ec && same;
  }
  const fs::path fullA = fs::weakly_canonical(a, ec);
  if (ec) return false;
  const fs::path fullB = fs::weakly_canonical(b, ec);
  return !ec && fullA == fullB;
}

bool IsSafeFileName(TextView name) { return SafeFileName(name) == name; }

Text SafeFileName(TextView name) {
  Text out(name);
  for (std::size_t i = 0; i < out.size(); ++i) {
    char16_t& c = out[i];
    if (c >= 0xD800 && c <= 0xDBFF && i + 1 < out.size() && out[i + 1] >= 0xDC00 &&
        out[i + 1] <= 0xDFFF) {
      ++i;  // a surrogate pair: one character
    } else if (c < 0x20 || c == u'\\' || c == u'/' || c == u':' || c == u'*' || c == u'?' ||
               c == u'"' || c == u'<' || c == u'>' || c == u'|' || (c >= 0xD800 && c <= 0xDFFF)) {
      c = u'_';
    }
  }
  // Windows drops dots and blanks at the end of a name: "山田内科. " would
  // be made as "山田内科" and then not be found under its own name.
  const std::size_t kept = out.find_last_not_of(u". ");
  if (kept == Text::npos) return u"_";
  out.erase(kept + 1);
  return out;
}

}  // namespace tavo
