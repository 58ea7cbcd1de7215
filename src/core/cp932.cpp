#include "core/cp932.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>

#include "core/simd.h"

namespace tavo {

namespace {

#include "core/cp932_tables.inc"

constexpr int kRows = static_cast<int>(sizeof(kCp932Leads));
constexpr int kTrails = static_cast<int>(sizeof(kCp932Rows[0]) / sizeof(kCp932Rows[0][0]));
constexpr std::uint8_t kNoRow = 0xFF;

constexpr int TrailByte(int column) { return 0x40 + column + (column >= 0x3F ? 1 : 0); }

// Which of two codes of one character Windows writes: lower rank wins.
constexpr int EncodeRank(int lead) {
  if (lead == 0x87) return 1;                  // NEC row 13
  if (lead >= 0xFA && lead <= 0xFC) return 2;  // IBM extensions
  if (lead == 0xED || lead == 0xEE) return 3;  // NEC-selected IBM extensions
  return 0;                                    // JIS X 0208, user-defined area
}

struct Tables {
  // Per byte: the character of a single-byte code, else the escape U+DC00 + byte.
  std::array<char16_t, 256> single{};
  // Per byte: its row in `pairs` when it is a lead byte, else kNoRow.
  std::array<std::uint8_t, 256> row{};
  // Row * 256 + trail byte -> character; 0 = unassigned.
  std::array<char16_t, kRows * 256> pairs{};
  // Character -> code (< 0x100 one byte, else two); 0 = not encodable (ASCII
  // is handled before the table is asked).
  std::array<std::uint16_t, 0x10000> encode{};
};

constexpr Tables BuildTables() {
  Tables t;
  for (int b = 0; b < 256; ++b) {
    t.row[b] = kNoRow;
    if (b < 0x80) {
      t.single[b] = static_cast<char16_t>(b);
    } else if (b >= 0xA1 && b <= 0xDF) {
      t.single[b] = static_cast<char16_t>(0xFF61 + (b - 0xA1));
      t.encode[t.single[b]] = static_cast<std::uint16_t>(b);
    } else {
      t.single[b] = static_cast<char16_t>(0xDC00 + b);
    }
    if (b >= 0x80) t.encode[0xDC00 + b] = static_cast<std::uint16_t>(b);
  }
  for (int rank = 0; rank <= 3; ++rank) {
    for (int r = 0; r < kRows; ++r) {
      const int lead = kCp932Leads[r];
      t.row[lead] = static_cast<std::uint8_t>(r);
      for (int c = 0; c < kTrails; ++c) {
        const char16_t ch = kCp932Rows[r][c];
        if (ch == 0) continue;
        const int trail = TrailByte(c);
        t.pairs[r * 256 + trail] = ch;
        if (EncodeRank(lead) == rank && t.encode[ch] == 0)
          t.encode[ch] = static_cast<std::uint16_t>(lead << 8 | trail);
      }
    }
  }
  struct LookAlike {
    char16_t ch;
    char16_t as;
  };
  constexpr LookAlike kLookAlikes[] = {
      {u'\u301C', u'\uFF5E'}, {u'\u2212', u'\uFF0D'}, {u'\u2016', u'\u2225'},
      {u'\u00A2', u'\uFFE0'}, {u'\u00A3', u'\uFFE1'}, {u'\u00AC', u'\uFFE2'},
      {u'\u2014', u'\u2015'},
  };
  for (const LookAlike& l : kLookAlikes) {
    if (t.encode[l.ch] == 0) t.encode[l.ch] = t.encode[l.as];
  }
  // What Windows decodes the single bytes 80, A0, FD-FF to encodes back to them.
  t.encode[0x0080] = 0x80;
  t.encode[0xF8F0] = 0xA0;
  t.encode[0xF8F1] = 0xFD;
  t.encode[0xF8F2] = 0xFE;
  t.encode[0xF8F3] = 0xFF;
  return t;
}

constexpr Tables kTables = BuildTables();

static_assert(kTables.encode[0x2170] == 0xFA40 && kTables.encode[0x2252] == 0x81E0 &&
              kTables.encode[0x2160] == 0x8754 && kTables.encode[0x301C] == 0x8160);

inline bool IsHighSurrogate(char16_t c) { return c >= 0xD800 && c <= 0xDBFF; }
inline bool IsLowSurrogate(char16_t c) { return c >= 0xDC00 && c <= 0xDFFF; }

}  // namespace

// Both directions grow the output one piece at a time: the room for a piece
// is zero-filled by resize just before it is written, while it is in cache.
constexpr std::size_t kPiece = 4096;

void Cp932DecodeAppend(std::string_view bytes, Text& out) {
  std::size_t used = out.size();
  out.reserve(used + bytes.size());
  const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
  const unsigned char* const end = p + bytes.size();
  while (p < end) {
    // A piece of n bytes never yields more than n characters; a pair that
    // starts on its last byte takes one byte from the next piece.
    const unsigned char* const stop = p + std::min<std::size_t>(kPiece, end - p);
    out.resize(used + (stop - p));
    char16_t* dst = out.data() + used;
    while (p < stop) {
      // Receipt records are mostly ASCII: take eight such bytes at a time.
      if (stop - p >= 8) {
        std::uint64_t w;
        std::memcpy(&w, p, 8);
        if ((w & 0x8080808080808080u) == 0) {
          for (int k = 0; k < 8; ++k) dst[k] = p[k];
          dst += 8;
          p += 8;
          continue;
        }
      }
      const unsigned char b = *p;
      if (b < 0x80) {
        *dst++ = b;
        ++p;
        continue;
      }
      const std::uint8_t r = kTables.row[b];
      if (r != kNoRow && p + 1 < end) {
        const char16_t ch = kTables.pairs[r * 256 + p[1]];
        if (ch != 0) {
          *dst++ = ch;
          p += 2;
          continue;
        }
      }
      *dst++ = kTables.single[b];
      ++p;
    }
    used = static_cast<std::size_t>(dst - out.data());
  }
  out.resize(used);
}

Text Cp932Decode(std::string_view bytes) {
  Text out;
  Cp932DecodeAppend(bytes, out);
  return out;
}

void Cp932EncodeAppend(TextView text, std::string& out) {
  std::size_t used = out.size();
  out.reserve(used + text.size() + text.size() / 4);  // most text is ASCII
  const char16_t* p = text.data();
  const char16_t* const end = p + text.size();
  while (p < end) {
    // At most two bytes a code unit (a surrogate pair gives one "?").
    const char16_t* const stop = p + std::min<std::size_t>(kPiece, end - p);
    out.resize(used + 2 * (stop - p));
    char* dst = out.data() + used;
    while (p < stop) {
      if (stop - p >= 4) {
        std::uint64_t w;
        std::memcpy(&w, p, 8);
        if ((w & 0xFF80FF80FF80FF80u) == 0) {  // four ASCII code units, whatever the byte order
          for (int k = 0; k < 4; ++k) dst[k] = static_cast<char>(p[k]);
          dst += 4;
          p += 4;
          continue;
        }
      }
      const char16_t c = *p++;
      if (c < 0x80) {
        *dst++ = static_cast<char>(c);
        continue;
      }
      const std::uint16_t code = kTables.encode[c];
      if (code == 0) {
        // No high surrogate is encodable, so a pair always lands here: one "?".
        if (IsHighSurrogate(c) && p < end && IsLowSurrogate(*p)) ++p;
        *dst++ = '?';
      } else if (code < 0x100) {
        *dst++ = static_cast<char>(code);
      } else {
        *dst++ = static_cast<char>(code >> 8);
        *dst++ = static_cast<char>(code & 0xFF);
      }
    }
    used = static_cast<std::size_t>(dst - out.data());
  }
  out.resize(used);
}

std::string Cp932Encode(TextView text) {
  std::string out;
  Cp932EncodeAppend(text, out);
  return out;
}

bool Cp932CanEncode(TextView text) {
  const char16_t* p = text.data();
  const char16_t* const end = p + text.size();
  while (p < end) {
    if (end - p >= 4) {
      std::uint64_t w;
      std::memcpy(&w, p, 8);
      if ((w & 0xFF80FF80FF80FF80u) == 0) {
        p += 4;
        continue;
      }
    }
    const char16_t c = *p++;
    if (c >= 0x80 && kTables.encode[c] == 0) return false;
  }
  return true;
}

}  // namespace tavo

