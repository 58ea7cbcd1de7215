#include "ff1/ff1_merge.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "core/byte_index.h"
#include "core/bytes.h"
#include "core/cp932.h"
#include "core/errors.h"
#include "core/files.h"
#include "core/line_breaks.h"
#include "ff1/ff1_io.h"

namespace tavo::ff1 {

namespace {

const Text& FacilityCodeTitle() {
  static const Text t = T("施設コード");
  return t;
}

char16_t FoldAscii(char16_t c) { return (c >= u'a' && c <= u'z') ? c - (u'a' - u'A') : c; }

// Two texts of na and nb code units, unit i of each given by a(i) and b(i),
// in the order of CompareTextAsciiFold.
template <typename UnitA, typename UnitB>
int CompareUnitsAsciiFold(std::size_t na, std::size_t nb, UnitA a, UnitB b) {
  for (std::size_t i = 0; i < std::min(na, nb); ++i) {
    const char16_t x = FoldAscii(a(i));
    const char16_t y = FoldAscii(b(i));
    if (x != y) return x < y ? -1 : 1;
  }
  if (na == nb) return 0;
  return na < nb ? -1 : 1;
}

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

const std::string& FacilityCodeBytes(FF1Encoding enc) {
  static const std::string sjis = Cp932Encode(FacilityCodeTitle());
  static const std::string utf8 = ToUtf8(FacilityCodeTitle());
  return enc == FF1Encoding::UTF8 ? utf8 : sjis;
}

// Whether the line holds the title. The bytes only preselect; the decoded
// text decides (in Shift_JIS the bytes may also straddle two characters).
bool HasTitle(std::string_view line, FF1Encoding enc) {
  if (line.find(FacilityCodeBytes(enc)) == std::string_view::npos) return false;
  return Decode(line, enc).find(FacilityCodeTitle()) != Text::npos;
}

// What the merge sees in a line: nothing, a header line, or a data row with
// its data id (bytes of the file's encoding, trimmed) and year-month.
enum class LineKind { kSkip, kHeader, kRow };

class LineClassifier {
 public:
  explicit LineClassifier(FF1Encoding enc) : enc_(enc) {}

  LineKind Classify(std::string_view line, const LineShape& shape, std::string_view& idBytes,
                    std::int32_t& ym) {
    if (IsBlankBytes(line)) return LineKind::kSkip;
    // Every row of a file carries the same facility code: read it once.
    const std::string_view first = line.substr(0, shape.tabs > 0 ? shape.tab[0] : line.size());
    if (first != lastFirst_) {
      std::int32_t facility;
      lastFirst_.assign(first);
      lastFirstIsInt_ = ParseInt32Bytes(TrimBytes(first), facility);
    }
    if (!lastFirstIsInt_ || (shape.pair && HasTitle(line, enc_))) return LineKind::kHeader;
    // Fields 2 and 3, and at least 10 fields in all.
    if (shape.tabs < 9) return LineKind::kSkip;
    idBytes = TrimBytes(line.substr(shape.tab[0] + 1, shape.tab[1] - shape.tab[0] - 1));
    if (idBytes.empty()) return LineKind::kSkip;
    ym = 0;
    const std::string_view ymBytes = line.substr(shape.tab[1] + 1, shape.tab[2] - shape.tab[1] - 1);
    if (!ParseInt32Bytes(TrimBytes(ymBytes), ym) || ym == 0) return LineKind::kSkip;
    return LineKind::kRow;
  }

