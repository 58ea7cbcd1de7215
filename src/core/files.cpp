#include "core/files.h"

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <random>

#include "core/cp932.h"
#include "core/errors.h"

#ifdef _WIN32
#include <io.h>
#include <windows.h>
#else
#include <unistd.h>
#endif

namespace tavo {

namespace {

std::FILE* OpenFile(const fs::path& path, bool write) {
#ifdef _WIN32
  return _wfopen(path.wstring().c_str(), write ? L"wb" : L"rb");
#else
  return std::fopen(path.c_str(), write ? "wb" : "rb");
#endif
}

constexpr std::size_t kChunk = 1 << 16;

}  // namespace

bool FileExists(const fs::path& path) {
  std::error_code ec;
  return !path.empty() && fs::is_regular_file(path, ec);
}

bool FolderExists(const fs::path& path) {
  std::error_code ec;
  return !path.empty() && fs::is_directory(path, ec);
}

std::string ReadFileBytes(const fs::path& path) {
  std::FILE* f = OpenFile(path, false);
  if (!f) ThrowOpenError(path);
  std::string out;
  char buf[kChunk];
  while (true) {
    const std::size_t got = std::fread(buf, 1, sizeof buf, f);
    out.append(buf, got);
    if (got < sizeof buf) {
      const bool bad = std::ferror(f) != 0;
      std::fclose(f);
      if (bad) ThrowReadError(path);
      break;
    }
  }
  return out;
}

// ---------------------------------------------------------------- LineReader

LineReader::LineReader(const fs::path& path) : path_(path) {
  if (FolderExists(path)) ThrowOpenError(path);
  file_ = OpenFile(path, false);
  if (!file_) ThrowOpenError(path);
}

LineReader::~LineReader() {
  if (file_) std::fclose(file_);
}

bool LineReader::Fill() {
  if (eof_ || stopped_) return false;
  if (pos_ > 0) {
    buf_.erase(0, pos_);
    pos_ = 0;
  }
  const std::size_t old = buf_.size();
  buf_.resize(old + kChunk);
  const std::size_t got = std::fread(buf_.data() + old, 1, kChunk, file_);
  buf_.resize(old + got);
  if (got < kChunk) {
    if (std::ferror(file_)) ThrowReadError(path_);
    eof_ = true;
  }
  // Everything from the end-of-file mark on is ignored.
  const std::size_t mark = buf_.find('\x1A', old);
  if (mark != std::string::npos) {
    buf_.resize(mark);
    stopped_ = true;
  }
  return got > 0;
}

namespace {
// Appends the bytes with every CR dropped, span by span.
void AppendWithoutCr(std::string_view bytes, std::string& line) {
  while (!bytes.empty()) {
    const void* cr = std::memchr(bytes.data(), '\r', bytes.size());
    const std::size_t n = cr ? static_cast<const char*>(cr) - bytes.data() : bytes.size();
    line.append(bytes.data(), n);
    bytes.remove_prefix(cr ? n + 1 : n);
  }
}
}  // namespace

bool LineReader::NextRaw(std::string& line) {
  line.clear();
  std::size_t scanFrom = pos_;
  while (true) {
    const std::size_t lf = buf_.find('\n', scanFrom);
    if (lf != std::string::npos) {
      std::size_t end = lf;
      if (end > pos_ && buf_[end - 1] == '\r') --end;
      AppendWithoutCr(std::string_view(buf_).substr(pos_, end - pos_), line);
      pos_ = lf + 1;
      return true;
    }
    const std::size_t scanned = buf_.size() - pos_;
    if (!Fill()) {
      if (pos_ >= buf_.size()) return false;
      // A last line without line end.
      AppendWithoutCr(std::string_view(buf_).substr(pos_), line);
      pos_ = buf_.size();
      return true;
    }
    scanFrom = pos_ + scanned;  // Fill() moved the unread part to the front
  }
}

bool LineReader::Next(Text& line) {
  std::string raw;
  if (!NextRaw(raw)) return false;
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
  if (FolderExists(target)) ThrowWriteError(target, "a folder of that name exists");
  for (int attempt = 0; attempt < 8 && !file_; ++attempt) {
    temp_ = TempNameBeside(target);
    std::error_code ec;
    if (fs::exists(temp_, ec)) continue;
    file_ = OpenFile(temp_, true);
  }
  if (!file_) ThrowWriteError(target, std::strerror(errno));
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
  if (!temp_.empty()) {
    std::error_code ec;
    fs::remove(temp_, ec);
  }
}

void AtomicFile::Write(std::string_view bytes) {
  if (!file_) ThrowWriteError(target_, "closed");
  if (buf_.size() + bytes.size() < kChunk) {
    buf_.append(bytes);
    return;
  }
  if (!buf_.empty()) {
    if (std::fwrite(buf_.data(), 1, buf_.size(), file_) != buf_.size())
      ThrowWriteError(target_, std::strerror(errno));
    buf_.clear();
  }
  if (bytes.size() >= kChunk) {
    if (std::fwrite(bytes.data(), 1, bytes.size(), file_) != bytes.size())
      ThrowWriteError(target_, std::strerror(errno));
  } else {
    buf_.append(bytes);
  }
}

void AtomicFile::Commit() {
  if (!file_) ThrowWriteError(target_, "closed");
  bool ok = true;
  if (!buf_.empty() && std::fwrite(buf_.data(), 1, buf_.size(), file_) != buf_.size()) ok = false;
  buf_.clear();
  if (std::fflush(file_) != 0) ok = false;
  if (ok && sync_ == Sync::kToDisk) {
#ifdef _WIN32
    if (!FlushFileBuffers(reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(file_))))) ok = false;
#else
    if (::fsync(fileno(file_)) != 0 && errno != EINVAL) ok = false;
#endif
  }
  const int saved = errno;
  if (std::fclose(file_) != 0) ok = false;
  file_ = nullptr;
  if (!ok) ThrowWriteError(target_, std::strerror(saved));
