#include "core/run_history.h"

#include <cstdio>
#include <ctime>
#include <system_error>

#include "core/cp932.h"
#include "core/env.h"
#include "core/files.h"
#include "core/sha256.h"

namespace tavo {

namespace fs = std::filesystem;

namespace {

const char16_t kHeader[] =
    u"日時,操作,モード・オプション,入力ファイル,出力ファイル,件数,結果,メッセージ";

Text NowText() {
  const std::tm local = LocalNow();
  char buf[32];
  std::strftime(buf, sizeof buf, "%Y/%m/%d %H:%M:%S", &local);
  return FromUtf8(buf);
}

// A CSV field: always quoted, inner quotes doubled.
Text CsvField(TextView value) {
  Text out = u"\"";
  for (const char16_t c : value) {
    if (c == u'"') out += u'"';
    out += c;
  }
  return out + u'"';
}

Text JoinedBySlash(const std::vector<Text>& parts) {
  Text out;
  for (const Text& p : parts) {
    if (!out.empty()) out += u" / ";
    out += p;
  }
  return out;
}

Text BareName(const fs::path& file) { return PathText(file.filename()); }

std::uintmax_t SizeOf(const fs::path& file, bool& known) {
  std::error_code ec;
  const std::uintmax_t size = fs::file_size(file, ec);
  known = !ec;
  return ec ? 0 : size;
}

Text InputText(const fs::path& file, bool fingerprint) {
  bool known = false;
  const std::uintmax_t size = SizeOf(file, known);
  if (!known) return BareName(file) + T(" (なし)");
  Text text =
      BareName(file) + u" (" + IntToText(static_cast<std::int64_t>(size)) + T("バイト, SHA-256 ");
  if (!fingerprint) return text + T("省略: 入力の合計が32MB超)");
  const std::optional<std::string> hex = Sha256FileHex(file);
  return text + (hex ? FromUtf8(hex->substr(0, 16)) : T("読めません")) + u")";
}

// Whether the run's inputs are small enough together to be fingerprinted.
bool WorthFingerprinting(const std::vector<fs::path>& inputs) {
  std::uintmax_t total = 0;
  for (const fs::path& in : inputs) {
    bool known = false;
    total += SizeOf(in, known);
  }
  return total <= kFingerprintLimit;
}

Text OutputText(const fs::path& file) {
  bool known = false;
  const std::uintmax_t size = SizeOf(file, known);
  return BareName(file) + u" (" +
         (known ? IntToText(static_cast<std::int64_t>(size)) + T("バイト") : T("なし")) + u")";
}

Text ResultText(const RunResult& result) {
  for (const Message& m : result.messages)
    if (m.kind == MsgKind::Error) return T("エラー");
  return result.wrote() ? T("作成") : T("警告");
}

Text MessagesText(const std::vector<Message>& messages) {
  std::vector<Text> texts;
  for (const Message& m : messages) texts.push_back(MaskQuotedValues(m.text));
  return JoinedBySlash(texts);
}

// Starts a new history when the current one has passed the limit.
void RotateIfFull(const fs::path& history, const fs::path& old) {
  std::error_code ec;
  const std::uintmax_t size = fs::file_size(history, ec);
  if (ec || size <= kRunHistoryLimit) return;
  fs::remove(old, ec);
  fs::rename(history, old, ec);
}

void AppendLine(const fs::path& programDir, const std::vector<Text>& fields) noexcept {
  try {
    const fs::path history = programDir / PathFromText(kRunHistoryName);
    RotateIfFull(history, programDir / PathFromText(kRunHistoryOldName));
    std::error_code ec;
    const bool fresh = !fs::exists(history, ec);
    Text line;
    if (fresh) line = Text(kHeader) + u"\r\n";
    for (std::size_t i = 0; i < fields.size(); ++i) {
      if (i > 0) line += u',';
      line += CsvField(fields[i]);
    }
    line += u"\r\n";
    const std::string bytes = Cp932Encode(line);
#ifdef _WIN32
    std::FILE* f = _wfopen(history.wstring().c_str(), L"ab");
#else
    std::FILE* f = std::fopen(history.c_str(), "ab");
#endif
    if (!f) return;
    std::fwrite(bytes.data(), 1, bytes.size(), f);
    std::fclose(f);
  } catch (...) {
    // The history is a help for support staff; a run never depends on it.
  }
}

}  // namespace

Text MaskQuotedValues(TextView message) {
  Text out;
  char16_t closing = 0;
  for (const char16_t c : message) {
    if (closing) {
      if (c == closing) {
        out += u"…";
        out += c;
        closing = 0;
      }
      continue;
    }
    out += (c == u'\r' || c == u'\n') ? u' ' : c;
    if (c == u'「') closing = u'」';
    if (c == u'"' || c == u'\'') closing = c;
  }
  if (closing) out += u"…";
  return out;
}

void RecordRun(const fs::path& programDir, const RunResult& result) noexcept {
  try {
    if (result.operation.empty()) return;
    std::vector<Text> inputs;
    const bool fingerprint = WorthFingerprinting(result.inputs);
    for (const fs::path& in : result.inputs) {
      if (!in.empty()) inputs.push_back(InputText(in, fingerprint));  // a blank box names no file
    }
    std::vector<Text> outputs;
    for (const fs::path& out : result.written) outputs.push_back(OutputText(out));
    AppendLine(programDir, {NowText(), result.operation, result.options, JoinedBySlash(inputs),
                            JoinedBySlash(outputs), JoinedBySlash(result.counts),
                            ResultText(result), MessagesText(result.messages)});
  } catch (...) {
  }
}

void RecordMove(const fs::path& programDir, const OutputMoveResult& move) noexcept {
  try {
    if (move.moved.empty() && move.stayed.empty() && move.messages.empty()) return;
    std::vector<Text> outputs;
    for (const Text& name : move.moved) outputs.push_back(name);
    Text message = T("移動先: ") + PathText(move.destination);
    if (!move.messages.empty()) message += T(" / ") + MessagesText(move.messages);
    const bool failed = move.stopped || !move.stayed.empty();
    AppendLine(programDir, {NowText(), T("保存"), Text(), Text(), JoinedBySlash(outputs), Text(),
                            failed ? T("警告") : T("移動"), message});
  } catch (...) {
  }
}

}  // namespace tavo
