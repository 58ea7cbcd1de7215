#include "replace/number_map.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <stdexcept>

#include "core/cp932.h"

namespace tavo::replace {

namespace {

char16_t FoldChar(char16_t c) {
  if (c >= u'A' && c <= u'Z') return c + 0x20;
  if (c < 0xC0) return c;
  if (c <= 0xDE) return c == 0xD7 ? c : c + 0x20;               // Latin-1 capitals
  if (c >= 0x391 && c <= 0x3A9 && c != 0x3A2) return c + 0x20;  // Greek
  if (c >= 0x410 && c <= 0x42F) return c + 0x20;                // Cyrillic
  if (c >= 0x400 && c <= 0x40F) return c + 0x50;                // Cyrillic Ѐ..Џ
  if (c >= 0xFF21 && c <= 0xFF3A) return c + 0x20;              // full-width Latin
  return c;
}

unsigned char FoldByte(char c) {
  const auto b = static_cast<unsigned char>(c);
  return b >= 'A' && b <= 'Z' ? static_cast<unsigned char>(b + 0x20) : b;
}

bool IsAsciiText(TextView text) {
  for (const char16_t c : text) {
    if (c >= 0x80) return false;
  }
  return true;
}

constexpr std::uint64_t kHighBits = 0x8080808080808080ull;

// Eight bytes of ASCII as one word, capitals folded to small letters. A byte
// below 80 plus 3F reaches 80 from "A" on, plus 25 from past "Z" on; neither
// carries into the next byte.
std::uint64_t FoldWord(std::uint64_t w) {
  const std::uint64_t capitals =
      (w + 0x3F3F3F3F3F3F3F3Full) & ~(w + 0x2525252525252525ull) & kHighBits;
  return w | capitals >> 2;
}

// The same hash for ASCII keys that differ only in the case of letters;
// nullopt when the key holds a byte from 80 on.
std::optional<std::uint32_t> HashFolded(std::string_view key) {
  std::uint64_t h = key.size() * 0x9E3779B97F4A7C15ull;
  std::uint64_t high = 0;
  for (std::size_t i = 0; i < key.size(); i += 8) {
    std::uint64_t w = 0;
    if (key.size() - i >= 8) {
      std::memcpy(&w, key.data() + i, 8);
    } else {
      std::memcpy(&w, key.data() + i, key.size() - i);
    }
    high |= w;
    h = (h ^ FoldWord(w)) * 0xFF51AFD7ED558CCDull;
    h ^= h >> 33;
  }
  if ((high & kHighBits) != 0) return std::nullopt;
  h *= 0xC4CEB9FE1A85EC53ull;
  return static_cast<std::uint32_t>(h ^ (h >> 33));
}

bool SameFolded(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  if (a == b) return true;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (FoldByte(a[i]) != FoldByte(b[i])) return false;
  }
  return true;
}

}  // namespace

Text FoldCase(TextView text) {
  Text out(text);
  for (char16_t& c : out) c = FoldChar(c);
  return out;
}

// ------------------------------------------------------------ NumberColumn

Text NumberColumn::operator[](std::size_t i) const {
  if (!texts_.empty()) {
    const auto it = texts_.find(static_cast<std::uint32_t>(i));
    if (it != texts_.end()) return it->second;
  }
  return Cp932Decode(Bytes(i));
}

void NumberColumn::clear() {
  // Released, not only emptied: a map of a big file should not outlive it.
  std::string().swap(bytes_);
  std::vector<std::uint32_t>().swap(ends_);
  texts_.clear();
}

void NumberColumn::EndNumber() {
  if (bytes_.size() > std::numeric_limits<std::uint32_t>::max() ||
      ends_.size() >= std::numeric_limits<std::uint32_t>::max()) {
    throw std::length_error("change-definition numbers beyond 4 GiB");
  }
  ends_.push_back(static_cast<std::uint32_t>(bytes_.size()));
}

