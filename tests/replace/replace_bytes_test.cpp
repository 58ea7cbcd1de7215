// The mode-1 line rewrite and the mode-2 record rewrite on code page 932 bytes
// against the text rules they stand for, on random lines over the bytes that
// matter.
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
  // letters, kana and kanji, codes with a twin (ED40 -> FA5C), a cut-off lead
  // byte, a kanji whose trail byte is "1" ("1" is 31, never a trail byte; 8E31
  // is no code), a kanji with trail byte "A" (8341 = ア).
  const std::string pieces[] = {
      "0000000123", "0000000456", "123",      "1",        "A",    "a",
      ",",          "\t",         " ",        "\"",       "\"\"", "\x8E\x52",
      "\xED\x40",   "\x81",       "\x83\x41", "\x82\x50", "\r",   std::string("\0", 1),
      // Bytes that may start a code with a twin yet come back as they are
      // (FC as the trail byte of 美, the circled 1, the small roman 1), and
      // one that does not (8790 -> 81E0).
      "\x94\xFC",   "\x87\x40",   "\xFA\x40", "\x87\x90"};
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

// Mode 2: the output bytes, the suffix the record leaves, or the error.
std::string RecordThroughText(const std::string& bytes, const NumberMap& map) {
  Text suffix = u"R.UKE";
  try {
    const std::string out = Cp932Encode(ReplaceRecord(Cp932Decode(bytes), map, suffix));
    return out + " | " + ToUtf8(suffix);
  } catch (const OpError& e) {
    return "error: " + ToUtf8(e.text());
  }
}

std::string RecordThroughBytes(const std::string& bytes, const NumberMap& map) {
  Text suffix = u"R.UKE";
  std::string out = "kept";
  try {
    ReplaceRecordBytes(bytes, map, suffix, out);
    return out.substr(4) + " | " + ToUtf8(suffix);
  } catch (const OpError& e) {
    return "error: " + ToUtf8(e.text());
  }
}

TEST(ReplaceRecordBytes, SameAsTheTextRuleOnRandomRecords) {
  // Records of random fields, mostly IR and RE, long enough for a chart
  // number (field 13) about half of the time. Pieces as above, with the
  // payers and the map's keys; some fields hold a comma, quote or blank.
  const std::string ids[] = {"IR", "RE", "HO", "", "\"RE\"", " IR", "re"};
  const std::string pieces[] = {
      "123",      "ABC",      "abc",  "1",        "2",    "K1",   "7",    "Q",
      "\x83\x41", "\x82\x50", "\xED\x40", "\x81", "\"",   " ",    "\t",   ",",
      std::string("\0", 1), "\x94\xFC", "\x87\x40", "\xFA\x40", "\x87\x90"};
  NumberMap map;
  map.Add(u"123", u"0000000999");
  map.Add(u"abc", u"X,Y");   // a new number the join quotes
  map.Add(u"K1", u"\u5C71");  // a kanji new number
  map.Add(u"7", u"");        // an empty new number
  map.Add(u"Q", u"a b");     // a new number with a blank
  map.Add(T("ア"), u"55");   // a kana key: the text path
  map.Add(T("１"), u"66");   // a full-width digit
  std::mt19937 rng(1516);
  for (int round = 0; round < 30000; ++round) {
    std::string line = ids[rng() % std::size(ids)];
    for (unsigned field = rng() % 18; field > 0; --field) {
      line += ',';
      // Mostly one clean piece: whole chart numbers and payers.
      for (unsigned k = rng() % 4 == 0 ? rng() % 3 : 1; k > 0; --k) {
        line += pieces[rng() % (rng() % 3 == 0 ? std::size(pieces) : 10)];
      }
    }
    ASSERT_EQ(RecordThroughBytes(line, map), RecordThroughText(line, map)) << round;
  }
}

}  // namespace
}  // namespace tavo::replace
