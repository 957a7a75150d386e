#pragma once

#include <cstddef>
#include <string>
#include <string_view>

// UTF-8 checks and the one reading of bytes that are no UTF-8 shared by every
// store: each such byte is taken for Windows-1252, so that a name holding
// one means the same in the PhoneBook, the sync database and a card.
namespace twinbook {

// The length of the valid UTF-8 sequence starting at text[i], or 0 when the
// bytes there are no UTF-8 (a stray byte, a cut, overlong or surrogate
// sequence, or a code above U+10FFFF).
std::size_t Utf8SequenceLength(std::string_view text, std::size_t i);

bool IsValidUtf8(std::string_view text);

// Appends the code point `c` (at most U+10FFFF, no surrogate) as UTF-8.
void AppendUtf8(std::string& out, char32_t c);

// Appends `byte` read as Windows-1252, as UTF-8. The five bytes that
// Windows-1252 leaves unassigned keep their code as a control character, as
// web browsers read them, so that no byte is lost.
void AppendWindows1252(std::string& out, unsigned char byte);

// `bytes` as valid UTF-8: valid sequences stay, every other byte is read as
// Windows-1252.
std::string RepairUtf8(std::string_view bytes);

}  // namespace twinbook
