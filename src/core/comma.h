// The three line operations: simple comma split, quote-aware join and parse.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "core/text.h"

namespace tavo {

// Splits at every comma and drops every double quote; appends to pclList.
bool GetCommaTxt(TextView pstString, FieldList& pclList);
// Comma join that quotes a field holding '"', ',' or (strict off) U+0001..U+0020.
Text JoinCommaTxt(const FieldList& fields, bool strict = false);
// Quote-aware split; with strict off, blanks also split.
FieldList ParseCommaTxt(TextView text, char16_t delimiter = u',', bool strict = false);

// The first `count` fields (fewer when there are fewer) that ParseCommaTxt
// gives, read on code page 932 bytes as views into `bytes`: the delimiter (an
// ASCII byte below 40), the quote and the blanks are never part of a
// double-byte code. False when one of those fields opens with a quote, which
// only the text parse reads.
bool ParseLeadingFieldsBytes(std::string_view bytes, char delimiter, bool strict, std::size_t count,
                             std::vector<std::string_view>& fields);

// A value written into a comma-separated output must not shift the columns:
// each ASCII comma of `value` becomes the full-width "，". Returns how many.
std::size_t WidenCommas(Text& value);
// The same on code page 932 bytes ("，" is 81 43): a comma, an ASCII byte
// below 40, is never part of a double-byte code.
std::size_t WidenCommasBytes(std::string& value);

}  // namespace tavo
