#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace twinbook {

// A 128-bit fingerprint of a sequence of byte strings, for telling whether
// content has changed since it was last seen. Not for defending against
// someone making two contents collide on purpose: nobody gains by that here.
// Each piece is taken with its length, so ("ab", "c") and ("a", "bc") differ.
class Fingerprinter {
 public:
  void Add(std::string_view piece);
  // 32 lowercase hex digits.
  std::string Hex() const;

 private:
  void Mix(unsigned char byte);

  std::uint64_t fnv_ = 0xcbf29ce484222325ULL;
  std::uint64_t poly_ = 0x9e3779b97f4a7c15ULL;
};

// The fingerprint of one byte string.
std::string FingerprintOf(std::string_view content);

}  // namespace twinbook
