// The old-to-new map of one change-definition file, held compactly: every
// number as its code page 932 bytes in one arena per column, and the old
// numbers made of ASCII in one flat hash table over those bytes with letter
// case folded. A clinic's file can hold a pair per patient (a million and
// more), so no number gets a string or a map node of its own.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "core/bytes.h"
#include "core/text.h"

namespace tavo::replace {

// Letter case folded per code unit (ASCII, Latin-1, Greek, Cyrillic, full-width Latin).
Text FoldCase(TextView text);


// One column of the map: the numbers in file order, as code page 932 bytes
// one after another. A number whose bytes would not give its text back (a
// character code page 932 lacks, or bytes that join into another character)
// keeps its text beside them.
class NumberColumn {
 public:
  Text operator[](std::size_t i) const;
  std::string_view Bytes(std::size_t i) const {
    const std::uint32_t begin = i == 0 ? 0 : ends_[i - 1];
    return {bytes_.data() + begin, ends_[i] - begin};
  }
  std::size_t size() const { return ends_.size(); }
  void clear();
  void push_back(TextView number);
  // A number of ASCII bytes, which are its text as they stand.
  void PushAscii(std::string_view number);

 private:
  void EndNumber();
  std::string bytes_;
  std::vector<std::uint32_t> ends_;  // end of number i in bytes_
  std::unordered_map<std::uint32_t, Text> texts_;
};

class NumberMap {
 public:
  NumberColumn mlsList;   // old numbers, duplicates kept
  NumberColumn mlsList2;  // new numbers, parallel to mlsList

  void Clear();
  void Add(TextView oldNumber, TextView newNumber);
  // Add() of two numbers made of ASCII bytes.
  void AddAscii(std::string_view oldNumber, std::string_view newNumber);
  // Index of the first old number of the key's length that equals it with
  // letter case ignored; nullopt when there is none.
  std::optional<std::size_t> Find(TextView key) const;
  // Find() of a key given as code page 932 bytes.
  std::optional<std::size_t> FindBytes(std::string_view key) const;
  // The code page 932 bytes of new number i.
  std::string_view NewBytes(std::size_t i) const { return mlsList2.Bytes(i); }
  std::size_t size() const { return mlsList.size(); }

 private:
  // An ASCII key can only equal (ignoring case) an old number of ASCII, and
  // is looked up among them, by its folded hash, without being decoded.
  std::optional<std::size_t> FindAscii(std::string_view key, std::uint32_t hash) const;
  void IndexAscii(std::uint32_t pair);
  void Grow();

  struct Slot {
    std::uint32_t pair;  // index + 1; 0 marks a free slot
    std::uint32_t hash;
  };
  std::vector<Slot> slots_;  // open addressing, a power of two in size
  std::size_t asciiCount_ = 0;
  // The other old numbers, folded -> their first index. Folding keeps the
  // length, so a hit is exactly "same length, equal without regard to case".
  std::unordered_map<Text, std::uint32_t> others_;
};

}  // namespace tavo::replace