 private:
  FF1Encoding enc_;
  std::string lastFirst_;  // the last first field read, and whether it is an integer
  bool lastFirstIsInt_ = false;
};

// Data ids as keys of bytes: an id's own bytes when they are ASCII (the same
// in both encodings), otherwise FF and the UTF-16 code units of its text, low
// byte first; so one text gives one key whichever file it comes from, and
// the two forms never meet (FF is not ASCII).
bool IsWideKey(std::string_view key) { return !key.empty() && key[0] == '\xFF'; }
std::size_t KeyUnits(std::string_view key) {
  return IsWideKey(key) ? (key.size() - 1) / 2 : key.size();
}
char16_t KeyUnit(std::string_view key, std::size_t i) {
  if (!IsWideKey(key)) return static_cast<unsigned char>(key[i]);
  return static_cast<char16_t>(static_cast<unsigned char>(key[1 + 2 * i]) |
                               static_cast<unsigned char>(key[2 + 2 * i]) << 8);
}

// CompareTextAsciiFold of the texts of two keys.
int CompareKeysAsciiFold(std::string_view a, std::string_view b) {
  return CompareUnitsAsciiFold(KeyUnits(a), KeyUnits(b), [&](std::size_t i) { return KeyUnit(a, i); },
                               [&](std::size_t i) { return KeyUnit(b, i); });
}

// Data ids met, each with its latest year-month so far and where the rows of
// that month begin.
class IdTable {
 public:
  struct Entry {
    std::uint64_t firstPlace;  // the first row of the latest month (see KeptRun)
    std::uint64_t keyAt;       // the key in keys_
    std::uint32_t keyLength;
    std::int32_t latest;  // the latest year-month
    std::uint32_t runs;   // runs of rows of that month
    std::uint32_t rows;   // rows of that month
  };

  // A new file: the same bytes may be another text in its encoding.
  void NewFile(FF1Encoding enc) {
    enc_ = enc;
    lastValid_ = false;
  }

  // The number of a data id (its bytes in the current file's encoding),
  // added when new (then `added` is true).
  std::uint32_t Find(std::string_view idBytes, bool& added) {
    added = false;
    // A patient's rows mostly follow each other: reuse the last lookup.
    if (lastValid_ && idBytes == lastBytes_) return last_;
    MakeKey(idBytes);
    std::uint32_t id;
    if (const auto found = index_.Find(key_)) {
      id = *found;
    } else {
      id = static_cast<std::uint32_t>(entries.size());
      index_.Insert(key_, id);
      entries.push_back({0, keys_.size(), static_cast<std::uint32_t>(key_.size()), 0, 0, 0});
      keys_ += key_;
      added = true;
    }
    last_ = id;
    lastBytes_.assign(idBytes);
    lastValid_ = true;
    return id;
  }

  std::string_view Key(std::uint32_t id) const {
    return std::string_view(keys_).substr(entries[id].keyAt, entries[id].keyLength);
  }

  std::vector<Entry> entries;

 private:
  void MakeKey(std::string_view idBytes) {
    key_.clear();
    if (IsAsciiBytes(idBytes)) {
      key_.assign(idBytes);
      return;
    }
    key_.push_back('\xFF');
    for (const char16_t u : Decode(idBytes, enc_)) {
      key_.push_back(static_cast<char>(u & 0xFF));
      key_.push_back(static_cast<char>(u >> 8));
    }
  }

  FF1Encoding enc_ = FF1Encoding::ShiftJIS;
  ByteIndex index_;
  std::string keys_;  // every key, one after the other
  std::string key_;
  std::uint32_t last_ = 0;
  std::string lastBytes_;
  bool lastValid_ = false;
};

// Rows are kept as their places in the input, not as text: the merge reads
// them back when it writes. 40 bits of offset (files up to 1 TiB), 24 of file index.
constexpr unsigned kOffsetBits = 40;
constexpr std::uint64_t kOffsetMask = (std::uint64_t{1} << kOffsetBits) - 1;

std::uint64_t PlaceOf(std::uint32_t file, std::uint64_t offset, std::size_t length,
                      const fs::path& path) {
  if (offset > kOffsetMask || length > 0xFFFFFFFFu || file >= (1u << (64 - kOffsetBits)))
    ThrowReadError(path);
  return (std::uint64_t{file} << kOffsetBits) | offset;
}

// Rows of one data id's latest month that follow each other in a file, line
// after line: from the start of the first to the end of the last (without its
// line end). A patient's rows of one visit mostly come together, so a run
// usually holds many rows.
struct KeptRun {
  std::uint32_t id;
  std::uint32_t length;
  std::uint64_t place;  // file index << kOffsetBits | offset: input order
};

// A run grows up to this many bytes: the bytes of a run are read back at once.
constexpr std::uint64_t kMaxRunBytes = std::uint64_t{1} << 20;

// The runs of every data id's latest month so far, in input order. When a
// data id reaches a later month its earlier runs are dead; they are dropped
// when they are half of what is held.
class KeptRuns {
 public:
  explicit KeptRuns(IdTable& table) : table_(table) {}

