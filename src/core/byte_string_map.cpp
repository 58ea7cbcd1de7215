#include "core/byte_string_map.h"

namespace tavo {

void ByteStringMap::Grow() {
  std::vector<std::uint64_t> old(slots_.size() < 64 ? 64 : slots_.size() * 2, 0);
  old.swap(slots_);
  const std::size_t mask = slots_.size() - 1;
  for (const std::uint64_t slot : old) {
    if (slot == 0) continue;
    // The keys are distinct: the first empty slot is the place.
    std::size_t i = Hash(KeyAt((slot & kOffsetMask) - 1)) & mask;
    while (slots_[i] != 0) i = (i + 1) & mask;
    slots_[i] = slot;
  }
}

void ByteStringMap::Assign(std::string_view key, std::string_view value) {
  if ((count_ + 1) * 4 > slots_.size() * 3) Grow();  // at most three quarters full
  const std::uint64_t hash = Hash(key);
  const std::size_t i = Locate(key, hash);
  if (slots_[i] == 0) ++count_;
  // A key given again gets an entry of its own; the earlier one stays unused.
  const std::uint64_t entry = entries_.size();
  char lengths[8];
  const auto keyLength = static_cast<std::uint32_t>(key.size());
  const auto valueLength = static_cast<std::uint32_t>(value.size());
  std::memcpy(lengths, &keyLength, 4);
  std::memcpy(lengths + 4, &valueLength, 4);
  entries_.append(lengths, 8);
  entries_.append(key);
  entries_.append(value);
  slots_[i] = (hash >> kOffsetBits) << kOffsetBits | (entry + 1);
}

}  // namespace tavo