#ifdef _WIN32
  const DWORD flags = MOVEFILE_REPLACE_EXISTING |
                      (sync_ == Sync::kToDisk ? MOVEFILE_WRITE_THROUGH : 0);
  if (!MoveFileExW(temp_.wstring().c_str(), target_.wstring().c_str(), flags))
    ThrowWriteError(target_, "rename failed");
#else
  std::error_code ec;
  fs::rename(temp_, target_, ec);
  if (ec) ThrowWriteError(target_, ec.message());
#endif
  committed_ = true;
}

void AtomicFile::CommitAs(const fs::path& target) {
  if (FolderExists(target)) ThrowWriteError(target, "a folder of that name exists");
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

bool MoveFileSafely(const fs::path& from, const fs::path& to) noexcept {
  try {
    if (!FileExists(from) || !FolderExists(to.parent_path().empty() ? fs::path(".") : to.parent_path()))
      return false;
    {
      std::FILE* in = OpenFile(from, false);
      if (!in) return false;
      struct Closer {
        std::FILE* f;
        ~Closer() { std::fclose(f); }
      } closer{in};
      AtomicFile out(to, AtomicFile::Sync::kToDisk);
      std::string buf(kChunk, '\0');
      while (true) {
        const std::size_t got = std::fread(buf.data(), 1, buf.size(), in);
        out.Write(std::string_view(buf.data(), got));
        if (got < buf.size()) {
          if (std::ferror(in)) return false;
          break;
        }
      }
      out.Commit();
    }
    std::error_code ec;
    fs::remove(from, ec);
    return true;
  } catch (...) {
    return false;
  }
}

bool IsSafeFileName(TextView name) { return SafeFileName(name) == name; }

Text SafeFileName(TextView name) {
  Text out(name);
  for (auto& c : out) {
    if (c < 0x20 || c == u'\\' || c == u'/' || c == u':' || c == u'*' || c == u'?' ||
        c == u'"' || c == u'<' || c == u'>' || c == u'|')
      c = u'_';
  }
  bool onlyDotsOrBlanks = true;
  for (char16_t c : out)
    if (c != u'.' && c != u' ') onlyDotsOrBlanks = false;
  if (onlyDotsOrBlanks) return u"_";
  return out;
}

}  // namespace tavo
