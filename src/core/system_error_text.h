// The system's failures on files as staff read them: what went wrong, in
// Japanese, what to do next, and the system's own code in parentheses for
// whoever helps them. Every read, write and move message takes its cause here.
#pragma once

#include <filesystem>

#include "core/text.h"

namespace tavo {

enum class FileCause {
  kHeld,            // another program has the file open
  kReadOnly,        // the file is marked read-only
  kAccessDenied,    // no right to the file or its folder
  kDiskFull,        // no room left on the drive
  kFolderMissing,   // the folder, its drive or its network share is not there
  kPathTooLong,     // the folder and file names are too long together
  kFileMissing,     // no file of that name
  kIsFolder,        // the name is a folder's
  kWriteProtected,  // the drive refuses every write
  kBadName,         // a character that the system does not take in names
  kDevice,          // the disk or the network failed while reading or writing
  kOther,
};

struct SystemError {
  FileCause cause = FileCause::kOther;
  // GetLastError() on Windows, errno elsewhere; 0 when no system call said it
  // (a cause found by looking at the file).
  long code = 0;
  bool operator==(const SystemError&) const = default;
};

// What the failing operation was doing, for the words of the cause.
enum class FileAction { kOpen, kRead, kWrite };

// The system's code as a cause. `path` tells apart what the code alone does
// not: a missing file from a missing folder, "access denied" on a read-only
// file or on a folder.
SystemError FromSystemCode(long code, const std::filesystem::path& path);
// The failure the system reported last on this thread (GetLastError / errno).
SystemError LastSystemError(const std::filesystem::path& path);

// The cause and the next step for `path`, then "(コード n)" when the system gave a code.
Text CauseText(const SystemError& error, const std::filesystem::path& path, FileAction action);

// For a folder that is not there: the hint about a network drive whose
// connection is gone (a network path), or about a drive that is not plugged in;
// empty for other paths.
Text WhereFolderWentText(const std::filesystem::path& path);

// A path on another computer: \\server\share\..., or (on Windows) a drive
// letter mapped to a network share.
bool IsNetworkPath(const std::filesystem::path& path);

// The file layer notes the last failure of each thread, so that a caller that
// learnt only that an open or a read failed names its cause in the message it
// throws (ThrowOpenError, ThrowReadError). An empty path stands for the file
// of the failed read, whichever it was.
void NoteFailure(FileAction action, const std::filesystem::path& path, const SystemError& error);
// The noted failure of `action` on `path`, else the cause found by looking at
// the path now (no code then).
SystemError FailureOf(FileAction action, const std::filesystem::path& path);

}  // namespace tavo
