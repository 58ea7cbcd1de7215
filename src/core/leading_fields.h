// The first fields of a line as ParseCommaTxt splits it, read on code page 932
// bytes (UTF-8 too): the delimiter (comma or TAB), the blanks 01-20 and the
// double quote are ASCII bytes that never occur inside a double-byte code, so
// the bytes split exactly where the decoded text does. Those bytes are found
// as bit masks, 64 bytes at a time: with SSE2 sixteen bytes take a few
// compares; elsewhere a plain loop builds the same masks.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

namespace tavo {

class LeadingFields {
 public:
  // The first `count` fields (fewer when the line has fewer). False when one
  // of them opens with a double quote: only the text parse reads those.
  bool Split(std::string_view line, char delimiter, bool strict, std::size_t count);
  // The same without SSE2: the fallback, and the reference of its test.
  bool SplitPlain(std::string_view line, char delimiter, bool strict, std::size_t count);

  std::size_t size() const { return size_; }
  // A view into the line, an empty field too.
  std::string_view operator[](std::size_t i) const { return fields_[i]; }

 private:
  // Lines without a blank (unless strict) or a quote split at their delimiters;
  // the others go through the whole rule.
  template <bool kSse2>
  bool SplitWith(std::string_view line, char delimiter, bool strict, std::size_t count);
  template <bool kSse2>
  bool SplitGeneral(std::string_view line, char delimiter, bool strict, std::size_t count);

  std::vector<std::string_view> fields_;
  std::size_t size_ = 0;
};

}  // namespace tavo
