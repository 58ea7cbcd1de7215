#include "core/byte_index.h"

#include "core/bytes.h"

namespace tavo {

namespace {

std::uint64_t Hash(std::uint64_t lo, std::uint64_t hi, std::size_t length) {
  std::uint64_t h = (lo ^ length) * 0x9E3779B97F4A7C15ull;
  h = (h ^ (h >> 29) ^ hi) * 0xBF58476D1CE4E5B9ull;
  return h ^ (h >> 32);
}

}  // namespace

ByteIndex::Probe ByteIndex::MakeProbe(std::string_view key) {
  Probe probe;
  probe.key = key;
  if (key.size() > kInline) return probe;
  const std::size_t n = key.size();
  if (n <= 8) {
    probe.lo = LoadUpTo8(key.data(), n);
  } else {
    probe.lo = LoadUpTo8(key.data(), 8);
    probe.hi = LoadUpTo8(key.data() + 8, n - 8);
  }
  probe.hash = Hash(probe.lo, probe.hi, n);
  return probe;
}

const ByteIndex::Slot* ByteIndex::Locate(std::uint64_t lo, std::uint64_t hi, std::size_t length,
                                         std::uint64_t hash) const {
  const std::size_t mask = slots_.size() - 1;
  std::size_t i = hash & mask;
  while (true) {
    const Slot& s = slots_[i];
    if (!s.used || (s.lo == lo && s.hi == hi && s.length == length)) return &s;
    i = (i + 1) & mask;
  }
}

ByteIndex::Slot* ByteIndex::Locate(const Probe& probe) {
  return const_cast<Slot*>(static_cast<const ByteIndex*>(this)->Locate(
      probe.lo, probe.hi, probe.key.size(), probe.hash));
}

void ByteIndex::Grow() {
  std::vector<Slot> old;
  old.swap(slots_);
  slots_.assign(old.empty() ? 64 : old.size() * 2, Slot{});
  for (const Slot& s : old) {
    if (s.used) *const_cast<Slot*>(Locate(s.lo, s.hi, s.length, Hash(s.lo, s.hi, s.length))) = s;
  }
}

bool ByteIndex::Insert(const Probe& probe, std::uint32_t value) {
  if (probe.key.size() > kInline) return long_.emplace(std::string(probe.key), value).second;
  if ((count_ + 1) * 2 > slots_.size()) Grow();  // at most half full
  Slot* s = Locate(probe);
  if (s->used) return false;
  s->lo = probe.lo;
  s->hi = probe.hi;
  s->length = static_cast<std::uint8_t>(probe.key.size());
  s->value = value;
  s->used = true;
  ++count_;
  return true;
}

void ByteIndex::Assign(std::string_view key, std::uint32_t value) {
  if (key.size() > kInline) {
    long_[std::string(key)] = value;
    return;
  }
  const Probe probe = MakeProbe(key);
  if (!Insert(probe, value)) Locate(probe)->value = value;
}

std::optional<std::uint32_t> ByteIndex::Find(const Probe& probe) const {
  if (probe.key.size() > kInline) {
    const auto it = long_.find(std::string(probe.key));
    if (it == long_.end()) return std::nullopt;
    return it->second;
  }
  if (slots_.empty()) return std::nullopt;
  const Slot* s = Locate(probe.lo, probe.hi, probe.key.size(), probe.hash);
  if (!s->used) return std::nullopt;
  return s->value;
}

void ByteIndex::Clear() {
  slots_.clear();
  count_ = 0;
  long_.clear();
}

}  // namespace tavo
