// The fields an intermediate line's output is made of, found in one pass over
// its code page 932 bytes. TAB and the double quote are ASCII bytes that never
// occur inside a double-byte code, so a line with no quote before the end of
// its sixth field splits at its TABs exactly as its decoded text does. The same
// pass notes, per field, whether it holds a byte that may start a code with a
// twin (87, ED and above) or a comma (widened when written), so the fields
// without one are copied as they are.
// With SSE2 sixteen bytes take a few compares; elsewhere a plain loop builds
// the same marks.
#pragma once

#include <array>
#include <cstddef>
#include <string_view>

namespace tavo::postal {

class IntermediateFields {
 public:
  static constexpr std::size_t kCount = 6;

  // False when a quote comes before the end of the sixth field or the line has
  // fewer fields: such a line goes through the whole rule.
  bool Split(std::string_view line);
  // The same without SSE2: the fallback, and the reference of its test.
  bool SplitPlain(std::string_view line);

  // The same for the line at the start of a window of the bytes read, cut
  // there as well: the first CR or LF ends it, a CR LF being one break. At
  // least kWindow + 1 bytes must be readable at `p` (the byte after a CR at
  // the window's end tells whether an LF follows). Returns the length of the
  // line with its break; 0 when the line is left to Split: it does not end
  // within the window, holds a quote before its sixth field ends, or has
  // fewer fields.
  static constexpr std::size_t kWindow = 64;
  std::size_t SplitWindow(const char* p);
  std::size_t SplitWindowPlain(const char* p);

  std::string_view operator[](std::size_t i) const { return fields_[i]; }
  // Whether the field may be written otherwise than it reads: it may hold a
  // code with a twin, or a comma (false: it certainly holds neither).
  bool MayChange(std::size_t i) const { return changes_[i]; }

 private:
  template <bool kSse2>
  bool SplitWith(std::string_view line);
  template <bool kSse2>
  std::size_t SplitWindowWith(const char* p);

  std::array<std::string_view, kCount> fields_;
  std::array<bool, kCount> changes_{};
};

}  // namespace tavo::postal
