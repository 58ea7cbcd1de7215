#include "core/byte_string_map.h"

#include <cstring>

namespace tavo {

namespace {

constexpr int kOffsetBits = 40;  // entries up to 1 TB; the rest of a slot is the hash's tag
constexpr std::uint64_t kOffsetMask = (std::uint64_t{1} << kOffsetBits) - 1;

std::uint64_t Load64(const char* p) {
  std::uint64_t v;
  std::memcpy(&v, p, 8);
  return v;
}

std::uint32_t Load32(const char* p) {
  std::uint32_t v;
  std::memcpy(&v, p, 4);
  return v;
}

// Two words to one, every input bit reaching every output bit.
std::uint64_t Mix(std::uint64_t a, std::uint64_t b) {
  std::uint64_t h = (a ^ (b << 32 | b >> 32)) * 0xBF58476D1CE4E5B9ull;
  h ^= h >> 29;
  h = (h ^ b) * 0x94D049BB133111EBull;
  return h ^ h >> 32;
}

std::uint64_t HashBytes(std::string_view key) {
  const char* p = key.data();
  const std::size_t n = key.size();
  std::uint64_t a = 0;
  std::uint64_t b = 0;
  if (n >= 8) {
    // Every whole eight bytes, then the last eight (overlapping the ones before).
    std::uint64_t h = 0;
    for (std::size_t i = 0; i + 8 < n; i += 8) h = Mix(h ^ Load64(p + i), 0x9E3779B97F4A7C15ull);
    a = h ^ Load64(p + n - 8);
    b = n;
  } else if (n >= 4) {
    a = Load32(p);
    b = std::uint64_t{Load32(p + n - 4)} << 32 | n;
  } else if (n > 0) {
    const auto byte = [&](std::size_t i) { return std::uint64_t{static_cast<unsigned char>(p[i])}; };
    a = byte(0) << 16 | byte(n / 2) << 8 | byte(n - 1);
    b = n;
  }
  return Mix(a ^ 0xA0761D6478BD642Full, b ^ 0xE7037ED1A0B428DBull);
}

}  // namespace

std::string_view ByteStringMap::KeyAt(std::uint64_t entry) const {
  return {entries_.data() + entry + 8, Load32(entries_.data() + entry)};
}

std::string_view ByteStringMap::ValueAt(std::uint64_t entry) const {
  return {entries_.data() + entry + 8 + Load32(entries_.data() + entry),
          Load32(entries_.data() + entry + 4)};
}

std::size_t ByteStringMap::Locate(std::string_view key, std::uint64_t hash) const {
  const std::size_t mask = slots_.size() - 1;
  const std::uint64_t tag = hash >> kOffsetBits;
  for (std::size_t i = hash & mask;; i = (i + 1) & mask) {
    const std::uint64_t slot = slots_[i];
    if (slot == 0) return i;
    if (slot >> kOffsetBits == tag && KeyAt((slot & kOffsetMask) - 1) == key) return i;
  }
}

void ByteStringMap::Grow() {
  std::vector<std::uint64_t> old(slots_.empty() ? 64 : slots_.size() * 2, 0);
  old.swap(slots_);
  const std::size_t mask = slots_.size() - 1;
  for (const std::uint64_t slot : old) {
    if (slot == 0) continue;
    // The keys are distinct: the first empty slot is the place.
    std::size_t i = HashBytes(KeyAt((slot & kOffsetMask) - 1)) & mask;
    while (slots_[i] != 0) i = (i + 1) & mask;
    slots_[i] = slot;
  }
}

void ByteStringMap::Assign(std::string_view key, std::string_view value) {
  if ((count_ + 1) * 4 > slots_.size() * 3) Grow();  // at most three quarters full
  const std::uint64_t hash = HashBytes(key);
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

std::optional<std::string_view> ByteStringMap::Find(std::string_view key) const {
  if (count_ == 0) return std::nullopt;
  const std::uint64_t slot = slots_[Locate(key, HashBytes(key))];
  if (slot == 0) return std::nullopt;
  return ValueAt((slot & kOffsetMask) - 1);
}

}  // namespace tavo
