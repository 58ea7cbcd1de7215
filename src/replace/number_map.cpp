#include "replace/number_map.h"

#include <algorithm>
#include <array>
#include <limits>
#include <stdexcept>

#include "core/bytes.h"
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
  if (c >= 0x2160 && c <= 0x216F) return c + 0x10;              // Roman numerals Ⅰ..Ⅿ
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
    const std::uint64_t w = LoadUpTo8(key.data() + i, std::min<std::size_t>(key.size() - i, 8));
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

// Slots in the order of their home places (hash & mask), by a least
// significant digit radix sort: stable, so equal keys (equal hashes) keep
// their order.
void NumberMap::SortByHome(std::vector<Waiting>& slots, std::size_t mask) {
  // Digits of eleven bits: two passes for a table of up to four million slots.
  constexpr unsigned kBits = 11;
  constexpr std::size_t kDigits = std::size_t{1} << kBits;
  std::vector<Waiting> spare(slots.size());
  std::vector<std::size_t> at(kDigits + 1);
  for (unsigned shift = 0; (mask >> shift) != 0; shift += kBits) {
    const auto digit = [&](const Waiting& s) { return (s.hash & mask) >> shift & (kDigits - 1); };
    std::fill(at.begin(), at.end(), 0);
    for (const Waiting& s : slots) ++at[digit(s) + 1];
    for (std::size_t d = 1; d < at.size(); ++d) at[d] += at[d - 1];
    for (const Waiting& s : slots) spare[at[digit(s)]++] = s;
    slots.swap(spare);
  }
}

// ------------------------------------------------------------ NumberColumn

Text NumberColumn::operator[](std::size_t i) const {
  const std::size_t k = 2 * i + column_;
  if (!map_->texts_.empty()) {
    const auto it = map_->texts_.find(static_cast<std::uint32_t>(k));
    if (it != map_->texts_.end()) return it->second;
  }
  return Cp932Decode(map_->NumberBytes(k));
}

// ------------------------------------------------------------ NumberMap

NumberMap& NumberMap::operator=(const NumberMap& other) {
  if (this == &other) return *this;
  bytes_ = other.bytes_;
  ends_ = other.ends_;
  texts_ = other.texts_;
  slots_ = other.slots_;
  pending_ = other.pending_;
  asciiCount_ = other.asciiCount_;
  others_ = other.others_;
  source_ = other.source_;
  return *this;
}

NumberMap& NumberMap::operator=(NumberMap&& other) noexcept {
  if (this == &other) return *this;
  bytes_.swap(other.bytes_);
  ends_.swap(other.ends_);
  texts_.swap(other.texts_);
  slots_.swap(other.slots_);
  pending_.swap(other.pending_);
  std::swap(asciiCount_, other.asciiCount_);
  others_.swap(other.others_);
  source_.swap(other.source_);
  other.Clear();
  return *this;
}

void NumberMap::Clear() {
  // Released, not only emptied: a map of a big file should not outlive it.
  std::string().swap(bytes_);
  std::vector<std::uint32_t>().swap(ends_);
  texts_.clear();
  std::vector<Slot>().swap(slots_);
  std::vector<Waiting>().swap(pending_);
  asciiCount_ = 0;
  others_.clear();
  source_.clear();
}

void NumberMap::Reserve(std::size_t fileBytes) {
  // A pair takes at least its comma and a line end in the file; most lines
  // are longer, and the vectors still grow past a guess that falls short.
  bytes_.reserve(fileBytes);
  ends_.reserve(fileBytes / 8 * 2);
  pending_.reserve(fileBytes / 8);
}

void NumberMap::EndNumber() {
  if (bytes_.size() > std::numeric_limits<std::uint32_t>::max() ||
      ends_.size() >= std::numeric_limits<std::uint32_t>::max()) {
    throw std::length_error("change-definition numbers beyond 4 GiB");
  }
  ends_.push_back(static_cast<std::uint32_t>(bytes_.size()));
}