  // A row of data id `id` (new when `added`) at `place`, `length` bytes long,
  // that follows the previous line of its file directly when `follows`.
  // False when the row is not of the id's latest month so far.
  bool Add(std::uint32_t id, bool added, std::int32_t ym, std::uint64_t place, std::size_t length,
           bool follows) {
    IdTable::Entry& e = table_.entries[id];
    if (added || ym > e.latest) {
      live_ -= e.runs;
      e = {place, e.keyAt, e.keyLength, ym, 0, 0};
    } else if (ym < e.latest) {
      return false;
    }
    ++e.rows;
    if (follows && !runs_.empty()) {
      KeptRun& last = runs_.back();
      const std::uint64_t grown = place + length - last.place;
      if (last.id == id && last.place >= e.firstPlace && grown <= kMaxRunBytes) {
        last.length = static_cast<std::uint32_t>(grown);
        return true;
      }
    }
    if (runs_.size() == runs_.capacity() && 2 * (runs_.size() - live_) >= runs_.size()) DropDead();
    runs_.push_back({id, static_cast<std::uint32_t>(length), place});
    ++e.runs;
    ++live_;
    return true;
  }

  // The live runs; the object is spent afterwards.
  std::vector<KeptRun> Take() {
    DropDead();
    return std::move(runs_);
  }

