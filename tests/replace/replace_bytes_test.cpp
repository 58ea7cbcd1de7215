// The mode-1 line rewrite on code page 932 bytes against the text rule it
// stands for, on random lines over the bytes that matter.
#include <gtest/gtest.h>

#include <random>

#include "core/cp932.h"
#include "core/errors.h"
#include "replace/replace_ops.h"

namespace tavo::replace {
namespace {

// What the plain path gives: the line's text rewritten, encoded; or the error.
std::string ThroughText(const std::string& bytes, const NumberMap& map) {
  try {
    return Cp932Encode(ReplaceLine(Cp932Decode(bytes), map));
  } catch (const OpError& e) {
    return "error: " + ToUtf8(e.text());
  }
}

std::string ThroughBytes(const std::string& bytes, const NumberMap& map) {
  std::string out = "kept";
  try {
    ReplaceLineBytes(bytes, map, out);
    return out.substr(4);
  } catch (const OpError& e) {
    return "error: " + ToUtf8(e.text());
  }
}

TEST(ReplaceLineBytes, SameAsTheTextRuleOnRandomLines) {
  // Pieces: numbers (also ones that are a map's keys), separators, quotes,
  // letters, kana and kanji, a code with a twin (ED40 -> FA5C), a cut-off lead
  // byte, a kanji whose trail byte is "1" ("1" is 31, never a trail byte; 8E31
  // is no code), a kanji with trail byte "A" (8341 = ア).
  const std::string pieces[] = {
      "0000000123", "0000000456", "123",      "1",        "A",    "a",
      ",",          "\t",         " ",        "\"",       "\"\"", "\x8E\x52",
      "\xED\x40",   "\x81",       "\x83\x41", "\x82\x50", "\r",   std::string("\0", 1)};
  NumberMap map;
  map.Add(u"0000000123", u"0000000999");
  map.Add(u"1", u"22");
  map.Add(u"A", u"\u5C71");         // a letter key, matched ignoring case
  map.Add(T("ア"), u"X");           // a kana key: the text path
  map.Add(T("１"), u"0000000007");  // a full-width digit
  std::mt19937 rng(1515);
  for (int round = 0; round < 20000; ++round) {
    std::string line;
    for (unsigned k = rng() % 9; k > 0; --k) line += pieces[rng() % std::size(pieces)];
    ASSERT_EQ(ThroughBytes(line, map), ThroughText(line, map)) << round;
  }
}

}  // namespace
}  // namespace tavo::replace
