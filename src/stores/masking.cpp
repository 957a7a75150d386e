#include "stores/masking.h"

#include <vector>

namespace twinbook {

namespace {

// The number split into characters (UTF-8 sequences), so that positions
// count characters as the formatting rules do, not bytes.
std::vector<std::string> Characters(const std::string& text) {
  std::vector<std::string> characters;
  for (size_t i = 0; i < text.size();) {
    size_t length = 1;
    unsigned char lead = static_cast<unsigned char>(text[i]);
    if (lead >= 0xF0) {
      length = 4;
    } else if (lead >= 0xE0) {
      length = 3;
    } else if (lead >= 0xC0) {
      length = 2;
    }
    characters.push_back(text.substr(i, length));
    i += length;
  }
  return characters;
}

}  // namespace

std::string MaskPhoneNumber(const std::string& number, std::uint8_t maskOption) {
  if (maskOption < 2 || maskOption > 4) {
    return number;
  }
  const std::vector<std::string> c = Characters(number);
  // Mid(p, k): k characters from 1-based position p.
  auto mid = [&c](size_t p, size_t k) {
    std::string piece;
    for (size_t i = p - 1; i < p - 1 + k; ++i) {
      piece += c[i];
    }
    return piece;
  };
  const char* separator = maskOption == 4 ? "." : "-";
  switch (c.size()) {
    case 7:
      return mid(1, 3) + separator + mid(4, 4);
    case 10:
      if (maskOption == 2) {
        return "(" + mid(1, 3) + ") " + mid(4, 3) + "-" + mid(7, 4);
      }
      return mid(1, 3) + separator + mid(4, 3) + separator + mid(7, 4);
    case 11:
      if (maskOption == 2) {
        return mid(1, 1) + " (" + mid(2, 3) + ") " + mid(5, 3) + "-" + mid(8, 4);
      }
      return mid(1, 1) + separator + mid(2, 3) + separator + mid(5, 3) + separator + mid(8, 4);
    default:
      return number;
  }
}

}  // namespace twinbook
