// Branch-number removal and anonymization of receipt files.
//
// Records are handled as the bytes read: in Shift_JIS neither the comma, the
// double quote nor any byte up to 20 can be the trail byte of a character, so
// splitting, dropping quotes, trimming and the quoting test of JoinCommaTxt
// give on the bytes what they give on the decoded text. A record that a run
// does not change is written back as the very bytes of its line; a rebuilt
// record keeps the bytes of its unchanged fields. Only the values a rule needs
// as text are decoded. The output streams into the temporary file of an atomic
// write whose final name (from the last IR record) is set at the end.
#include "receipt/receipt_ops.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <string>
#include <string_view>
#include <vector>

#include "core/background_io.h"
#include "core/cp932.h"
#include "core/errors.h"
#include "core/files.h"
#include "core/strconv.h"
#include "receipt/record_scan.h"

namespace tavo::receipt {

namespace fs = std::filesystem;

// ------------------------------------------------------------ patient numbers

namespace {

Text BeforeFirst(const Text& s, char16_t sep) {
  const auto at = s.find(sep);
  if (at == Text::npos) return s;
  return Trim(TextView(s).substr(0, at));
}

}  // namespace

Text GetKnjBng(TextView pstKnjBng) {
  Text s = Trim(pstKnjBng);
  if (s.size() >= 2 && s.compare(s.size() - 2, 2, u"*0") == 0)
    s = Trim(TextView(s).substr(0, s.size() - 2));
  s = BeforeFirst(s, u'-');
  s = RemoveChar(s, u' ');
  s = BeforeFirst(s, u'/');
  s = RemoveChar(s, u' ');
  s = BeforeFirst(s, u'*');
  return RemoveChar(s, u' ');
}

Text GetKnjBng2(TextView pstKnjBng, std::int32_t KStart, std::int32_t KEnd) {
  const Text s = Trim(pstKnjBng);
  if (!(KStart >= 0 && KEnd > 0 && KStart < KEnd)) return Text();
  // Positions are 1-based; a start before the first character starts at it.
  const std::int64_t first = KStart < 1 ? 1 : KStart;
  const std::int64_t last = std::min<std::int64_t>(KEnd, static_cast<std::int64_t>(s.size()));
  if (first > last) return Text();
  return Trim(TextView(s).substr(static_cast<std::size_t>(first - 1),
                                 static_cast<std::size_t>(last - first + 1)));
}

std::string GetKnjBngBytes(std::string_view pstKnjBng) {
  // "-", "/", "*", the space and the trimmed bytes up to 20 are never a trail
  // byte in Shift_JIS, so each step acts on the bytes as it does on the text.
  auto beforeFirst = [](std::string_view b, char sep) {
    const auto at = b.find(sep);
    return at == std::string_view::npos ? b : TrimBytes(b.substr(0, at));
  };
  auto withoutSpaces = [](std::string_view b) {
    std::string out;
    out.reserve(b.size());
    for (char c : b)
      if (c != ' ') out.push_back(c);
    return out;
  };
  std::string_view s = TrimBytes(pstKnjBng);
  if (s.size() >= 2 && s.substr(s.size() - 2) == "*0") s = TrimBytes(s.substr(0, s.size() - 2));
  std::string t = withoutSpaces(beforeFirst(s, '-'));
  t = withoutSpaces(beforeFirst(t, '/'));
  return withoutSpaces(beforeFirst(t, '*'));
}

// ------------------------------------------------------------- record bytes

namespace {

using Bytes = std::string_view;

constexpr int Id(char a, char b) {
  return static_cast<unsigned char>(a) << 8 | static_cast<unsigned char>(b);
}

// The record identifier, field 1 with its double quotes dropped, as Id(a, b);
// 0 when it is not two characters long.
int RecordId(Bytes line) {
  if (line.size() >= 3 && line[2] == ',' && line[0] != '"' && line[1] != '"')
    return Id(line[0], line[1]);
  char kept[2];
  std::size_t n = 0;
  for (char c : line) {
    if (c == ',') break;
    if (c == '"') continue;
    if (n == 2) return 0;
    kept[n++] = c;
  }
  return n == 2 ? Id(kept[0], kept[1]) : 0;
}

// Any byte 01..20 (blank or control character) in the bytes.
bool HasBlank(Bytes s) {
  bool any = false;
  for (char c : s) any |= static_cast<unsigned char>(static_cast<unsigned char>(c) - 1u) < 0x20u;
  return any;
}

// GetCommaTxt over the bytes of one record, with index errors like the list's.
class Fields {
 public:
  void Split(Bytes line) {
    if (std::memchr(line.data(), '"', line.size()) != nullptr) {
      dequoted_.clear();
      for (char c : line)
        if (c != '"') dequoted_.push_back(c);
      line = dequoted_;
    }
    line_ = line;
    fields_.clear();
    // Fields are short: a plain scan beats a memchr call per field.
    bool blanks = false;
    std::size_t start = 0;
    for (std::size_t i = 0; i < line.size(); ++i) {
      const unsigned char c = static_cast<unsigned char>(line[i]);
      blanks |= static_cast<unsigned char>(c - 1u) < 0x20u;
      if (c == ',') {
        fields_.push_back(line.substr(start, i - start));
        start = i + 1;
      }
    }
    fields_.push_back(line.substr(start));
    blanks_ = blanks;
    replaced_.assign(fields_.size(), false);
    values_.resize(fields_.size());
  }

