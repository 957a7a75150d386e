#pragma once

#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

// A broken invariant ends the run the way a crash does, so that libFuzzer
// keeps the input that broke it; the message says which invariant and why.
namespace twinbook::fuzz {

// Prints text with its control and non-ASCII bytes as \xNN, so that a
// message shows exactly which bytes differ.
inline std::string Shown(std::string_view text) {
  std::string out = "\"";
  for (char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte < 0x20 || byte >= 0x7F || c == '"' || c == '\\') {
      char hex[5];
      std::snprintf(hex, sizeof hex, "\\x%02X", byte);
      out += hex;
    } else {
      out += c;
    }
  }
  return out + "\"";
}

[[noreturn]] inline void Fail(const std::string& message) {
  std::fprintf(stderr, "INVARIANT BROKEN: %s\n", message.c_str());
  std::fflush(stderr);
  std::abort();
}

}  // namespace twinbook::fuzz

// The message is built only when the invariant is broken: the checks run
// on every input, thousands of times a second.
#define TWINBOOK_REQUIRE(holds, message) \
  do {                                   \
    if (!(holds)) {                      \
      ::twinbook::fuzz::Fail(message);   \
    }                                    \
  } while (false)
