// The settings reader on any user.ini: no crash, and a value written through
// IFWriteIniStr is read back whatever else the file held.
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "core/files.h"
#include "core/ini.h"

using namespace tavo;
namespace fs = std::filesystem;

namespace {
const fs::path& Folder() {
  static const fs::path folder = [] {
    const fs::path f = fs::temp_directory_path() / "tavo-fuzz-ini";
    fs::create_directories(f);
    return f;
  }();
  return folder;
}
struct Cleanup {
  ~Cleanup() {
    std::error_code ec;
    fs::remove_all(Folder(), ec);
  }
} cleanup;
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const fs::path ini = Folder() / kIniFileName;
  WriteFileAtomic(ini, std::string_view(reinterpret_cast<const char*>(data), size));
  for (const char16_t* key : {u"CB1", u"SAVEFDR", u"SVCHG", u"SAVEFF1"})
    (void)IFReadIniStr(Folder(), u"PARAM", key, u"");
  if (!IFWriteIniStr(Folder(), u"PARAM", u"CB1", u"1")) std::abort();
  if (IFReadIniStr(Folder(), u"PARAM", u"CB1", u"") != u"1") std::abort();
  if (!IFWriteIniStr(Folder(), u"PARAM", u"SAVEFDR", u"")) std::abort();
  if (IFReadIniStr(Folder(), u"PARAM", u"CB1", u"") != u"1") std::abort();
  if (IFReadIniStr(Folder(), u"PARAM", u"SAVEFDR", u"x") != u"") std::abort();
  std::error_code ec;
  fs::remove(ini, ec);
  return 0;
}
