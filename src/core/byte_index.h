// A map from byte strings to indices held in one flat table: a lookup of a
// short key (up to 16 bytes, such as a patient number) touches one slot and
// no other memory. Longer keys go to an ordinary map beside it.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace tavo {

class ByteIndex {
 public:
  // Adds the key with its value unless the key is there; true when added.
  bool Insert(std::string_view key, std::uint32_t value);
  // Sets the key's value, adding the key when needed.
  void Assign(std::string_view key, std::uint32_t value);
  std::optional<std::uint32_t> Find(std::string_view key) const;
  std::size_t size() const { return count_ + long_.size(); }
  void Clear();

 private:
  static constexpr std::size_t kInline = 16;
  struct Slot {
    char key[kInline];
    std::uint32_t value;
    std::uint8_t length;
    bool used;
  };
  Slot* Locate(std::string_view key);  // the key's slot, or the free slot where it belongs
  const Slot* Locate(std::string_view key) const;
  void Grow();
  std::vector<Slot> slots_;
  std::size_t count_ = 0;
  std::unordered_map<std::string, std::uint32_t> long_;
};

}  // namespace tavo
