// Arbitrary bytes through the vCard reader, mapping and writer (fuzz_check.h).
#include <cstdint>

#include "fuzz_check.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  twinbook::fuzz::CheckCard(std::string(reinterpret_cast<const char*>(data), size));
  return 0;
}