  std::size_t size() const { return fields_.size(); }
  Bytes At(std::size_t index) const {
    if (index >= fields_.size()) ThrowIndexError(static_cast<long long>(index));
    return replaced_[index] ? Bytes(values_[index]) : fields_[index];
  }
  void Set(std::size_t index, std::string value) {
    if (index >= fields_.size()) ThrowIndexError(static_cast<long long>(index));
    values_[index] = std::move(value);
    replaced_[index] = true;
  }

  // JoinCommaTxt with strict off: quotes a field holding '"', ',' or a byte
  // 01..20 (the same characters, as none of those bytes is a trail byte).
  void AppendJoined(std::string& out) const {
    if (fields_.size() == 1 && At(0).empty()) {
      out += "\"\"";
      return;
    }
    bool quoting = blanks_;
    for (std::size_t i = 0; i < fields_.size() && !quoting; ++i)
      quoting = replaced_[i] && NeedsQuotes(values_[i]);
    if (!quoting) return AppendSpliced(out);
    for (std::size_t i = 0; i < fields_.size(); ++i) {
      if (i > 0) out.push_back(',');
      const Bytes f = At(i);
      if (!NeedsQuotes(f)) {
        out.append(f);
        continue;
      }
      out.push_back('"');
      for (char c : f) {
        if (c == '"') out.push_back('"');
        out.push_back(c);
      }
      out.push_back('"');
    }
  }

  // JoinCommaTxt with every double quote then removed: a plain comma join.
  // The record read has no double quote left, the new values lose theirs.
  void AppendJoinedWithoutQuotes(std::string& out) const { AppendSpliced(out, true); }

 private:
  static bool NeedsQuotes(Bytes f) { return HasBlank(f) || f.find_first_of("\",") != Bytes::npos; }

  // The record as read (quotes dropped) with the replaced fields put in: the
  // unchanged fields and their commas are copied as one run.
  void AppendSpliced(std::string& out, bool dropQuotes = false) const {
    std::size_t from = 0;
    for (std::size_t i = 0; i < fields_.size(); ++i) {
      if (!replaced_[i]) continue;
      const std::size_t begin = static_cast<std::size_t>(fields_[i].data() - line_.data());
      out.append(line_.substr(from, begin - from));
      for (char c : values_[i])
        if (!dropQuotes || c != '"') out.push_back(c);
      from = begin + fields_[i].size();
    }
    out.append(line_.substr(from));
  }

  std::string dequoted_;
  Bytes line_;           // the record with its double quotes dropped
  bool blanks_ = false;  // the record read has a byte 01..20 somewhere
  std::vector<Bytes> fields_;
  std::vector<bool> replaced_;
  std::vector<std::string> values_;
};

// The output file: lines collected in a large buffer, which is written on a
// second thread while the next one fills.
class OutputStream {
 public:
  explicit OutputStream(const fs::path& provisional) : file_(provisional), behind_(file_) {
    buf_.reserve(kBlock);
  }
  std::string& buffer() { return buf_; }
  void EndLine() {
    buf_ += "\r\n";
    if (buf_.size() >= kFlushAt) Flush();
  }
  // Runs the loop that fills the buffer; a write error of a block it handed
  // over comes before anything else that stops it.
  template <class Body>
  void Run(Body&& body) {
    behind_.Run(body);
  }
  void CommitAs(const fs::path& target) {
    Flush();
    behind_.Finish();
    file_.CommitAs(target);
  }

