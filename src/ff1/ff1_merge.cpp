#include "ff1/ff1_merge.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
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
  std::string bytes;
  FF1Encoding enc = FF1Encoding::ShiftJIS;
};

struct LineRef {
  std::uint32_t file = 0;
  std::size_t offset = 0;
  std::size_t length = 0;
};

struct RowRef {
  std::uint32_t id;  // index into the data id table
  std::int32_t ym;
  LineRef line;
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

  std::vector<SourceFile> files;
  files.reserve(listed.size());
  std::unordered_map<Text, std::uint32_t> idIndex;
  std::vector<Text> ids;
  std::vector<std::int32_t> maxYm;
  std::vector<RowRef> rows;
  bool haveHeader = false;
  LineRef header;
  Text idBuf;

  for (std::uint32_t fi = 0; fi < listed.size(); ++fi) {
    SourceFile sf;
    sf.path = listed[fi];
    sf.enc = DetectEncodingFromFile(sf.path);
    sf.bytes = ReadAllBytes(sf.path);
    const std::size_t start = (sf.enc == FF1Encoding::UTF8 && HasUtf8Bom(sf.bytes)) ? 3 : 0;
    files.push_back(std::move(sf));
    const SourceFile& f = files.back();
    const std::string_view all(f.bytes);
    const std::string& titleBytes = FacilityCodeBytes(f.enc);
    constexpr std::uint32_t kNoId = 0xFFFFFFFFu;
    std::uint32_t lastId = kNoId;  // per file: the bytes' encoding is the file's
    std::string_view lastIdBytes;
    std::string_view lastFirst;  // the last first field read, and whether it is an integer
    bool lastFirstIsInt = false;

    ForEachLine(all, start, [&](std::size_t off, std::size_t len) {
      const std::string_view line = all.substr(off, len);
      if (IsBlankBytes(line)) return;
      // The first nine TABs (the leading fields are short), and whether the
      // title's first byte occurs anywhere in the line.
      std::size_t tabs[9];
      std::size_t count = 0;
      for (std::size_t k = 0; k < line.size(); ++k) {
        if (line[k] == '\t') {
          tabs[count++] = k;
          if (count == 9) break;
        }
      }
      const bool titleLead = std::memchr(line.data(), titleBytes[0], line.size()) != nullptr;
      // Every row of a file carries the same facility code: read it once.
      const std::string_view first = line.substr(0, count > 0 ? tabs[0] : line.size());
      if (first != lastFirst) {
        std::int32_t facility;
        lastFirst = first;
        lastFirstIsInt = ParseInt32Bytes(TrimBytes(first), facility);
      }
      const bool isHeader = !lastFirstIsInt || (titleLead && IsHeaderBytes(line, f.enc));
      if (isHeader) {
        if (!haveHeader) {
          haveHeader = true;
          header = {fi, off, len};
        }
        return;
      }
      // Fields 2 and 3, and at least 10 fields in all.
      if (count < 9) return;
      const std::string_view idBytes = TrimBytes(line.substr(tabs[0] + 1, tabs[1] - tabs[0] - 1));
      if (idBytes.empty()) return;
      std::int32_t ym = 0;
      if (!ParseInt32Bytes(TrimBytes(line.substr(tabs[1] + 1, tabs[2] - tabs[1] - 1)), ym) ||
          ym == 0)
        return;
      // A patient's rows mostly follow each other: reuse the last lookup.
      if (lastId != kNoId && idBytes == lastIdBytes) {
        if (maxYm[lastId] < ym) maxYm[lastId] = ym;
        rows.push_back({lastId, ym, {fi, off, len}});
        return;
      }
      DecodeInto(idBytes, f.enc, idBuf);
      std::uint32_t id;
      const auto it = idIndex.find(idBuf);
      if (it == idIndex.end()) {
        id = static_cast<std::uint32_t>(ids.size());
        idIndex.emplace(idBuf, id);
        ids.push_back(idBuf);
        maxYm.push_back(ym);
      } else {
        id = it->second;
        if (maxYm[id] < ym) maxYm[id] = ym;
      }
      rows.push_back({id, ym, {fi, off, len}});
      lastId = id;
      lastIdBytes = idBytes;
    });
  }
  idIndex = {};

  // Only rows of each data id's latest month are written; dropping the others
  // before sorting leaves the written order unchanged.
  std::erase_if(rows, [&](const RowRef& r) { return r.ym != maxYm[r.id]; });

  // Rank of each data id in the folded order; ids equal but for letter case share a rank.
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
  std::stable_sort(rows.begin(), rows.end(), [&](const RowRef& x, const RowRef& y) {
    if (rank[x.id] != rank[y.id]) return rank[x.id] < rank[y.id];
    return x.ym > y.ym;
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
  auto writeLine = [&](const LineRef& ref) {
    const SourceFile& f = files[ref.file];
    const std::string_view raw = std::string_view(f.bytes).substr(ref.offset, ref.length);
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
  for (const RowRef& r : rows) writeLine(r.line);
  out.Commit();
}

}  // namespace tavo::ff1