void NumberMap::Push(TextView number) {
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

void NumberMap::PushAscii(std::string_view number) {
  bytes_.append(number);
  EndNumber();
}

void NumberMap::Add(TextView oldNumber, TextView newNumber) {
  const auto pair = static_cast<std::uint32_t>(size());
  Push(oldNumber);
  Push(newNumber);
  if (IsAsciiText(oldNumber)) {
    IndexAscii(pair);
  } else {
    others_.emplace(FoldCase(oldNumber), pair);  // keeps the earliest line
  }
}

void NumberMap::AddAscii(std::string_view oldNumber, std::string_view newNumber) {
  const auto pair = static_cast<std::uint32_t>(size());
  PushAscii(oldNumber);
  PushAscii(newNumber);
  IndexAscii(pair);
}

void NumberMap::IndexAscii(std::uint32_t pair) {
  pending_.push_back(Waiting{pair + 1, *HashFolded(NumberBytes(2 * pair))});  // the old number is ASCII
}

void NumberMap::IndexPending() const {
  std::vector<Waiting> adding;
  adding.swap(pending_);
  // At most three quarters full, so that a miss ends soon.
  std::size_t size = std::max<std::size_t>(slots_.size(), 1024);
  while ((asciiCount_ + adding.size()) * 4 > size * 3) size *= 2;
  if (size != slots_.size()) {
    // The indexed pairs come before the waiting ones, which are in file order.
    std::vector<Waiting> all;
    all.reserve(asciiCount_ + adding.size());
    for (const Slot& s : slots_) {
      if (s.pair != 0) all.push_back(Waiting{s.pair, s.hash});
    }
    all.insert(all.end(), adding.begin(), adding.end());
    adding.swap(all);
    std::vector<Slot>().swap(slots_);
    slots_.assign(size, Slot{});
    asciiCount_ = 0;
  }
  // Entered in the order of their home places, the slots fill mostly one
  // after another instead of all over the table.
  const std::size_t mask = slots_.size() - 1;
  SortByHome(adding, mask);
  for (const Waiting& add : adding) {
    const std::size_t k = 2 * (add.pair - 1);  // the old number's place in the store
    const std::string_view key = NumberBytes(k);
    for (std::size_t i = add.hash & mask;; i = (i + 1) & mask) {
      Slot& s = slots_[i];
      if (s.pair == 0) {
        const std::size_t newLength = NumberBytes(k + 1).size();
        const bool fits = key.size() < kLong && newLength < kLong;
        s.pair = add.pair;
        s.hash = add.hash;
        s.begin = static_cast<std::uint32_t>(key.data() - bytes_.data());
        s.oldLength = fits ? static_cast<std::uint16_t>(key.size()) : kLong;
        s.newLength = fits ? static_cast<std::uint16_t>(newLength) : kLong;
        ++asciiCount_;
        break;
      }
      // The earliest line wins: a later equal old number is not indexed.
      if (s.hash == add.hash && SameFolded(OldBytes(s), key)) break;
    }
  }
}

std::string_view NumberMap::OldBytes(const Slot& s) const {
  if (s.oldLength == kLong) return NumberBytes(2 * (s.pair - 1));
  return std::string_view(bytes_.data() + s.begin, s.oldLength);
}

std::string_view NumberMap::NewBytes(const Slot& s) const {
  if (s.oldLength == kLong) return NumberBytes(2 * (s.pair - 1) + 1);
  return std::string_view(bytes_.data() + s.begin + s.oldLength, s.newLength);
}

const NumberMap::Slot* NumberMap::FindAscii(std::string_view key, std::uint32_t hash) const {
  if (!pending_.empty()) IndexPending();
  if (slots_.empty()) return nullptr;
  const std::size_t mask = slots_.size() - 1;
  for (std::size_t i = hash & mask;; i = (i + 1) & mask) {
    const Slot& s = slots_[i];
    if (s.pair == 0) return nullptr;
    if (s.hash == hash && SameFolded(OldBytes(s), key)) return &s;
  }
}

void NumberMap::Prefetch(std::string_view key) const {
#if TAVO_SSE2
  if (!pending_.empty()) IndexPending();
  if (slots_.empty()) return;
  if (const auto hash = HashFolded(key)) {
    const Slot* slot = &slots_[*hash & (slots_.size() - 1)];
    _mm_prefetch(reinterpret_cast<const char*>(slot), _MM_HINT_T0);
  }
#else
  (void)key;
#endif
}

void NumberMap::PrefetchNumbers(std::string_view key) const {
#if TAVO_SSE2
  if (!pending_.empty()) IndexPending();
  if (slots_.empty()) return;
  const auto hash = HashFolded(key);
  if (!hash) return;
  // The first place of the same hash, without comparing the key (that would
  // wait for the very bytes to fetch).
  const std::size_t mask = slots_.size() - 1;
  for (std::size_t i = *hash & mask;; i = (i + 1) & mask) {
    const Slot& s = slots_[i];
    if (s.pair == 0) return;
    if (s.hash == *hash) {
      if (s.oldLength != kLong) _mm_prefetch(bytes_.data() + s.begin, _MM_HINT_T0);
      return;
    }
  }
#else
  (void)key;
#endif
}

std::optional<std::size_t> NumberMap::Find(TextView key) const {
  if (IsAsciiText(key)) {
    std::string narrow(key.size(), '\0');
    for (std::size_t i = 0; i < key.size(); ++i) narrow[i] = static_cast<char>(key[i]);
    const Slot* s = FindAscii(narrow, *HashFolded(narrow));
    if (!s) return std::nullopt;
    return s->pair - 1;
  }
  const auto it = others_.find(FoldCase(key));
  if (it == others_.end()) return std::nullopt;
  return it->second;
}

std::optional<std::size_t> NumberMap::FindBytes(std::string_view key) const {
  std::string_view newBytes;
  return FindBytes(key, newBytes);
}

std::optional<std::size_t> NumberMap::FindBytes(std::string_view key,
                                                std::string_view& newBytes) const {
  if (const auto hash = HashFolded(key)) {
    const Slot* s = FindAscii(key, *hash);
    if (!s) return std::nullopt;
    newBytes = NewBytes(*s);
    return s->pair - 1;
  }
  // A byte from 80 on decodes to a character beyond ASCII, and no folding
  // makes such a character ASCII: only the other old numbers can match.
  if (others_.empty()) return std::nullopt;
  const auto hit = Find(Cp932Decode(key));
  if (hit) newBytes = NewBytes(*hit);
  return hit;
}

}  // namespace tavo::replace
