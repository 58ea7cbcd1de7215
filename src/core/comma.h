// The three line operations: simple comma split, quote-aware join and parse.
#pragma once

#include "core/text.h"

namespace tavo {

// Splits at every comma and drops every double quote; appends to pclList.
bool GetCommaTxt(TextView pstString, FieldList& pclList);
// Comma join that quotes a field holding '"', ',' or (strict off) U+0001..U+0020.
Text JoinCommaTxt(const FieldList& fields, bool strict = false);
// Quote-aware split; with strict off, blanks also split.
FieldList ParseCommaTxt(TextView text, char16_t delimiter = u',', bool strict = false);

}  // namespace tavo
