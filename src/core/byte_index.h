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

#include "core/simd.h"

namespace tavo {

class ByteIndex {
 public:
  // A key made ready for the table: looking it up in steps lets a run fetch
  // the slots of a batch of keys before it looks at any of them.
  struct Probe {
    std::string_view key;
    std::uint64_t lo = 0;  // a short key's bytes, zero-padded to 16
    std::uint64_t hi = 0;
    std::uint64_t hash = 0;
  };
  static Probe MakeProbe(std::string_view key);
  // Starts bringing the key's slot into the cache; changes nothing found.
  void Prefetch(const Probe& probe) const {
#if TAVO_SSE2
    const std::size_t mask = slots_.empty() ? 0 : slots_.size() - 1;  // no slot: a harmless null
    _mm_prefetch(reinterpret_cast<const char*>(slots_.data() + (probe.hash & mask)), _MM_HINT_T0);
#else
    (void)probe;
#endif
  }

  // Adds the key with its value unless the key is there; true when added.
  bool Insert(std::string_view key, std::uint32_t value) { return Insert(MakeProbe(key), value); }
  bool Insert(const Probe& probe, std::uint32_t value);
  // Sets the key's value, adding the key when needed.
  void Assign(std::string_view key, std::uint32_t value);
  std::optional<std::uint32_t> Find(std::string_view key) const { return Find(MakeProbe(key)); }
  std::optional<std::uint32_t> Find(const Probe& probe) const;
  std::size_t size() const { return count_ + long_.size(); }
  void Clear();

 private:
  static constexpr std::size_t kInline = 16;
  struct Slot {
    std::uint64_t lo;  // the key's bytes, zero-padded
    std::uint64_t hi;
    std::uint32_t value;
    std::uint8_t length;
    bool used;
  };
  // The key's slot, or the free slot where it belongs.
  const Slot* Locate(std::uint64_t lo, std::uint64_t hi, std::size_t length,
                     std::uint64_t hash) const;
  Slot* Locate(const Probe& probe);
  void Grow();
  std::vector<Slot> slots_;
  std::size_t count_ = 0;
  std::unordered_map<std::string, std::uint32_t> long_;
};

}  // namespace tavo
