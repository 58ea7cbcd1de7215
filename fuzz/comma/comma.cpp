// The comma operations on any line: GetCommaTxt gives one field per comma and
// no double quote; ParseCommaTxt (strict) reads back what JoinCommaTxt
// (strict) wrote.
#include <cstdint>
#include <cstdlib>

#include "core/comma.h"
#include "core/cp932.h"

using namespace tavo;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const Text line = Cp932Decode(std::string_view(reinterpret_cast<const char*>(data), size));
  FieldList fields;
  GetCommaTxt(line, fields);
  std::size_t commas = 0;
  for (char16_t c : line) commas += c == u',';
  if (!line.empty() && fields.size() != commas + 1) std::abort();
  for (const Text& f : fields)
    if (f.find(u'"') != Text::npos) std::abort();

  for (const bool strict : {false, true}) {
    const FieldList parsed = ParseCommaTxt(line, u',', strict);
    (void)JoinCommaTxt(parsed, strict);
    (void)ParseCommaTxt(line, u'\t', strict);
  }
  // Fields without blanks survive a strict join and parse.
  bool blanks = false;
  for (const Text& f : fields)
    for (char16_t c : f) blanks |= c <= 0x20;
  if (!blanks && !fields.empty() && !(fields.size() == 1 && fields[0].empty())) {
    const FieldList back = ParseCommaTxt(JoinCommaTxt(fields, true), u',', true);
    if (back != fields) std::abort();
  }
  return 0;
}
