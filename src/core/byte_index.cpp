#include "core/byte_index.h"

#include <cstring>

namespace tavo {

namespace {

std::uint64_t HashShort(std::string_view key) {
  char padded[16] = {};
  std::memcpy(padded, key.data(), key.size());
  std::uint64_t a;
  std::uint64_t b;
  std::memcpy(&a, padded, 8);
  std::uint64_t h = (a ^ key.size()) * 0x9E3779B97F4A7C15ull;
  std::memcpy(&b, padded + 8, 8);
  h = (h ^ (h >> 29) ^ b) * 0xBF58476D1CE4E5B9ull;
  return h ^ (h >> 32);
}

}  // namespace

const ByteIndex::Slot* ByteIndex::Locate(std::string_view key) const {
  const std::size_t mask = slots_.size() - 1;
  std::size_t i = HashShort(key) & mask;
  while (true) {
    const Slot& s = slots_[i];
    if (!s.used || (s.length == key.size() && std::memcmp(s.key, key.data(), key.size()) == 0))
      return &s;
    i = (i + 1) & mask;
  }
}

ByteIndex::Slot* ByteIndex::Locate(std::string_view key) {
  return const_cast<Slot*>(static_cast<const ByteIndex*>(this)->Locate(key));
}

void ByteIndex::Grow() {
  std::vector<Slot> old;
  old.swap(slots_);
  slots_.assign(old.empty() ? 64 : old.size() * 2, Slot{});
  for (const Slot& s : old) {
    if (s.used) *Locate(std::string_view(s.key, s.length)) = s;
  }
}

bool ByteIndex::Insert(std::string_view key, std::uint32_t value) {
  if (key.size() > kInline) return long_.emplace(std::string(key), value).second;
  if ((count_ + 1) * 2 > slots_.size()) Grow();  // at most half full
  Slot* s = Locate(key);
  if (s->used) return false;
  std::memcpy(s->key, key.data(), key.size());
  s->length = static_cast<std::uint8_t>(key.size());
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
  if (!Insert(key, value)) Locate(key)->value = value;
}

std::optional<std::uint32_t> ByteIndex::Find(std::string_view key) const {
  if (key.size() > kInline) {
    const auto it = long_.find(std::string(key));
    if (it == long_.end()) return std::nullopt;
    return it->second;
  }
  if (slots_.empty()) return std::nullopt;
  const Slot* s = Locate(key);
  if (!s->used) return std::nullopt;
  return s->value;
}

void ByteIndex::Clear() {
  slots_.clear();
  count_ = 0;
  long_.clear();
}

}  // namespace tavo
