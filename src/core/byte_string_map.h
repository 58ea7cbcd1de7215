// A map from byte strings to byte strings kept compact, for tables that are
// looked up once per line of a long file in no particular order: a lookup
// touches one slot of 8 bytes (a part of the key's hash and where its entry
// is) and the entry itself, key and value side by side in one block of bytes.
// Keys and values are each below 4 GiB, all entries together below 1 TiB.
// So a table of some ten thousand entries stays in the processor's cache.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/simd.h"

namespace tavo {

class ByteStringMap {
 public:
  // Sets the key's value; a key given again gets the later value.
  void Assign(std::string_view key, std::string_view value);
  // Inline: a lookup per line of a long file.
  std::optional<std::string_view> Find(std::string_view key) const { return Find(key, Hash(key)); }
  // The same in steps, for keys looked up together: each key's hash, its slot
  // fetched ahead, then (once the slot has come) its entry, then the lookup.
  // The fetches only speed the lookup up; they never change what it finds.
  static std::uint64_t HashOf(std::string_view key) { return Hash(key); }
  // (The fetches are written without branches: GCC drops a prefetch that
  // stands alone in one.)
  void PrefetchSlot(std::uint64_t hash) const {
#if TAVO_SSE2
    _mm_prefetch(reinterpret_cast<const char*>(slots_.data() + (hash & (slots_.size() - 1))),
                 _MM_HINT_T0);
#else
    (void)hash;
#endif
  }
  void PrefetchEntry(std::uint64_t hash) const {
#if TAVO_SSE2
    // The first slot's entry (a valid one, if perhaps not the key's), or the
    // start of them all when the slot is empty.
    const std::uint64_t slot = slots_[hash & (slots_.size() - 1)];
    const std::uint64_t entry = (slot & kOffsetMask) - std::uint64_t{slot != 0};
    _mm_prefetch(entries_.data() + entry, _MM_HINT_T0);
#else
    (void)hash;
#endif
  }
  std::optional<std::string_view> Find(std::string_view key, std::uint64_t hash) const {
    if (count_ == 0) return std::nullopt;
    const std::uint64_t slot = slots_[Locate(key, hash)];
    if (slot == 0) return std::nullopt;
    return ValueAt((slot & kOffsetMask) - 1);
  }
  std::size_t size() const { return count_; }

 private:
  static constexpr int kOffsetBits = 40;  // entries up to 1 TiB; the rest of a slot is a hash tag
  static constexpr std::uint64_t kOffsetMask = (std::uint64_t{1} << kOffsetBits) - 1;

  static std::uint64_t Load64(const char* p) {
    std::uint64_t v;
    std::memcpy(&v, p, 8);
    return v;
  }
  static std::uint32_t Load32(const char* p) {
    std::uint32_t v;
    std::memcpy(&v, p, 4);
    return v;
  }
  // Two words to one, every input bit reaching every output bit.
  static std::uint64_t Mix(std::uint64_t a, std::uint64_t b) {
    std::uint64_t h = (a ^ (b << 32 | b >> 32)) * 0xBF58476D1CE4E5B9ull;
    h ^= h >> 29;
    h = (h ^ b) * 0x94D049BB133111EBull;
    return h ^ h >> 32;
  }
  static std::uint64_t Hash(std::string_view key) {
    const char* p = key.data();
    const std::size_t n = key.size();
    std::uint64_t a = 0;
    std::uint64_t b = n;
    if (n > 16) {
      // Every whole eight bytes, then the last eight (overlapping the ones before).
      for (std::size_t i = 0; i + 8 < n; i += 8) a = Mix(a ^ Load64(p + i), 0x9E3779B97F4A7C15ull);
      a ^= Load64(p + n - 8);
    } else if (n >= 8) {
      a = Load64(p) + n;
      b = Load64(p + n - 8);
    } else if (n >= 4) {
      a = Load32(p);
      b |= std::uint64_t{Load32(p + n - 4)} << 32;
    } else if (n > 0) {
      const auto byte = [&](std::size_t i) { return std::uint64_t{static_cast<unsigned char>(p[i])}; };
      a = byte(0) << 16 | byte(n / 2) << 8 | byte(n - 1);
    }
    return Mix(a ^ 0xA0761D6478BD642Full, b ^ 0xE7037ED1A0B428DBull);
  }
  // An entry: key length and value length (4 bytes each), key, value.
  std::string_view KeyAt(std::uint64_t entry) const {
    return {entries_.data() + entry + 8, Load32(entries_.data() + entry)};
  }
  std::string_view ValueAt(std::uint64_t entry) const {
    return {entries_.data() + entry + 8 + Load32(entries_.data() + entry),
            Load32(entries_.data() + entry + 4)};
  }
  // Whether the entry's key is `key`; short keys as two words each, not a call.
  bool SameKey(std::uint64_t entry, std::string_view key) const {
    const char* stored = entries_.data() + entry;
    const std::size_t n = key.size();
    if (Load32(stored) != n) return false;
    stored += 8;
    const char* p = key.data();
    if (n >= 8 && n <= 16) {
      return ((Load64(stored) ^ Load64(p)) | (Load64(stored + n - 8) ^ Load64(p + n - 8))) == 0;
    }
    if (n >= 4 && n < 8) {
      return ((Load32(stored) ^ Load32(p)) | (Load32(stored + n - 4) ^ Load32(p + n - 4))) == 0;
    }
    return n == 0 || std::memcmp(stored, p, n) == 0;
  }
  // The slot of the key, or the empty slot where it belongs.
  std::size_t Locate(std::string_view key, std::uint64_t hash) const {
    const std::size_t mask = slots_.size() - 1;
    const std::uint64_t tag = hash >> kOffsetBits;
    for (std::size_t i = hash & mask;; i = (i + 1) & mask) {
      const std::uint64_t slot = slots_[i];
      if (slot == 0) return i;
      if (slot >> kOffsetBits == tag && SameKey((slot & kOffsetMask) - 1, key)) return i;
    }
  }
  void Grow();

  // Per slot: the hash's top 24 bits, then the entry's offset + 1 (0: empty).
  // One empty slot before the first entry, so that a slot can always be read.
  std::vector<std::uint64_t> slots_ = std::vector<std::uint64_t>(1, 0);
  std::string entries_;
  std::size_t count_ = 0;
};

}  // namespace tavo
