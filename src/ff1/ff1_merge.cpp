#include "ff1/ff1_merge.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>

#include "core/cp932.h"
#include "core/errors.h"
#include "core/files.h"
#include "ff1/ff1_io.h"

namespace tavo::ff1 {

namespace {

const Text& FacilityCodeTitle() {
  static const Text t = T("施設コード");
  return t;
}

char16_t FoldAscii(char16_t c) { return (c >= u'a' && c <= u'z') ? c - (u'a' - u'A') : c; }

bool HasUtf8Bom(std::string_view b) {
  return b.size() >= 3 && static_cast<unsigned char>(b[0]) == 0xEF &&
         static_cast<unsigned char>(b[1]) == 0xBB && static_cast<unsigned char>(b[2]) == 0xBF;
}

bool MatchesMask(TextView name, TextView ext) {
  static const Text prefix = u"G_FF1";
  if (name.size() < prefix.size() + ext.size()) return false;
  return SameTextAscii(name.substr(0, prefix.size()), prefix) &&
         SameTextAscii(name.substr(name.size() - ext.size()), ext);
}

Text Decode(std::string_view bytes, FF1Encoding enc) {
  if (enc == FF1Encoding::UTF8) return FromUtf8(bytes);
  return Cp932Decode(bytes);
}

// Lines are read as bytes: TAB, CR, LF and every byte up to 20 are single
// characters in both encodings (never the second byte of a Shift_JIS pair), so
// blank tests, trimming and field cuts on the bytes agree with the decoded text.
bool IsBlankBytes(std::string_view s) {
  for (char c : s)
    if (static_cast<unsigned char>(c) > 0x20) return false;
  return true;
}

// The integer reading of ToInt32 over ASCII bytes (any other byte is not a digit).
bool ParseInt32Bytes(std::string_view s, std::int32_t& out) {
  if (s.empty()) return false;
  std::size_t i = 0;
  bool neg = false;
  if (s[0] == '+' || s[0] == '-') {
    neg = s[0] == '-';
    i = 1;
  }
  if (i == s.size()) return false;
  std::int64_t v = 0;
  for (; i < s.size(); ++i) {
    const char c = s[i];
    if (c < '0' || c > '9') return false;
    v = v * 10 + (c - '0');
    if (v > 2147483648LL) return false;
  }
  if (neg) v = -v;
  if (v > 2147483647LL || v < -2147483648LL) return false;
  out = static_cast<std::int32_t>(v);
  return true;
}

void DecodeInto(std::string_view bytes, FF1Encoding enc, Text& out) {
  out.clear();
  bool ascii = true;
  for (char c : bytes)
    if (static_cast<unsigned char>(c) >= 0x80) ascii = false;
  if (ascii) {
    out.assign(bytes.begin(), bytes.end());
  } else if (enc == FF1Encoding::UTF8) {
    out = FromUtf8(bytes);
  } else {
    Cp932DecodeAppend(bytes, out);
  }
}

const std::string& FacilityCodeBytes(FF1Encoding enc) {
  static const std::string sjis = Cp932Encode(FacilityCodeTitle());
  static const std::string utf8 = ToUtf8(FacilityCodeTitle());
  return enc == FF1Encoding::UTF8 ? utf8 : sjis;
}

bool IsHeaderBytes(std::string_view line, FF1Encoding enc) {
  const std::size_t tab = line.find('\t');
  const std::string_view first = TrimBytes(line.substr(0, tab));
  std::int32_t v;
  if (!ParseInt32Bytes(first, v)) return true;
  // The byte pattern only preselects; the decoded text decides.
  if (line.find(FacilityCodeBytes(enc)) == std::string_view::npos) return false;
  return Decode(line, enc).find(FacilityCodeTitle()) != Text::npos;
}

struct SourceFile {
  fs::path path;
  FF1Encoding enc = FF1Encoding::ShiftJIS;
};

// What the merge sees in a line: nothing, a header line, or a data row with
// its data id (bytes of the file's encoding, trimmed) and year-month.
enum class LineKind { kSkip, kHeader, kRow };

class LineClassifier {
 public:
  explicit LineClassifier(FF1Encoding enc) : enc_(enc), titleBytes_(FacilityCodeBytes(enc)) {}