namespace tavo {

bool Cp932HasTwinLeadPlain(std::string_view bytes) {
  // Every code that encodes to another code of its character starts with
  // one of these bytes (NEC row 13, the ED/EE rows, the IBM extensions).
  static constexpr auto kTwinLead = [] {
    std::array<bool, 256> t{};
    for (int b : {0x87, 0xED, 0xEE, 0xFA, 0xFB, 0xFC}) t[b] = true;
    return t;
  }();
  for (const char c : bytes) {
    if (kTwinLead[static_cast<unsigned char>(c)]) return true;
  }
  return false;
}

bool Cp932HasTwinLead(std::string_view bytes) {
#if TAVO_SSE2
  // Sixteen bytes at a time; a run of ASCII is passed over with one test.
  const char* p = bytes.data();
  const std::size_t n = bytes.size();
  std::size_t i = 0;
  auto same = [](__m128i v, int b) {
    return _mm_cmpeq_epi8(v, _mm_set1_epi8(static_cast<char>(b)));
  };
  for (; i + 16 <= n; i += 16) {
    const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + i));
    if (_mm_movemask_epi8(v) == 0) continue;
    const __m128i hit = _mm_or_si128(_mm_or_si128(_mm_or_si128(same(v, 0x87), same(v, 0xED)),
                                                  _mm_or_si128(same(v, 0xEE), same(v, 0xFA))),
                                     _mm_or_si128(same(v, 0xFB), same(v, 0xFC)));
    if (_mm_movemask_epi8(hit) != 0) return true;
  }
  return Cp932HasTwinLeadPlain(bytes.substr(i));
#else
  return Cp932HasTwinLeadPlain(bytes);
#endif
}

void Cp932NormalizeAppend(std::string_view bytes, std::string& out) {
  if (!Cp932HasTwinLead(bytes)) {
    out.append(bytes);
    return;
  }
  Cp932EncodeAppend(Cp932Decode(bytes), out);
}

}  // namespace tavo
