// Random numbers for the input generators: xorshift64, so that a seed gives the
// same files on every platform and standard library.
#pragma once

#include <cstdint>

namespace gen {

inline std::uint64_t state = 88172645463325252ull;
inline std::uint64_t Next() {
  state ^= state << 13;
  state ^= state >> 7;
  state ^= state << 17;
  return state;
}
inline std::uint64_t Below(std::uint64_t n) { return Next() % n; }
// Mixes a --seed value into the generator.
inline void Seed(std::uint64_t seed) { state ^= seed * 2654435761u; }

}  // namespace gen