  LineKind Classify(std::string_view line, std::string_view& idBytes, std::int32_t& ym) {
    if (IsBlankBytes(line)) return LineKind::kSkip;
    // The first nine TABs (the leading fields are short), and whether the
    // title's first byte occurs anywhere in the line.
    std::size_t tabs[9];
    std::size_t count = 0;
    for (std::size_t from = 0; count < 9;) {
      const std::size_t tab = line.find('\t', from);
      if (tab == std::string_view::npos) break;
      tabs[count++] = tab;
      from = tab + 1;
    }
    const bool titleLead = std::memchr(line.data(), titleBytes_[0], line.size()) != nullptr;
    // Every row of a file carries the same facility code: read it once.
    const std::string_view first = line.substr(0, count > 0 ? tabs[0] : line.size());
    if (first != lastFirst_) {
      std::int32_t facility;
      lastFirst_.assign(first);
      lastFirstIsInt_ = ParseInt32Bytes(TrimBytes(first), facility);
    }
    if (!lastFirstIsInt_ || (titleLead && IsHeaderBytes(line, enc_))) return LineKind::kHeader;
    // Fields 2 and 3, and at least 10 fields in all.
    if (count < 9) return LineKind::kSkip;
    idBytes = TrimBytes(line.substr(tabs[0] + 1, tabs[1] - tabs[0] - 1));
    if (idBytes.empty()) return LineKind::kSkip;
    ym = 0;
    if (!ParseInt32Bytes(TrimBytes(line.substr(tabs[1] + 1, tabs[2] - tabs[1] - 1)), ym) || ym == 0)
      return LineKind::kSkip;
    return LineKind::kRow;
  }

 private:
  FF1Encoding enc_;
  const std::string& titleBytes_;
  std::string lastFirst_;  // the last first field read, and whether it is an integer
  bool lastFirstIsInt_ = false;
};

// Data ids met, each with its latest year-month.
class IdTable {
 public:
  static constexpr std::uint32_t kNone = 0xFFFFFFFFu;

  // The id of a data id's bytes in a file's encoding; kNone when `add` is
  // false and it was never added.
  std::uint32_t Find(std::string_view idBytes, FF1Encoding enc, bool add, std::int32_t ym) {
    // A patient's rows mostly follow each other: reuse the last lookup.
    if (last_ != kNone && idBytes == lastBytes_ && enc == lastEnc_) return last_;
    DecodeInto(idBytes, enc, buf_);
    std::uint32_t id = kNone;
    const auto it = index_.find(buf_);
    if (it != index_.end()) {
      id = it->second;
    } else if (add) {
      id = static_cast<std::uint32_t>(ids.size());
      index_.emplace(buf_, id);
      ids.push_back(buf_);
      latest.push_back(ym);
      latestRows.push_back(0);
    }
    last_ = id;
    lastBytes_.assign(idBytes);
    lastEnc_ = enc;
    return id;
  }

  std::vector<Text> ids;
  std::vector<std::int32_t> latest;  // per id, the latest year-month
  std::vector<std::uint32_t> latestRows;  // per id, its rows of that month so far