void NumberColumn::push_back(TextView number) {
  if (IsAsciiText(number)) {
    for (const char16_t c : number) bytes_.push_back(static_cast<char>(c));
    EndNumber();
    return;
  }
  const std::size_t begin = bytes_.size();
  Cp932EncodeAppend(number, bytes_);
  if (Cp932Decode(std::string_view(bytes_).substr(begin)) != number) {
    texts_.emplace(static_cast<std::uint32_t>(ends_.size()), Text(number));
  }
  EndNumber();
}

void NumberColumn::PushAscii(std::string_view number) {
  bytes_.append(number);
  EndNumber();
}

// ------------------------------------------------------------ NumberMap

void NumberMap::Clear() {
  mlsList.clear();
  mlsList2.clear();
  std::vector<Slot>().swap(slots_);
  asciiCount_ = 0;
  others_.clear();
}

void NumberMap::Add(TextView oldNumber, TextView newNumber) {
  const auto pair = static_cast<std::uint32_t>(mlsList.size());
  mlsList.push_back(oldNumber);
  mlsList2.push_back(newNumber);
  if (IsAsciiText(oldNumber)) {
    IndexAscii(pair);
  } else {
    others_.emplace(FoldCase(oldNumber), pair);  // keeps the earliest line
  }
}

void NumberMap::AddAscii(std::string_view oldNumber, std::string_view newNumber) {
  const auto pair = static_cast<std::uint32_t>(mlsList.size());
  mlsList.PushAscii(oldNumber);
  mlsList2.PushAscii(newNumber);
  IndexAscii(pair);
}

void NumberMap::Grow() {
  std::vector<Slot> old;
  old.swap(slots_);
  slots_.assign(old.empty() ? 1024 : old.size() * 2, Slot{0, 0});
  const std::size_t mask = slots_.size() - 1;
  for (const Slot& s : old) {
    if (s.pair == 0) continue;
    std::size_t i = s.hash & mask;
    while (slots_[i].pair != 0) i = (i + 1) & mask;
    slots_[i] = s;
  }
}

void NumberMap::IndexAscii(std::uint32_t pair) {
  // At most three quarters full, so that a miss ends soon.
  if ((asciiCount_ + 1) * 4 > slots_.size() * 3) Grow();
  const std::string_view key = mlsList.Bytes(pair);
  const std::uint32_t hash = *HashFolded(key);  // the old number is ASCII
  const std::size_t mask = slots_.size() - 1;
  for (std::size_t i = hash & mask;; i = (i + 1) & mask) {
    Slot& s = slots_[i];
    if (s.pair == 0) {
      s = Slot{pair + 1, hash};
      ++asciiCount_;
      return;
    }
    // The earliest line wins: a later equal old number is not indexed.
    if (s.hash == hash && SameFolded(mlsList.Bytes(s.pair - 1), key)) return;
  }
}

std::optional<std::size_t> NumberMap::FindAscii(std::string_view key, std::uint32_t hash) const {
  if (slots_.empty()) return std::nullopt;
  const std::size_t mask = slots_.size() - 1;
  for (std::size_t i = hash & mask;; i = (i + 1) & mask) {
    const Slot& s = slots_[i];
    if (s.pair == 0) return std::nullopt;
    if (s.hash == hash && SameFolded(mlsList.Bytes(s.pair - 1), key)) return s.pair - 1;
  }
}

std::optional<std::size_t> NumberMap::Find(TextView key) const {
  if (IsAsciiText(key)) {
    std::string narrow(key.size(), '\0');
    for (std::size_t i = 0; i < key.size(); ++i) narrow[i] = static_cast<char>(key[i]);
    return FindAscii(narrow, *HashFolded(narrow));
  }
  const auto it = others_.find(FoldCase(key));
  if (it == others_.end()) return std::nullopt;
  return it->second;
}

std::optional<std::size_t> NumberMap::FindBytes(std::string_view key) const {
  if (const auto hash = HashFolded(key)) return FindAscii(key, *hash);
  // A byte from 80 on decodes to a character beyond ASCII, and no folding
  // makes such a character ASCII: only the other old numbers can match.
  if (others_.empty()) return std::nullopt;
  return Find(Cp932Decode(key));
}

}  // namespace tavo::replace
