// The old-to-new map of one change-definition file, held compactly: every
// number as its code page 932 bytes in one store, each old number beside its
// new one, and the old numbers made of ASCII in one flat hash table over those
// bytes with letter case folded. A clinic's file can hold a pair per patient
// (a million and more), so no number gets a string or a map node of its own.
// A lookup may build the table (const, but not for two threads at once).
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

#include "core/bytes.h"
#include "core/simd.h"
#include "core/text.h"

namespace tavo::replace {

// Letter case folded per code unit as the Windows case mapping folds it
// (ASCII, Latin-1, Greek, Cyrillic, Roman numerals, full-width Latin).
Text FoldCase(TextView text);

class NumberMap;

// One column of the map (old numbers or new ones) as a view of the map's
// store: number i of the column, as its text or its code page 932 bytes.
class NumberColumn {
 public:
  Text operator[](std::size_t i) const;
  std::string_view Bytes(std::size_t i) const;
  std::size_t size() const;

 private:
  friend class NumberMap;
  NumberColumn(const NumberMap& map, unsigned column) : map_(&map), column_(column) {}
  const NumberMap* map_;
  unsigned column_;  // 0 old, 1 new
};

class NumberMap {
 public:
  NumberMap() = default;
  // The columns are views of this map's own store, so only the store is
  // copied or moved.
  NumberMap(const NumberMap& other) { *this = other; }
  NumberMap(NumberMap&& other) noexcept { *this = std::move(other); }
  NumberMap& operator=(const NumberMap& other);
  NumberMap& operator=(NumberMap&& other) noexcept;

  const NumberColumn mlsList{*this, 0};   // old numbers, duplicates kept
  const NumberColumn mlsList2{*this, 1};  // new numbers, parallel to mlsList

  // Empties the map, and forgets its file.
  void Clear();
  // The change-definition file the pairs come from (empty when none): the
  // runs name it in the run history.
  const std::filesystem::path& source() const { return source_; }
  void SetSource(std::filesystem::path file) { source_ = std::move(file); }
  // Room for the pairs of a definition file of this many bytes.
  void Reserve(std::size_t fileBytes);
  void Add(TextView oldNumber, TextView newNumber);
  // Add() of two numbers made of ASCII bytes.
  void AddAscii(std::string_view oldNumber, std::string_view newNumber);
  // Index of the first old number of the key's length that equals it with
  // letter case ignored; nullopt when there is none.
  std::optional<std::size_t> Find(TextView key) const;
  // Find() of a key given as code page 932 bytes.
  std::optional<std::size_t> FindBytes(std::string_view key) const;
  // The same, with the new number's bytes (NewBytes of the index).
  std::optional<std::size_t> FindBytes(std::string_view key, std::string_view& newBytes) const;
  // A lookup ahead of time, in two steps (with SSE2; elsewhere nothing), so
  // that FindBytes(key) made later does not wait for memory: Prefetch starts
  // bringing the key's table place into the cache; PrefetchNumbers, called
  // once that place is there, the numbers it points to.
  void Prefetch(std::string_view key) const;
  void PrefetchNumbers(std::string_view key) const;
  // The code page 932 bytes of new number i.
  std::string_view NewBytes(std::size_t i) const { return NumberBytes(2 * i + 1); }
  std::size_t size() const { return ends_.size() / 2; }

 private:
  friend class NumberColumn;
  // A pair waiting to be indexed.
  struct Waiting {
    std::uint32_t pair;  // index + 1
    std::uint32_t hash;
  };
  // A place of the index: the pair and where its numbers stand in the
  // store, so that a lookup reads the store once (kLong: a number too long
  // to note here, found through ends_).
  static constexpr std::uint16_t kLong = 0xFFFF;
  struct Slot {
    std::uint32_t pair;  // index + 1; 0 marks a free slot
    std::uint32_t hash;
    std::uint32_t begin;  // of the old number
    std::uint16_t oldLength;
    std::uint16_t newLength;
  };

  // Number k of the store: old number k / 2 when k is even, else new number k / 2.
  std::string_view NumberBytes(std::size_t k) const {
    const std::uint32_t begin = k == 0 ? 0 : ends_[k - 1];
    return {bytes_.data() + begin, ends_[k] - begin};
  }
  void Push(TextView number);
  void PushAscii(std::string_view number);
  void EndNumber();
  // An ASCII key can only equal (ignoring case) an old number of ASCII, and
  // is looked up among them, by its folded hash, without being decoded.
  const Slot* FindAscii(std::string_view key, std::uint32_t hash) const;
  std::string_view OldBytes(const Slot& s) const;
  std::string_view NewBytes(const Slot& s) const;
  void IndexAscii(std::uint32_t pair);
  void IndexPending() const;
  static void SortByHome(std::vector<Waiting>& pairs, std::size_t mask);

  // Every number in one store, each old number followed by its new one: a
  // lookup then reads one place for the key it checks and the number it
  // gives. ends_[k] is where number k of the store ends.
  std::string bytes_;
  std::vector<std::uint32_t> ends_;
  // Numbers whose bytes would not give their text back (a character code
  // page 932 lacks, or bytes that join into another character), by store place.
  std::unordered_map<std::uint32_t, Text> texts_;

  // The old numbers of ASCII: an open-addressing table (a power of two in
  // size), built on the first lookup after pairs were added. Pairs wait in
  // pending_ until then, so that a file of a million pairs is indexed at once
  // into a table of its final size, in the order of the table's slots.
  mutable std::vector<Slot> slots_;
  mutable std::vector<Waiting> pending_;
  mutable std::size_t asciiCount_ = 0;
  // The other old numbers, folded -> their first index. Folding keeps the
  // length, so a hit is exactly "same length, equal without regard to case".
  std::unordered_map<Text, std::uint32_t> others_;
  std::filesystem::path source_;
};

inline std::string_view NumberColumn::Bytes(std::size_t i) const {
  return map_->NumberBytes(2 * i + column_);
}
inline std::size_t NumberColumn::size() const { return map_->size(); }

}  // namespace tavo::replace