 private:
  std::unordered_map<Text, std::uint32_t> index_;
  std::uint32_t last_ = kNone;
  std::string lastBytes_;
  FF1Encoding lastEnc_ = FF1Encoding::ShiftJIS;
  Text buf_;
};

// A line is kept as its place in the input, not as text: the merge reads it
// back when it writes. 40 bits of offset (files up to 1 TiB), 24 of file index.
constexpr unsigned kOffsetBits = 40;
constexpr std::uint64_t kOffsetMask = (std::uint64_t{1} << kOffsetBits) - 1;

struct KeptRow {
  std::uint32_t id;
  std::uint32_t length;
  std::uint64_t place;  // file index << kOffsetBits | offset: input order
};

std::uint64_t PlaceOf(std::uint32_t file, std::uint64_t offset, std::size_t length,
                      const fs::path& path) {
  if (offset > kOffsetMask || length > 0xFFFFFFFFu || file >= (1u << (64 - kOffsetBits)))
    ThrowReadError(path);
  return (std::uint64_t{file} << kOffsetBits) | offset;
}

// Calls fn(kind, idBytes, ym, offset, length) for every line of a file.
template <typename Fn>
void ForEachClassifiedLine(const SourceFile& f, Fn&& fn) {
  LineClassifier classify(f.enc);
  std::string_view idBytes;
  ForEachLineOfFile(f.path, f.enc == FF1Encoding::UTF8 ? 3 : 0,
                    [&](std::uint64_t offset, std::string_view line) {
                      std::int32_t ym = 0;
                      const LineKind kind = classify.Classify(line, idBytes, ym);
                      if (kind != LineKind::kSkip) fn(kind, idBytes, ym, offset, line.size());
                    });
}

}  // namespace

bool IsHeaderLine(TextView Line) {
  if (IsBlank(Line)) return false;
  if (Line.find(FacilityCodeTitle()) != TextView::npos) return true;
  const std::size_t tab = Line.find(u'\t');
  return !ToInt32(Trim(Line.substr(0, tab))).has_value();
}

FieldList SplitTSV(TextView text) {
  FieldList fields;
  if (text.empty()) return fields;
  std::size_t start = 0;
  while (true) {
    const std::size_t tab = text.find(u'\t', start);
    if (tab == TextView::npos) {
      fields.emplace_back(text.substr(start));
      break;
    }
    fields.emplace_back(text.substr(start, tab - start));
    start = tab + 1;
  }
  return fields;
}

std::int32_t ParseYearMonth(TextView text) { return ToInt32Def(Trim(text), 0); }

FF1Encoding DetectEncodingFromFile(const fs::path& AFile) {
  if (FolderExists(AFile)) ThrowOpenError(AFile);
  std::FILE* f = OpenForReading(AFile);
  if (!f) ThrowOpenError(AFile);
  char head[4];
  std::size_t got = 0;
  const bool ok = ReadChunk(f, head, sizeof head, got);
  std::fclose(f);
  if (!ok) ThrowReadError(AFile);
  return HasUtf8Bom(std::string_view(head, got)) ? FF1Encoding::UTF8 : FF1Encoding::ShiftJIS;
}

int CompareTextAsciiFold(TextView a, TextView b) {
  const std::size_t n = std::min(a.size(), b.size());
  for (std::size_t i = 0; i < n; ++i) {
    const char16_t x = FoldAscii(a[i]);
    const char16_t y = FoldAscii(b[i]);
    if (x != y) return x < y ? -1 : 1;
  }
  if (a.size() == b.size()) return 0;
  return a.size() < b.size() ? -1 : 1;
}

std::vector<fs::path> ListFF1Files(const fs::path& InDir) {
  std::vector<std::pair<Text, fs::path>> txt, tsv;
  std::error_code ec;
  for (fs::directory_iterator it(InDir, ec), end; !ec && it != end; it.increment(ec)) {
    std::error_code fec;
    if (!it->is_regular_file(fec)) continue;
    const Text name = PathText(it->path().filename());
    if (MatchesMask(name, u".txt"))
      txt.emplace_back(name, it->path());
    else if (MatchesMask(name, u".tsv"))
      tsv.emplace_back(name, it->path());
  }
  auto& chosen = txt.empty() ? tsv : txt;
  // Sorted so that the header line and the merged file's encoding do not depend
  // on the order in which the file system lists the folder.
  std::sort(chosen.begin(), chosen.end(), [](const auto& x, const auto& y) {
    const int c = CompareTextAsciiFold(x.first, y.first);
    return c != 0 ? c < 0 : x.first < y.first;
  });
  std::vector<fs::path> out;
  out.reserve(chosen.size());
  for (auto& e : chosen) out.push_back(std::move(e.second));
  return out;
}

void MergeFF1Latest(const fs::path& InDir, const fs::path& OutFile) {
  if (!FolderExists(InDir)) throw OpError(T("入力フォルダが見つかりません：") + PathText(InDir));
  std::vector<fs::path> listed = ListFF1Files(InDir);
  // The merged file may lie in the folder under a name of the mask; it is
  // deleted below, so it is never input.
  std::erase_if(listed, [&](const fs::path& p) {
    std::error_code ec;
    return fs::equivalent(p, OutFile, ec);
  });
  if (listed.empty())
    throw OpError(T("G_FF1*.txt / G_FF1*.tsv が見つかりません：") + PathText(InDir));

  {
    if (FileExists(OutFile)) RemoveFile(OutFile);
  }

  // First reading: the header line and each data id's latest year-month.
  std::vector<SourceFile> files;
  files.reserve(listed.size());
  IdTable table;
  bool haveHeader = false;
  KeptRow header{};
  for (std::uint32_t fi = 0; fi < listed.size(); ++fi) {
    files.push_back({listed[fi], DetectEncodingFromFile(listed[fi])});
    const SourceFile& f = files.back();
    ForEachClassifiedLine(f, [&](LineKind kind, std::string_view idBytes, std::int32_t ym,
                                 std::uint64_t offset, std::size_t length) {
      if (kind == LineKind::kHeader) {
        if (!haveHeader) {
          haveHeader = true;
          header = {0, static_cast<std::uint32_t>(length), PlaceOf(fi, offset, length, f.path)};
        }
        return;
      }
      const std::uint32_t id = table.Find(idBytes, f.enc, true, ym);
      if (table.latest[id] < ym) {
        table.latest[id] = ym;
        table.latestRows[id] = 0;
      }
      if (table.latest[id] == ym) ++table.latestRows[id];
    });
  }

  // Second reading: only the places of rows of each data id's latest month.
  // Sized beforehand: the places are the bulk of what the merge holds.
  std::vector<KeptRow> rows;
  std::size_t expected = 0;
  for (const std::uint32_t n : table.latestRows) expected += n;
  table.latestRows = {};
  rows.reserve(expected);
  for (std::uint32_t fi = 0; fi < files.size(); ++fi) {
    const SourceFile& f = files[fi];
    ForEachClassifiedLine(f, [&](LineKind kind, std::string_view idBytes, std::int32_t ym,
                                 std::uint64_t offset, std::size_t length) {
      if (kind != LineKind::kRow) return;
      const std::uint32_t id = table.Find(idBytes, f.enc, false, ym);
      // A file that changed since the first reading can bring an id or month not seen.
      if (id == IdTable::kNone || table.latest[id] != ym) return;
      rows.push_back({id, static_cast<std::uint32_t>(length), PlaceOf(fi, offset, length, f.path)});
    });
  }

  // Rank of each data id in the folded order; ids equal but for letter case share a rank.
  const std::vector<Text>& ids = table.ids;
  std::vector<std::uint32_t> order(ids.size());
  for (std::uint32_t i = 0; i < order.size(); ++i) order[i] = i;
  std::sort(order.begin(), order.end(), [&](std::uint32_t x, std::uint32_t y) {
    return CompareTextAsciiFold(ids[x], ids[y]) < 0;
  });
  std::vector<std::uint32_t> rank(ids.size());
  for (std::size_t k = 0; k < order.size(); ++k) {
    const bool same = k > 0 && CompareTextAsciiFold(ids[order[k - 1]], ids[order[k]]) == 0;
    rank[order[k]] = same ? rank[order[k - 1]] : static_cast<std::uint32_t>(k);
  }
  order = {};
  // By rank, the later month first, then in input order (the place): the
  // order of a stable sort of the rows as read.
  const std::vector<std::int32_t>& latest = table.latest;
  std::sort(rows.begin(), rows.end(), [&](const KeptRow& x, const KeptRow& y) {
    if (rank[x.id] != rank[y.id]) return rank[x.id] < rank[y.id];
    if (latest[x.id] != latest[y.id]) return latest[x.id] > latest[y.id];
    return x.place < y.place;
  });

  const FF1Encoding outEnc = files.front().enc;
  {
    std::error_code ec;
    const fs::path folder = OutFile.parent_path();
    if (!folder.empty() && !FolderExists(folder)) {
      fs::create_directories(folder, ec);
      if (ec) ThrowWriteError(OutFile, ec.message());
    }
  }
  // The merged file lives for one run: written atomically, not forced to disk.
  AtomicFile out(OutFile);
  if (outEnc == FF1Encoding::UTF8) out.Write("\xEF\xBB\xBF");
  std::string conv;
  // Rows come mostly file by file: one file open at a time.
  std::unique_ptr<LineFetcher> fetcher;
  std::uint32_t fetcherFile = 0;
  auto writeLine = [&](const KeptRow& ref) {
    const std::uint32_t fi = static_cast<std::uint32_t>(ref.place >> kOffsetBits);
    const SourceFile& f = files[fi];
    if (!fetcher || fetcherFile != fi) {
      fetcher.reset();
      fetcher = std::make_unique<LineFetcher>(f.path);
      fetcherFile = fi;
    }
    const std::string_view raw = fetcher->Fetch(ref.place & kOffsetMask, ref.length);
    if (f.enc == outEnc) {
      out.Write(raw);
    } else if (outEnc == FF1Encoding::UTF8) {
      out.Write(ToUtf8(Cp932Decode(raw)));
    } else {
      conv.clear();
      Cp932EncodeAppend(FromUtf8(raw), conv);
      out.Write(conv);
    }
    out.Write("\r\n");
  };
  if (haveHeader) writeLine(header);
  for (const KeptRow& r : rows) writeLine(r);
  fetcher.reset();
  out.Commit();
}

}  // namespace tavo::ff1
