// A map from byte strings to byte strings kept compact, for tables that are
// looked up once per line of a long file in no particular order: a lookup
// touches one slot of 8 bytes (a part of the key's hash and where its entry
// is) and the entry itself, key and value side by side in one block of bytes.
// Keys and values are each below 4 GiB, all entries together below 1 TiB.
// So a table of some ten thousand entries stays in the processor's cache.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tavo {

class ByteStringMap {
 public:
  // Sets the key's value; a key given again gets the later value.
  void Assign(std::string_view key, std::string_view value);
  std::optional<std::string_view> Find(std::string_view key) const;
  std::size_t size() const { return count_; }

 private:
  // An entry: key length and value length (4 bytes each), key, value.
  std::string_view KeyAt(std::uint64_t entry) const;
  std::string_view ValueAt(std::uint64_t entry) const;
  // The slot of the key, or the empty slot where it belongs.
  std::size_t Locate(std::string_view key, std::uint64_t hash) const;
  void Grow();

  // Per slot: the hash's top 24 bits, then the entry's offset + 1 (0: empty).
  std::vector<std::uint64_t> slots_;
  std::string entries_;
  std::size_t count_ = 0;
};

}  // namespace tavo
