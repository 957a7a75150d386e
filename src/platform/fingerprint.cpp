#include "platform/fingerprint.h"

#include <cstdio>

namespace twinbook {

void Fingerprinter::Mix(unsigned char byte) {
  // Two unrelated hashes side by side: FNV-1a, and a polynomial hash with a
  // different multiplier whose state is stirred after each byte.
  fnv_ = (fnv_ ^ byte) * 0x100000001b3ULL;
  poly_ = (poly_ + byte + 1) * 0xff51afd7ed558ccdULL;
  poly_ ^= poly_ >> 29;
}

void Fingerprinter::Add(std::string_view piece) {
  std::uint64_t length = piece.size();
  for (int i = 0; i < 8; ++i) {
    Mix(static_cast<unsigned char>(length >> (8 * i)));
  }
  for (char c : piece) {
    Mix(static_cast<unsigned char>(c));
  }
}

std::string Fingerprinter::Hex() const {
  char text[33];
  std::snprintf(text, sizeof text, "%016llx%016llx", static_cast<unsigned long long>(fnv_),
                static_cast<unsigned long long>(poly_));
  return text;
}

std::string FingerprintOf(std::string_view content) {
  Fingerprinter fingerprint;
  fingerprint.Add(content);
  return fingerprint.Hex();
}

}  // namespace twinbook
