// The postal lines made on code page 932 bytes against the text rules they
// stand for, on random lines over the bytes that matter.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <random>

#include "core/cp932.h"
#include "core/errors.h"
#include "core/files.h"
#include "postal/postal_ops.h"
#include "support/test_util.h"

namespace tavo::postal {
namespace {

std::string Outcome(const std::function<std::string()>& run) {
  try {
    return run();
  } catch (const OpError& e) {
    return "error: " + ToUtf8(e.text());
  }
}

std::string RandomLine(std::mt19937& rng, char delim) {
  const std::string d(1, delim);
  const std::string pieces[] = {d,          d,      d,          d,          d,
                                d,          "0012", "-7",       "+",        "D001",
                                " ",        "\t",   ",",        "\"",       "\x8E\x52",
                                "\xED\x40", "\x81", "\x83\x41", "123-4567", std::string("\0", 1)};
  std::string line;
  for (unsigned k = rng() % 60; k > 0; --k) line += pieces[rng() % std::size(pieces)];
  return line;
}

TEST(PostalLineBytes, SameAsTheTextRulesOnRandomLines) {
  const Text date = u"20260601";
  const KarteMap karte(std::vector<Text>{u"12345,D001", T("7,山"), u"9,"});
  std::mt19937 rng(61);
  for (int round = 0; round < 20000; ++round) {
    const bool csv = round % 2 == 0;
    const std::string line = RandomLine(rng, csv ? ',' : '\t');
    const std::string bytes = Outcome([&] {
      std::string out = "kept";
      if (csv) {
        OutputFileLineBytes(line, date, out);
      } else {
        IntermediateLineBytes(line, date, karte, out);
      }
      return out.substr(4);
    });
    const std::string text = Outcome([&] {
      const Text decoded = Cp932Decode(line);
      return Cp932Encode(csv ? OutputFileLine(decoded, date)
                             : IntermediateLine(decoded, date, karte));
    });
    ASSERT_EQ(bytes, text) << round;
  }
}

// Lines taken straight from the bytes read, as a run takes them (the lines
// left over one by one), against each line cut and converted alone; a line
// that stops the run must never be taken in bulk.
TEST(PostalLineBytes, LinesTakenInBulkSameAsOneByOne) {
  const Text date = u"20260601";
  const KarteMap karte(std::vector<Text>{u"12345,D001", T("7,山"), u"9,", T("8,纊")});
  const std::string pieces[] = {"\t",       "\t",       "\t",       "\t",      "\t",
                                "D001",     "D002",     "\xED\x40", "\xFA\x5C", " ",
                                "\x8E\x52", "\x94\xFC", "\x87\x90", "123-4567", "\"",
                                "\r\n",     "\r\n",     "\r",       "\n",
                                "abcdefghijklmnopqrstu"};
  // Cut as the line reader cuts: at the first CR or LF, a CR LF being one break.
  const auto cut = [](std::string_view bytes, std::size_t& at) {
    const std::size_t end = std::min(bytes.find_first_of("\r\n", at), bytes.size());
    const std::string_view line = bytes.substr(at, end - at);
    at = end == bytes.size() ? end : end + 1 + (bytes.compare(end, 2, "\r\n") == 0);
    return line;
  };
  const auto oneLine = [&](LineBytes& lines, std::string_view line, OutBuffer& out) {
    try {
      lines.IntermediateLine(line, karte, out);
    } catch (const OpError&) {
      out.Append("<stopped>");
    }
  };
  std::mt19937 rng(88);
  for (int round = 0; round < 3000; ++round) {
    std::string bytes;
    const std::size_t target = 200 + rng() % 2000;
    const bool plainLines = round % 2 == 0;  // mostly lines of six good fields
    while (bytes.size() < target) {
      if (plainLines && rng() % 8 != 0) {
        const char* keys[] = {"D001", "D002", "\xED\x40", "\xFA\x5C", ""};
        bytes += std::string(keys[rng() % 5]) + "\t\x8E\x52\x94\xFC\t1\t19600101\t" +
                 (rng() % 2 ? "x" : "\x87\x90") + "\t 123-4567 " + (rng() % 2 ? "\r\n" : "\n");
      } else {
        for (unsigned k = rng() % 30; k > 0; --k) bytes += pieces[rng() % std::size(pieces)];
      }
    }
    SCOPED_TRACE("round " + std::to_string(round));
    OutBuffer expected;
    LineBytes oneByOne(date, "\r\n");
    for (std::size_t at = 0; at < bytes.size();) oneLine(oneByOne, cut(bytes, at), expected);

    OutBuffer got;
    std::string handedOn;
    LineBytes bulk(date, "\r\n");
    const std::size_t limit = 1 + rng() % 300;  // output pieces of any size
    for (std::size_t at = 0; at < bytes.size();) {
      at += bulk.IntermediateLines(std::string_view(bytes).substr(at), karte, got, limit);
      if (got.size() >= limit) {  // a piece full: handed on as a run writes it out
        handedOn += got.view();
        got.clear();
        continue;
      }
      if (at < bytes.size()) oneLine(bulk, cut(bytes, at), got);
    }
    handedOn += got.view();
    ASSERT_EQ(handedOn, expected.view());
  }
}

// A definition file of code page 932 is kept as bytes: it must answer every
// key, given as text or as bytes, as the map of its decoded lines does, also
// where one character has two codes (ED40 and FA5C are both 纊, 8790 and 81E0
// both ≒; the later line wins across them).
TEST(PostalDefinitionBytes, SameAsTheMapOfTheDecodedLines) {
  test::TempDir dir;
  const std::filesystem::path def = dir / "def.csv";
  const std::string bytes =
      "12345,D001\r\n67890,D001\r\n12345, D002\r\n555,E,1\r\nno comma\r\n,D009\r\n"
      "7,\xED\x40\r\n8,\xFA\x5C\r\n9,\x87\x90X\r\n\x87\x90,\x81\r\n";
  test::WriteBytes(def, bytes);
  const KarteMap fromFile(def);
  const KarteMap fromText(LoadWholeFile(def));
  const std::string keys[] = {"D001",     " D002",    "D002",         "E,1",      "E",
                              "D009",     "no comma", "\xED\x40",     "\xFA\x5C", "\x87\x90X",
                              "\x81\xE0X", "\x81",     std::string(), "d001"};
  for (const std::string& key : keys) {
    const Text text = Cp932Decode(key);
    EXPECT_EQ(fromFile.Get(text), fromText.Get(text)) << key;
    EXPECT_EQ(fromFile.FindBytes(key), Cp932Encode(fromText.Get(text))) << key;
    EXPECT_EQ(fromText.FindBytes(key), Cp932Encode(fromText.Get(text))) << key;
  }
  EXPECT_EQ(ToUtf8(fromFile.Get(T("纊"))), "8");
  EXPECT_EQ(ToUtf8(fromFile.Get(T("≒X"))), "9");
  EXPECT_EQ(fromFile.Get(T("〜")), Text());  // encodes to 8160 but never decodes from it
}

}  // namespace
}  // namespace tavo::postal
