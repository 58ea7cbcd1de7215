#include "core/system_error_text.h"

#include <cerrno>
#include <system_error>

#include "core/files.h"

#ifdef _WIN32
#include <windows.h>
#endif

namespace tavo {

namespace fs = std::filesystem;

namespace {

// A missing name: the file when its folder is there, else the folder.
FileCause MissingOne(const fs::path& path) {
  const fs::path folder = path.parent_path();
  return folder.empty() || FolderExists(folder) ? FileCause::kFileMissing
                                                : FileCause::kFolderMissing;
}

#ifdef _WIN32
// Codes by which Windows says that a network share or its connection is gone.
bool IsNetworkCode(long code) {
  switch (code) {
    case ERROR_REM_NOT_LIST:
    case ERROR_BAD_NETPATH:
    case ERROR_NETWORK_BUSY:
    case ERROR_DEV_NOT_EXIST:
    case ERROR_UNEXP_NET_ERR:
    case ERROR_NETNAME_DELETED:
    case ERROR_BAD_NET_NAME:
    case ERROR_NO_NET_OR_BAD_PATH:
    case ERROR_NO_NETWORK:
    case ERROR_NETWORK_UNREACHABLE:
    case ERROR_NOT_CONNECTED:
      return true;
    default:
      return false;
  }
}
#else
bool IsNetworkCode(long) { return false; }
#endif

// The drive letter of an absolute Windows path ("X:\..."), or 0.
char16_t DriveLetter(TextView text) {
  if (text.size() >= 2 && text[1] == u':' &&
      ((text[0] >= u'A' && text[0] <= u'Z') || (text[0] >= u'a' && text[0] <= u'z')))
    return text[0];
  return 0;
}

// A drive letter that names no drive at all now (a USB stick pulled out, a
// network drive that was never reconnected).
bool DriveIsGone(const fs::path& path) {
#ifdef _WIN32
  const char16_t letter = DriveLetter(PathText(path));
  if (!letter) return false;
  const wchar_t root[] = {static_cast<wchar_t>(letter), L':', L'\\', 0};
  return GetDriveTypeW(root) == DRIVE_NO_ROOT_DIR;
#else
  (void)path;
  return false;
#endif
}

struct Words {
  const char* read;
  const char* write;
};

Words WordsOf(FileCause cause) {
  switch (cause) {
    case FileCause::kHeld: {
      const char* held =
          "他のプログラムがこのファイルを開いています。"
          "そのプログラムでファイルを閉じてから、もう一度実行してください。";
      return {held, held};
    }
    case FileCause::kReadOnly: {
      const char* readOnly =
          "このファイルは読み取り専用になっています。"
          "エクスプローラーでファイルのプロパティを開いて「読み取り専用」のチェックを外してから、"
          "もう一度実行してください。";
      return {readOnly, readOnly};
    }
    case FileCause::kAccessDenied:
      return {
          "このファイルを読み込む権限がありません。"
          "ファイルをドキュメントなど自分のフォルダーへコピーして選び直すか、"
          "パソコンの管理者に相談してください。",
          "このファイルまたはフォルダーに書き込む権限がありません。"
          "書き込みのできるフォルダーを使うか、パソコンの管理者に相談してください。"};
    case FileCause::kDiskFull: {
      const char* full =
          "ディスクの空き容量が足りません。"
          "不要なファイルを削除して空きを作ってから、もう一度実行してください。";
      return {full, full};
    }
    case FileCause::kFolderMissing: {
      const char* missing =
          "フォルダーが見つかりません。"
          "フォルダーが移動または削除されていないか、名前が変わっていないか確かめてください。";
      return {missing, missing};
    }
    case FileCause::kPathTooLong: {
      const char* tooLong =
          "フォルダーとファイルの名前が長すぎます。"
          "もっと浅い場所のフォルダーを使うか、フォルダーやファイルの名前を短くしてから、"
          "もう一度実行してください。";
      return {tooLong, tooLong};
    }
    case FileCause::kFileMissing: {
      const char* missing =
          "ファイルが見つかりません。"
          "ファイルが移動または削除されていないか、名前が変わっていないか確かめてください。";
      return {missing, missing};
    }
    case FileCause::kIsFolder:
      return {"この名前はファイルではなくフォルダーです。ファイルを選んでください。",
              "同じ名前のフォルダーがあるため、ファイルを書き込めません。"
              "そのフォルダーの名前を変えるか別の場所へ移してから、もう一度実行してください。"};
    case FileCause::kWriteProtected: {
      const char* protectedDrive =
          "このドライブは書き込みが禁止されています。"
          "書き込みのできるドライブやフォルダーを使ってください。";
      return {protectedDrive, protectedDrive};
    }
    case FileCause::kBadName: {
      const char* bad =
          "フォルダーまたはファイルの名前に、使えない文字が含まれています。"
          "名前を確かめてください。";
      return {bad, bad};
    }
    case FileCause::kDevice: {
      const char* device =
          "ディスクまたはネットワークの読み書きでエラーが起きました。"
          "ドライブやネットワークの接続を確かめてから、もう一度実行してください。";
      return {device, device};
    }
    case FileCause::kOther:
      break;
  }
  const char* other =
      "予期しないエラーが起きました。"
      "もう一度実行しても同じときは、このメッセージをサポートにお知らせください。";
  return {other, other};
}

}  // namespace

SystemError FromSystemCode(long code, const fs::path& path) {
  SystemError e{FileCause::kOther, code};
#ifdef _WIN32
  switch (code) {
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION:
    case ERROR_USER_MAPPED_FILE:
      e.cause = FileCause::kHeld;
      break;
    case ERROR_ACCESS_DENIED:
    case ERROR_PRIVILEGE_NOT_HELD:
      e.cause = FolderExists(path)     ? FileCause::kIsFolder
                : IsReadOnlyFile(path) ? FileCause::kReadOnly
                                       : FileCause::kAccessDenied;
      break;
    case ERROR_HANDLE_DISK_FULL:
    case ERROR_DISK_FULL:
      e.cause = FileCause::kDiskFull;
      break;
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_DRIVE:
    case ERROR_NOT_READY:
    case ERROR_DIRECTORY:
      e.cause = FileCause::kFolderMissing;
      break;
    case ERROR_FILENAME_EXCED_RANGE:
      e.cause = FileCause::kPathTooLong;
      break;
    case ERROR_FILE_NOT_FOUND:
      e.cause = MissingOne(path);
      break;
    case ERROR_WRITE_PROTECT:
      e.cause = FileCause::kWriteProtected;
      break;
    case ERROR_INVALID_NAME:
    case ERROR_BAD_PATHNAME:
      e.cause = FileCause::kBadName;
      break;
    case ERROR_CRC:
    case ERROR_SEEK:
    case ERROR_SECTOR_NOT_FOUND:
    case ERROR_WRITE_FAULT:
    case ERROR_READ_FAULT:
    case ERROR_GEN_FAILURE:
    case ERROR_IO_DEVICE:
    case ERROR_FILE_INVALID:
      e.cause = FileCause::kDevice;
      break;
    default:
      if (IsNetworkCode(code)) e.cause = FileCause::kFolderMissing;
      break;
  }
#else
  switch (code) {
    case EACCES:
    case EPERM:
      e.cause = FolderExists(path) ? FileCause::kIsFolder : FileCause::kAccessDenied;
      break;
    case ENOSPC:
    case EDQUOT:
      e.cause = FileCause::kDiskFull;
      break;
    case ENOENT:
      e.cause = MissingOne(path);
      break;
    case ENOTDIR:
      e.cause = FileCause::kFolderMissing;
      break;
    case ENAMETOOLONG:
      e.cause = FileCause::kPathTooLong;
      break;
    case EISDIR:
      e.cause = FileCause::kIsFolder;
      break;
    case EROFS:
      e.cause = FileCause::kWriteProtected;
      break;
    case EILSEQ:
      e.cause = FileCause::kBadName;
      break;
    case EIO:
    case ENXIO:
    case ENODEV:
      e.cause = FileCause::kDevice;
      break;
    default:
      break;
  }
#endif
  return e;
}

SystemError LastSystemError(const fs::path& path) {
#ifdef _WIN32
  return FromSystemCode(static_cast<long>(GetLastError()), path);
#else
  return FromSystemCode(errno, path);
#endif
}

bool IsNetworkPath(const fs::path& path) {
  const Text text = PathText(path);
  auto separator = [](char16_t c) { return c == u'\\' || c == u'/'; };
  if (text.size() >= 2 && separator(text[0]) && separator(text[1])) return true;
#ifdef _WIN32
  if (const char16_t letter = DriveLetter(text)) {
    const wchar_t root[] = {static_cast<wchar_t>(letter), L':', L'\\', 0};
    return GetDriveTypeW(root) == DRIVE_REMOTE;
  }
#endif
  return false;
}

namespace {
Text NetworkHint() {
  return T(
      "ネットワーク上のフォルダーです。ネットワークドライブの接続が切れていないか、"
      "パソコンがネットワークにつながり、共有しているパソコンが起動しているかを"
      "確かめてください。");
}
}  // namespace

Text WhereFolderWentText(const fs::path& path) {
  if (IsNetworkPath(path)) return NetworkHint();
  if (DriveIsGone(path))
    return T("ドライブ ") + Text(1, DriveLetter(PathText(path))) +
           T(": がありません。USBメモリやネットワークドライブのときは、"
             "つながっているか確かめてください。");
  return Text();
}

Text CauseText(const SystemError& error, const fs::path& path, FileAction action) {
  const Words words = WordsOf(error.cause);
  Text text = T(action == FileAction::kWrite ? words.write : words.read);
  if (error.cause == FileCause::kFolderMissing || error.cause == FileCause::kDevice) {
    Text where = WhereFolderWentText(path);
    // Windows may say that a network share is lost where the path does not
    // show one (a drive letter whose mapping has gone).
    if (where.empty() && IsNetworkCode(error.code)) where = NetworkHint();
    text += where;
  }
  if (error.code != 0) text += T("(コード ") + IntToText(error.code) + u")";
  return text;
}

// ------------------------------------------------------------- noted failures

namespace {

// Trivially destructible: a thread_local with a destructor (a path) corrupts
// the heap at thread exit with MinGW's thread-local storage. The path is kept
// as its hash.
struct Note {
  bool noted = false;
  FileAction action = FileAction::kOpen;
  bool anyFile = false;  // noted without a path
  std::size_t file = 0;  // fs::hash_value of the path
  SystemError error;
};

Note& Noted() {
  thread_local Note note;
  return note;
}

}  // namespace

void NoteFailure(FileAction action, const fs::path& path, const SystemError& error) {
  Noted() = Note{true, action, path.empty(), fs::hash_value(path), error};
}

SystemError FailureOf(FileAction action, const fs::path& path) {
  Note& note = Noted();
  if (note.noted && note.action == action && (note.anyFile || note.file == fs::hash_value(path))) {
    note.noted = false;
    return note.error;
  }
  // Nothing the system said: what the path shows now.
  std::error_code ec;
  const fs::file_status status = fs::status(path, ec);
  if (fs::is_directory(status)) return {FileCause::kIsFolder, 0};
  if (!fs::exists(status)) return {MissingOne(path), 0};
  if (action == FileAction::kWrite && IsReadOnlyFile(path)) return {FileCause::kReadOnly, 0};
  return {FileCause::kOther, 0};
}

}  // namespace tavo
