// The mode-1 line rewrite and the mode-2 record rewrite on code page 932 bytes
// (and the text forms of the mode-2 rewrite) against models of their rules,
// on random lines over the bytes that matter.
#include <gtest/gtest.h>

#include <random>

#include "core/comma.h"
#include "core/cp932.h"
#include "core/errors.h"
#include "replace/replace_ops.h"

namespace tavo::replace {
namespace {

// A line's characters as code page 932 reads them, each with its own bytes:
// a pair of bytes that decodes to one character, else one byte alone.
struct Chars {
  Text text;
  std::vector<std::string_view> bytes;  // per code unit of `text`
};
Chars SplitChars(std::string_view line) {
  Chars chars;
  for (std::size_t i = 0; i < line.size();) {
    const Text pair = i + 1 < line.size() ? Cp932Decode(line.substr(i, 2)) : Text();
    const bool two = pair.size() == 1 && !(pair[0] >= 0xDC80 && pair[0] <= 0xDCFF);
    const std::string_view piece = line.substr(i, two ? 2 : 1);
    chars.text += Cp932Decode(piece);
    chars.bytes.push_back(piece);
    i += piece.size();
  }
  return chars;
}

// The mode-1 rule: field 2 of the line's text (ParseCommaTxt), trimmed,
// looked up; found, each occurrence of it in the text replaced by the new
// number's bytes, every other character's bytes kept. Or the error.
std::string Mode1Rule(const std::string& bytes, const NumberMap& map) {
  const Chars chars = SplitChars(bytes);
  const FieldList fields = ParseCommaTxt(chars.text, u',', false);
  if (fields.size() < 2) return "error: " + ToUtf8(IndexErrorText(1));
  const Text key = Trim(fields[1]);
  const auto hit = key.empty() ? std::nullopt : map.Find(key);
  if (!hit) return bytes;
  std::string out;
  for (std::size_t i = 0; i < chars.text.size();) {
    if (chars.text.compare(i, key.size(), key) == 0) {
      out += map.NewBytes(*hit);
      i += key.size();
    } else {
      out += chars.bytes[i++];
    }
  }
  return out;
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

TEST(ReplaceLineBytes, SameAsTheRuleOnRandomLines) {
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
      "\x94\xFC",   "\x87\x40",   "\xFA\x40", "\x87\x90", "\xEE\xEF", "\x87\x54"};
  NumberMap map;
  map.Add(u"0000000123", u"0000000999");
  map.Add(u"1", u"22");
  map.Add(u"A", u"\u5C71");         // a letter key, matched ignoring case
  map.Add(T("ア"), u"X");           // a kana key: the text path
  map.Add(T("１"), u"0000000007");  // a full-width digit
  map.Add(u"\u2170", u"R");         // ⅰ, the key of Ⅰ too
  std::mt19937 rng(1515);
  for (int round = 0; round < 20000; ++round) {
    std::string line;
    for (unsigned k = rng() % 9; k > 0; --k) line += pieces[rng() % std::size(pieces)];
    ASSERT_EQ(ThroughBytes(line, map), Mode1Rule(line, map)) << round;
  }
}

TEST(ReplaceLineBytes, EveryTwoBytesKeepTheirPlaceBeforeAKeyFoundInTheText) {
  // A key other than digits is replaced where the text holds it: the bytes
  // before each occurrence are counted from their characters. Any two bytes
  // (a double-byte code, two single ones, a lead byte kept alone) stand
  // between two occurrences; only ア itself (8341) is one more.
  NumberMap map;
  map.Add(T("ア"), u"X");
  const std::string key = "\x83\x41";
  for (int pair = 0; pair < 0x10000; ++pair) {
    const std::string bytes = {static_cast<char>(pair >> 8), static_cast<char>(pair & 0xFF)};
    std::string out;
    ReplaceLineBytes("A\t" + key + "\t" + bytes + "\t" + key, map, out);
    const std::string middle = bytes == key ? "X" : bytes;
    ASSERT_EQ(out, "A\tX\t" + middle + "\tX") << pair;
  }
}

// The mode-2 rule: the record split at every comma, quotes dropped when its
// name, payer and chart number are read; an IR record's payer sets the
// suffix, an RE record's chart number found in the map gives the new number
// in place of its field's bytes. Every other byte kept. Or the error.
std::string Mode2Rule(const std::string& bytes, const NumberMap& map) {
  std::vector<std::string> fields;
  for (std::size_t from = 0;;) {
    const std::size_t comma = bytes.find(',', from);
    fields.push_back(bytes.substr(from, comma - from));
    if (comma == std::string::npos) break;
    from = comma + 1;
  }
  const auto read = [](const std::string& field) {
    return Trim(RemoveChar(Cp932Decode(field), u'"'));
  };
  const Text name = RemoveChar(Cp932Decode(fields[0]), u'"');
  std::string suffix = "R.UKE";
  if (name == u"IR") {
    if (fields.size() < 2) return "error: " + ToUtf8(IndexErrorText(1));
    const Text payer = RemoveChar(Cp932Decode(fields[1]), u'"');
    if (payer == u"1") suffix = "_1R.UKE";
    if (payer == u"2") suffix = "_2R.UKE";
  } else if (name == u"RE") {
    if (fields.size() < 14) return "error: " + ToUtf8(IndexErrorText(13));
    const Text key = read(fields[13]);
    const auto hit = key.empty() ? std::nullopt : map.Find(key);
    if (hit) fields[13] = std::string(map.NewBytes(*hit));
  }
  std::string out;
  for (std::size_t i = 0; i < fields.size(); ++i) out += (i ? "," : "") + fields[i];
  return out + " | " + suffix;
}

// The bytes path, and the text path on the decoded record (encoded for the
// comparison: the rule's bytes decode to the same text).
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

std::string RecordThroughText(const std::string& bytes, const NumberMap& map) {
  Text suffix = u"R.UKE";
  Text out = u"kept";
  try {
    ReplaceRecord(Cp932Decode(bytes), map, suffix, out);
    return Cp932Encode(out.substr(4)) + " | " + ToUtf8(suffix);
  } catch (const OpError& e) {
    return "error: " + ToUtf8(e.text());
  }
}

// The rule's bytes as the text path gives them: decoded and encoded again.
std::string Normalized(const std::string& ruled) {
  const std::size_t bar = ruled.rfind(" | ");
  if (bar == std::string::npos) return ruled;
  return Cp932Encode(Cp932Decode(ruled.substr(0, bar))) + ruled.substr(bar);
}

TEST(ReplaceRecordBytes, SameAsTheRuleOnRandomRecords) {
  // Records of random fields, mostly IR and RE, long enough for a chart
  // number (field 13) about half of the time. Pieces as above, with the
  // payers and the map's keys; some fields hold a comma, quote or blank.
  const std::string ids[] = {"IR", "RE", "HO", "", "\"RE\"", " IR", "re", "R\"E"};
  const std::string pieces[] = {
      "123",      "ABC",      "abc",  "1",        "2",    "K1",   "7",    "Q",
      "\x83\x41", "\x82\x50", "\xED\x40", "\x81", "\"",   " ",    "\t",   ",",
      std::string("\0", 1), "\x94\xFC", "\x87\x40", "\xFA\x40", "\x87\x90", "\x87\x54"};
  NumberMap map;
  map.Add(u"123", u"0000000999");
  map.Add(u"abc", u"X,Y");    // a new number with a comma is written as it is
  map.Add(u"K1", u"\u5C71");  // a kanji new number
  map.Add(u"7", u"");         // an empty new number
  map.Add(u"Q", u"a b");      // a new number with a blank
  map.Add(T("ア"), u"55");    // a kana key: the text path
  map.Add(T("１"), u"66");    // a full-width digit
  map.Add(u"\u2170", u"77");  // ⅰ (FA40), the key of Ⅰ (8754) too
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
    const std::string ruled = Mode2Rule(line, map);
    ASSERT_EQ(RecordThroughBytes(line, map), ruled) << round;
    ASSERT_EQ(RecordThroughText(line, map), Normalized(ruled)) << round;
  }
}

}  // namespace
}  // namespace tavo::replace