 private:
  void DropDead() {
    std::erase_if(runs_, [&](const KeptRun& r) { return r.place < table_.entries[r.id].firstPlace; });
  }
  IdTable& table_;
  std::vector<KeptRun> runs_;
  std::size_t live_ = 0;
};


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
  return CompareUnitsAsciiFold(a.size(), b.size(), [&](std::size_t i) { return a[i]; },
                               [&](std::size_t i) { return b[i]; });
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

void MergeFF1Latest(const fs::path& InDir, const fs::path& OutFile, MergeCounts* counts) {
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

  // One reading of every file: the header line, and the runs of rows of each
  // data id's latest month so far.
  IdTable table;
  KeptRuns kept(table);
  std::vector<FF1Encoding> encodings;
  encodings.reserve(listed.size());
  bool haveHeader = false;
  KeptRun header{};
  std::size_t rows = 0;
  for (std::uint32_t fi = 0; fi < listed.size(); ++fi) {
    const fs::path& path = listed[fi];
    ShapedLineReader reader(path);
    const FF1Encoding enc = reader.utf8() ? FF1Encoding::UTF8 : FF1Encoding::ShiftJIS;
    encodings.push_back(enc);
    const std::string& title = FacilityCodeBytes(enc);
    reader.LookFor(title[0], title[1]);
    table.NewFile(enc);
    LineClassifier classify(enc);
    std::string_view line, idBytes;
    std::uint64_t offset = 0;
    LineShape shape;
    bool follows = false;  // the previous line of the file went into the last run
    while (reader.Next(line, offset, shape)) {
      std::int32_t ym = 0;
      const LineKind kind = classify.Classify(line, shape, idBytes, ym);
      if (kind == LineKind::kSkip) {
        follows = false;
        continue;
      }
      if (kind == LineKind::kHeader) {
        if (!haveHeader) {
          haveHeader = true;
          header = {0, static_cast<std::uint32_t>(line.size()),
                    PlaceOf(fi, offset, line.size(), path)};
        }
        follows = false;
        continue;
      }
      ++rows;
      bool added = false;
      const std::uint32_t id = table.Find(idBytes, added);
      follows = kept.Add(id, added, ym, PlaceOf(fi, offset, line.size(), path), line.size(), follows);
    }
  }
  std::vector<KeptRun> runs = kept.Take();

  // Rank of each data id in the folded order; ids equal but for letter case share a rank.
  const std::vector<IdTable::Entry>& ids = table.entries;
  std::vector<std::uint32_t> order(ids.size());
  for (std::uint32_t i = 0; i < order.size(); ++i) order[i] = i;
  std::sort(order.begin(), order.end(), [&](std::uint32_t x, std::uint32_t y) {
    return CompareKeysAsciiFold(table.Key(x), table.Key(y)) < 0;
  });
  std::vector<std::uint32_t> rank(ids.size());
  for (std::size_t k = 0; k < order.size(); ++k) {
    const bool same =
        k > 0 && CompareKeysAsciiFold(table.Key(order[k - 1]), table.Key(order[k])) == 0;
    rank[order[k]] = same ? rank[order[k - 1]] : static_cast<std::uint32_t>(k);
  }
  order = {};
  // By rank, the later month first, then in input order (the place): the
  // order of a stable sort of the rows as read.
  std::sort(runs.begin(), runs.end(), [&](const KeptRun& x, const KeptRun& y) {
    if (rank[x.id] != rank[y.id]) return rank[x.id] < rank[y.id];
    if (ids[x.id].latest != ids[y.id].latest) return ids[x.id].latest > ids[y.id].latest;
    return x.place < y.place;
  });

  const FF1Encoding outEnc = encodings.front();
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
  // A line of the other encoding, converted (`conv` is scratch space).
  auto writeConverted = [&](std::string_view raw) {
    if (outEnc == FF1Encoding::UTF8) {
      out.Write(ToUtf8(Cp932Decode(raw)));
    } else {
      conv.clear();
      Cp932EncodeAppend(FromUtf8(raw), conv);
      out.Write(conv);
    }
    out.Write("\r\n");
  };
  // Runs come mostly file by file: one file open at a time.
  std::unique_ptr<LineFetcher> fetcher;
  std::uint32_t fetcherFile = 0;
  auto writeRun = [&](const KeptRun& run) {
    const std::uint32_t fi = static_cast<std::uint32_t>(run.place >> kOffsetBits);
    if (!fetcher || fetcherFile != fi) {
      fetcher.reset();
      fetcher = std::make_unique<LineFetcher>(listed[fi]);
      fetcherFile = fi;
    }
    const std::string_view raw = fetcher->Fetch(run.place & kOffsetMask, run.length);
    // Every line end becomes CR LF. In the output's encoding, lines that
    // already end so go out together.
    const bool same = encodings[fi] == outEnc;
    const char* const end = raw.data() + raw.size();
    const char* p = raw.data();
    const char* piece = p;  // the first byte not yet written
    while (true) {
      const char* e = p + FindCrOrLf(p, static_cast<std::size_t>(end - p));
      const bool last = e == end;
      const bool crlf = !last && *e == '\r' && e + 1 < end && e[1] == '\n';
      if (!same) {
        writeConverted(std::string_view(p, static_cast<std::size_t>(e - p)));
      } else if (!crlf) {
        out.Write(std::string_view(piece, static_cast<std::size_t>(e - piece)));
        out.Write("\r\n");
      }
      if (last) break;
      p = e + (crlf ? 2 : 1);
      if (!crlf) piece = p;
    }
  };
  if (haveHeader) writeRun(header);
  for (const KeptRun& r : runs) writeRun(r);
  fetcher.reset();
  out.Commit();
  if (counts) {
    counts->files = std::move(listed);
    counts->rows = rows;
    counts->patients = ids.size();
    counts->kept = 0;
    for (const IdTable::Entry& e : ids) counts->kept += e.rows;
  }
}

}  // namespace tavo::ff1
