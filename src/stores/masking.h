#pragma once

#include <cstdint>
#include <string>

namespace twinbook {

// Formats a phone number for the desktop contacts in the style the user
// chose: 1 none, 2 "(nnn) nnn-nnnn", 3 "nnn-nnn-nnnn", 4 "nnn.nnn.nnnn".
// Numbers of 7, 10 and 11 characters are formatted; any other length, and
// style 1 or an unknown style, come back unchanged. The rules place
// characters by position, whatever they are.
std::string MaskPhoneNumber(const std::string& number, std::uint8_t maskOption);

}  // namespace twinbook
