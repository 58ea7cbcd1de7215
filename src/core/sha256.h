// SHA-256 (FIPS 180-4), for the run history's fingerprints of input files.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace tavo {

class Sha256 {
 public:
  Sha256();
  void Update(std::string_view bytes);
  // The digest; the object is spent afterwards.
  std::array<std::uint8_t, 32> Finish();

 private:
  void Block(const std::uint8_t* p);
  std::array<std::uint32_t, 8> h_;
  std::array<std::uint8_t, 64> pending_{};
  std::size_t pendingSize_ = 0;
  std::uint64_t totalBytes_ = 0;
};

// Lower-case hex of the digest of `bytes`.
std::string Sha256Hex(std::string_view bytes);
// Lower-case hex of the digest of the file's bytes; nullopt when it cannot be read.
std::optional<std::string> Sha256FileHex(const std::filesystem::path& file);

}  // namespace tavo
