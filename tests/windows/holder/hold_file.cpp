// Holds a file open for a while, as another program would, for the tests of
// files held by other programs:
//   hold_file <file> <milliseconds> <exclusive|writer> <event>
// exclusive: opened for reading and writing, shared with nobody (a program
// that locks the file, or a virus scanner for a moment); writer: opened for
// writing, others may only read (Excel with the file open). Once the file is
// open the named event is set; after the time the file is closed. Exit
// status 0, or 2 when the file could not be opened.
#include <windows.h>

#include <cwchar>
#include <string>

int wmain(int argc, wchar_t** argv) {
  if (argc != 5) return 1;
  const DWORD ms = static_cast<DWORD>(std::wcstoul(argv[2], nullptr, 10));
  const bool exclusive = std::wstring(argv[3]) == L"exclusive";
  const HANDLE file =
      CreateFileW(argv[1], GENERIC_READ | GENERIC_WRITE, exclusive ? 0 : FILE_SHARE_READ, nullptr,
                  OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return 2;
  if (const HANDLE ready = OpenEventW(EVENT_MODIFY_STATE, FALSE, argv[4])) {
    SetEvent(ready);
    CloseHandle(ready);
  }
  Sleep(ms);
  CloseHandle(file);
  return 0;
}
