#include "receipt/record_scan.h"

#include <bit>

#include "core/simd.h"

namespace tavo::receipt {

namespace {

bool IsBlankByte(char c) {
  return static_cast<unsigned char>(static_cast<unsigned char>(c) - 1u) < 0x20u;
}

}  // namespace

void ScanRecordPlain(std::string_view line, std::size_t want, RecordScan& scan) {
  scan.commas = 0;
  bool quote = false;
  bool blank = false;
  for (std::size_t i = 0; i < line.size(); ++i) {
    const char c = line[i];
    quote |= c == '"';
    blank |= IsBlankByte(c);
    if (c == ',' && scan.commas < want) scan.at[scan.commas++] = i;
  }
  scan.quote = quote;
  scan.blank = blank;
}

void ScanRecord(std::string_view line, std::size_t want, RecordScan& scan) {
#if TAVO_SSE2
  const char* p = line.data();
  const std::size_t n = line.size();
  const __m128i comma = _mm_set1_epi8(',');
  const __m128i quote = _mm_set1_epi8('"');
  const __m128i one = _mm_set1_epi8(1);
  // Unsigned b - 1 < 0x20 as a signed comparison: both sides shifted by 0x80.
  const __m128i top = _mm_set1_epi8(static_cast<char>(0x80));
  const __m128i limit = _mm_set1_epi8(static_cast<char>(0x20 ^ 0x80));
  __m128i seen = _mm_setzero_si128();  // the bytes that were a double quote
  __m128i blanks = _mm_setzero_si128();
  std::size_t commas = 0;
  std::size_t i = 0;
  for (; i + 16 <= n; i += 16) {
    const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + i));
    seen = _mm_or_si128(seen, _mm_cmpeq_epi8(v, quote));
    blanks = _mm_or_si128(blanks, _mm_cmplt_epi8(_mm_xor_si128(_mm_sub_epi8(v, one), top), limit));
    auto mask = static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(v, comma)));
    while (mask != 0 && commas < want) {
      scan.at[commas++] = i + static_cast<std::size_t>(std::countr_zero(mask));
      mask &= mask - 1;
    }
  }
  bool anyQuote = _mm_movemask_epi8(seen) != 0;
  bool anyBlank = _mm_movemask_epi8(blanks) != 0;
  for (; i < n; ++i) {
    const char c = p[i];
    anyQuote |= c == '"';
    anyBlank |= IsBlankByte(c);
    if (c == ',' && commas < want) scan.at[commas++] = i;
  }
  scan.commas = commas;
  scan.quote = anyQuote;
  scan.blank = anyBlank;
#else
  ScanRecordPlain(line, want, scan);
#endif
}

}  // namespace tavo::receipt
