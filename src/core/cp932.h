// Code page 932 (Shift_JIS as Windows has it), table-driven.
//
// Byte preservation rule: a byte that does not start a valid code page 932
// character (a lone trail byte, a lead byte whose pair is unassigned or cut off
// by the end of the text, and the single bytes 80, A0, FD, FE, FF) decodes to
// the lone surrogate U+DC00 + byte (U+DC80..U+DCFF), and exactly those code
// points encode back to the one byte. Decoding then goes on at the next byte.
#pragma once

#include <string>
#include <string_view>

#include "core/text.h"

namespace tavo {

Text Cp932Decode(std::string_view bytes);
void Cp932DecodeAppend(std::string_view bytes, Text& out);

// Characters code page 932 cannot hold become "?" (3F), one per code point.
std::string Cp932Encode(TextView text);
void Cp932EncodeAppend(TextView text, std::string& out);

// True when the text encodes without any "?" substitution.
bool Cp932CanEncode(TextView text);

}  // namespace tavo