 private:
  static constexpr std::size_t kFlushAt = 1 << 20;
  static constexpr std::size_t kBlock = kFlushAt + 4096;
  void Flush() {
    if (buf_.empty()) return;
    behind_.Write(buf_, buf_.size());
    buf_.clear();
    buf_.reserve(kBlock);
  }
  AtomicFile file_;
  WriteBehind<std::string> behind_;  // writes file_; destroyed first
  std::string buf_;
};

// A record without a double quote and without a byte up to 20 has no field
// that JoinCommaTxt quotes, so its rebuilt form is the bytes read with the
// replaced field spliced in. Finds the bounds of the 0-based field `index` of
// such a record in one pass; false when the record is not plain or too short
// (the full split then quotes, or reports the index error).
bool PlainFieldBounds(Bytes line, std::size_t index, std::size_t& begin, std::size_t& end) {
  unsigned bad = 0;
  std::size_t commas = 0;
  begin = end = line.size();
  for (std::size_t i = 0; i < line.size(); ++i) {
    const unsigned char c = static_cast<unsigned char>(line[i]);
    bad |= static_cast<unsigned>(c <= 0x20) | static_cast<unsigned>(c == '"');
    if (c == ',') {
      ++commas;
      if (commas == index) begin = i + 1;
      if (commas == index + 1) end = i;
    }
  }
  if (index == 0) begin = 0;
  return bad == 0 && commas >= index;
}

Text DecodeTrimmed(Bytes b) { return Cp932Decode(TrimBytes(b)); }

Text KindText(bool kokuho) { return kokuho ? T("国保") : T("社保"); }

const Text& MissingFileText() {
  static const Text t = T("ファイルがありません。");
  return t;
}

// Runs `body` and turns a failure into the error box that ends the click.
template <typename Body>
void Guarded(RunResult& r, Body&& body) {
  try {
    body();
  } catch (const OpError& e) {
    r.written.clear();
    r.Error(e.text());
    r.stopped = true;
  } catch (const std::bad_alloc&) {
    r.written.clear();
    r.Error(T("メモリが不足しています。"));
    r.stopped = true;
  } catch (const std::exception& e) {
    r.written.clear();
    r.Error(FromUtf8(e.what()));
    r.stopped = true;
  }
}

// The output name is known only at the end: it must neither be the input nor
// an output of an earlier run of the same click.
bool Refuses(RunResult& r, const fs::path& target, const Text& name, const fs::path& input,
             TextView pstFile, const ClickOutputs* click) {
  return r.RefusesOverwrite(target, name, {input}) ||
         (click && click->Refuses(target, name, pstFile, r));
}

// The kind test of the file selection: the 4th character of the first line,
// '1' for 社保 and '2' for 国保. A file of another kind (an outpatient file
// typed into a box, say) is named in a warning and not run.
bool IsReceiptOfKind(RunResult& r, const fs::path& path, TextView pstFile, ReceiptKind expected) {
  const std::vector<Text> lines = LoadLeadingLines(path, 1);
  const char16_t kind = !lines.empty() && lines[0].size() >= 4 ? lines[0][3] : u'\0';
  const bool ok = expected == ReceiptKind::Shaho    ? kind == u'1'
                  : expected == ReceiptKind::Kokuho ? kind == u'2'
                                                    : kind == u'1' || kind == u'2';
  if (ok) return true;
  r.Warn(Text(pstFile) + u"\n" +
         T(expected == ReceiptKind::Shaho    ? "社保のレセ電データではありません。"
           : expected == ReceiptKind::Kokuho ? "国保のレセ電データではありません。"
                                             : "社保・国保のレセ電データではありません。"));
  return false;
}

Text BranchModeText(const BranchOptions& options) {
  switch (options.mode) {
    case 0:
      return T("記号「-」「*」「/」より後を除去");
    case 1:
      return T("指定の位置（") + Trim(options.fromText) + T("～") + Trim(options.toText) +
             T("番目）以外を除去");
    default:
      return T("除去方法の選択なし");
  }
}

}  // namespace

// -------------------------------------------------------- branch-number removal

RunResult RemoveBranchNumbers(const Env& env, TextView pstFile, const BranchOptions& options,
                              ClickOutputs* click, ReceiptKind expected) {
  RunResult r;
  const fs::path path = PathFromText(pstFile);
  r.Describe(T("枝番除去"), BranchModeText(options), {path});
  if (!FileExists(path)) {
    r.Warn(MissingFileText());
    return r;
  }
  std::int32_t KStart = 0;
  std::int32_t KEnd = 0;
  if (options.mode == 1) {
    const Text from = Trim(options.fromText);
    const Text to = Trim(options.toText);
    if (from.empty() || to.empty()) {
      r.Warn(T("値が空欄です"));
      return r;
    }
    KStart = ToInt32Def(from, 0);
    KEnd = ToInt32Def(to, 0);
    // Positions that keep no character would empty every patient number.
    if (KStart <= 0 || KEnd <= 0 || KStart >= KEnd) {
      r.Warn(T("正しい数字を入力して下さい"));
      return r;
    }
  }

  Guarded(r, [&] {
    if (!IsReceiptOfKind(r, path, pstFile, expected)) return;
    bool kokuho = false;
    Text F;
    std::int64_t records = 0;
    std::int64_t changed = 0;
    LineReader reader(path);
    OutputStream out(env.ProgramFile("RECEIPTC.uke"));
    Fields fields;
    std::string_view line;
    out.Run([&] {
      while (reader.NextView(line)) {
        std::string& buf = out.buffer();
        const int id = RecordId(line);
        if (id == Id('I', 'R')) {
          fields.Split(line);
          F = DecodeTrimmed(fields.At(7));
          if (TrimBytes(fields.At(1)) == "2") kokuho = true;
          buf += line;
        } else if (id == Id('R', 'E')) {
          ++records;
          std::size_t begin = 0;
          std::size_t end = 0;
          if (options.mode == 0 && PlainFieldBounds(line, 13, begin, end)) {
            // The common record: splice the new number into the bytes read.
            const std::string_view old = line.substr(begin, end - begin);
            const std::string number = GetKnjBngBytes(old);
            changed += number != old;
            buf.append(line.substr(0, begin));
            buf += number;
            buf.append(line.substr(end));
          } else {
            fields.Split(line);
            if (options.mode == 0 || options.mode == 1) {
              const std::string old(fields.At(13));
              if (options.mode == 0) {
                fields.Set(13, GetKnjBngBytes(fields.At(13)));
              } else {
                const Text number = DecodeTrimmed(fields.At(13));
                fields.Set(13, Cp932Encode(GetKnjBng2(number, KStart, KEnd)));
              }
              changed += fields.At(13) != old;
            }
            fields.AppendJoined(buf);
          }
        } else {
          buf += line;
        }
        out.EndLine();
      }
    });
    const Text name =
        SafeFileName(u"(" + F + (kokuho ? T("提出_国保") : T("提出_社保")) + u")RECEIPTC.uke");
    const fs::path target = env.ProgramFile(PathFromText(name));
    if (Refuses(r, target, name, path, pstFile, click)) return;
    out.CommitAs(target);
    if (click) click->Add(target, pstFile);
    r.written.push_back(target);
    r.gstMsg = KindText(kokuho) + T("の枝番除去ファイル") + T("が作成されました");
    (kokuho ? r.gstFile2 : r.gstFile1) = name;
    r.Count(KindText(kokuho) + T("：RE ") + IntToText(records) + T("件を読み、患者番号 ") +
            IntToText(changed) + T("件を変更しました"));
  });
  return r;
}

// --------------------------------------------------------------- anonymization

namespace {

// "テスト" and "国" or "社", then the receipt number in full-width characters.
std::string DummyName(std::string_view number, bool kokuho) {
  static const std::string kShaho = Cp932Encode(T("テスト社"));
  static const std::string kKokuho = Cp932Encode(T("テスト国"));
  std::string name = kokuho ? kKokuho : kShaho;
  for (const char c : number) {
    if (c < '0' || c > '9')
      return Cp932Encode(T("テスト") + (kokuho ? T("国") : T("社")) +
                         StrConv(Cp932Decode(number), tavo::Wide));
    // The full-width digits are 824F..8258.
    name.push_back('\x82');
    name.push_back(static_cast<char>(0x4F + (c - '0')));
  }
  return name;
}

// The RE, HO and KO records that are long enough and hold no double quote
// (HO and KO no blank either, which would have JoinCommaTxt quote fields)
// are rebuilt by splicing the new values into the bytes read, as the general
// path would. False, with nothing written, for any other record.
bool AnonymizePlainRecord(int id, Bytes line, bool kokuho, RecordScan& scan, std::string& out) {
  static const std::string kHoValues = "12345678,," + Cp932Encode(T("１２３４５"));
  static constexpr Bytes kKoValues = "12345678,1234567";
  if (id == Id('R', 'E')) {
    // The name (field 5) becomes the dummy; field 37, when there, is emptied.
    ScanRecord(line, 37, scan);
    if (scan.quote || scan.commas < 4) return false;
    const std::size_t nameAt = scan.Begin(4);
    out.append(line.substr(0, nameAt));
    out += DummyName(line.substr(scan.Begin(1), scan.End(1, line.size()) - scan.Begin(1)), kokuho);
    const std::size_t rest = scan.End(4, line.size());
    if (scan.commas >= 36) {
      const std::size_t kanaAt = scan.Begin(36);
      out.append(line.substr(rest, kanaAt - rest));
      out.append(line.substr(scan.End(36, line.size())));
    } else {
      out.append(line.substr(rest));
    }
    return true;
  }
  const bool ho = id == Id('H', 'O');
  if (!ho && id != Id('K', 'O')) return false;
  // Fields 2 to 4 (HO) or 2 and 3 (KO) are replaced as one run.
  const std::size_t last = ho ? 3 : 2;
  ScanRecord(line, last + 1, scan);
  if (scan.quote || scan.blank || scan.commas < last) return false;
  out.append(line.substr(0, scan.Begin(1)));
  out.append(ho ? Bytes(kHoValues) : kKoValues);
  out.append(line.substr(scan.End(last, line.size())));
  return true;
}

}  // namespace

RunResult AnonymizeReceipt(const Env& env, TextView pstFile, ClickOutputs* click,
                           ReceiptKind expected) {
  RunResult r;
  const fs::path path = PathFromText(pstFile);
  r.Describe(T("匿名化"), Text(), {path});
  if (!FileExists(path)) {
    r.Warn(MissingFileText());
    return r;
  }

  Guarded(r, [&] {
    if (!IsReceiptOfKind(r, path, pstFile, expected)) return;
    static const std::string kClinicCode = "0123456";
    static const std::string kClinicName = Cp932Encode(T("NIVAクリニック"));
    static const std::string kPhone = "012-345-6789";
    static const std::string kInsurer = "12345678";
    static const std::string kCardNumber = Cp932Encode(T("１２３４５"));
    static const std::string kPayer = "12345678";
    static const std::string kRecipient = "1234567";

    bool kokuho = false;
    Text F;
    std::int64_t names = 0;
    std::int64_t removed = 0;
    LineReader reader(path);
    OutputStream out(env.ProgramFile("RECEIPT.UKE"));
    Fields fields;
    RecordScan scan;
    std::string_view line;
    out.Run([&] {
      while (reader.NextView(line)) {
        const int id = RecordId(line);
        if (id == Id('S', 'J') || id == Id('C', 'O')) {
          ++removed;
          continue;
        }
        names += id == Id('R', 'E');
        std::string& buf = out.buffer();
        if (AnonymizePlainRecord(id, line, kokuho, scan, buf)) {
          // The common records, spliced on their bytes.
        } else if (id == Id('I', 'R')) {
          fields.Split(line);
          if (TrimBytes(fields.At(1)) == "2") kokuho = true;
          F = DecodeTrimmed(fields.At(7));
          fields.Set(4, kClinicCode);
          fields.Set(6, kClinicName);
          fields.Set(9, kPhone);
          fields.AppendJoined(buf);
        } else if (id == Id('R', 'E')) {
          fields.Split(line);
          const Text number = Cp932Decode(fields.At(1));
          fields.Set(4, Cp932Encode(T("テスト") + (kokuho ? T("国") : T("社")) +
                                    StrConv(number, tavo::Wide)));
          if (fields.size() >= 37) fields.Set(36, std::string());
          fields.AppendJoinedWithoutQuotes(buf);
        } else if (id == Id('H', 'O')) {
          fields.Split(line);
          fields.Set(1, kInsurer);
          fields.Set(2, std::string());
          fields.Set(3, kCardNumber);
          fields.AppendJoined(buf);
        } else if (id == Id('K', 'O')) {
          fields.Split(line);
          fields.Set(1, kPayer);
          fields.Set(2, kRecipient);
          fields.AppendJoined(buf);
        } else {
          buf += line;
        }
        out.EndLine();
      }
    });
    const Text name = SafeFileName(F + (kokuho ? u"_2" : u"_1") + u".UKE");
    const fs::path target = env.ProgramFile(PathFromText(name));
    if (Refuses(r, target, name, path, pstFile, click)) return;
    out.CommitAs(target);
    if (click) click->Add(target, pstFile);
    r.written.push_back(target);
    r.gstMsg = KindText(kokuho) + T("の匿名化ファイル") + T("が作成されました");
    (kokuho ? r.gstFile2 : r.gstFile1) = name;
    r.Count(KindText(kokuho) + T("：患者名 ") + IntToText(names) +
            T("件をダミーに置き換え、SJ・CO ") + IntToText(removed) + T("行を除きました"));
  });
  return r;
}

}  // namespace tavo::receipt
