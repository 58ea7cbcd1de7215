// Code page 932 (Shift_JIS as Windows has it), table-driven.
//
// Characters: ASCII 00-7F as is (5C is U+005C, 7E is U+007E), half-width
// katakana A1-DF, and every double-byte code Windows assigns: JIS X 0208, NEC
// row 13 (87xx), the NEC-selected IBM extensions (ED/EE rows), the IBM
// extensions (FA-FC rows) and the user-defined area F040-F9FC <-> U+E000-U+E757.
//
// Byte preservation rule: a byte that does not start a valid code page 932
// character (a lone trail byte, a lead byte whose pair is unassigned or cut off
// by the end of the text, and the single bytes 80, A0, FD, FE, FF) decodes to
// the lone surrogate U+DC00 + byte (U+DC80..U+DCFF), and exactly those code
// points encode back to the one byte. Decoding then goes on at the next byte,
// so the trail byte of a bad pair is read again on its own (81 41 is U+DC81 "A").
// Hence Cp932Encode(Cp932Decode(b)) == b for every byte string b that holds no
// duplicate code (below). A high surrogate followed by U+DC80..U+DCFF is a
// surrogate pair, never a byte; decoding never yields such a pair.
//
// Duplicates: some characters have two or three codes. Each decodes to its
// character, and encoding writes the code Windows writes: the JIS X 0208 code
// first, then NEC row 13, then the IBM extension FA-FC, never the ED/EE rows.
// So ED40 and FA5C (both U+7E8A) re-encode to FA5C, 8790 to 81E0 (≒),
// FA4A to 8754 (Ⅰ), EEEF to FA40 (ⅰ), FA54 and EEF9 to 81CA (¬).
//
// Look-alikes written by non-Windows software encode to the character Windows
// uses: U+301C 〜 -> 8160, U+2212 − -> 817C, U+2016 ‖ -> 8161, U+00A2 ¢ -> 8191,
// U+00A3 £ -> 8192, U+00AC ¬ -> 81CA, U+2014 — -> 815C. They never decode back.
// So do the characters Windows gives the single bytes 80, A0, FD, FE, FF
// (U+0080, U+F8F0..U+F8F3): they encode to those bytes, as Windows does.
#pragma once

#include <string>
#include <string_view>

#include "core/text.h"

namespace tavo {

Text Cp932Decode(std::string_view bytes);
void Cp932DecodeAppend(std::string_view bytes, Text& out);

// Characters code page 932 cannot hold become "?" (3F), one per code point (a
// surrogate pair is one code point; so is a lone surrogate outside U+DC80..U+DCFF).
std::string Cp932Encode(TextView text);
void Cp932EncodeAppend(TextView text, std::string& out);

// Cp932Encode(Cp932Decode(bytes)) appended to `out`: the bytes themselves
// unless a code with a twin is among them (then the code Windows writes).
void Cp932NormalizeAppend(std::string_view bytes, std::string& out);
// True when a byte that may start a code with a twin is among the bytes (as
// lead or trail byte); without one, decoding and encoding give the bytes back.
bool Cp932HasTwinLead(std::string_view bytes);
// The same, one byte at a time: what Cp932HasTwinLead does where SSE2 is
// missing, and the reference its test compares it with.
bool Cp932HasTwinLeadPlain(std::string_view bytes);

// True when the text encodes without any "?" substitution.
bool Cp932CanEncode(TextView text);

}  // namespace tavo
