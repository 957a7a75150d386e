#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace twinbook {

// The phone keeps at most this many characters of a name: the rows added for
// a longer name hold its beginning, while Outlook and the sync database keep
// the whole name. Reading such a row back must not count as a rename, or the
// next run would shorten the desktop contact to what the phone shows.
inline constexpr std::size_t kPhoneBookNameLength = 22;

// The number of UTF-8 characters of `text` (the bytes that do not continue
// a character).
std::size_t CharacterCount(std::string_view text);

// The name as a new PhoneBook row holds it: its first kPhoneBookNameLength
// characters (UTF-8 characters, never a part of one), all of it when shorter.
std::string PhoneBookName(const std::string& name);

// True when `phoneBookName` is `name`, or is exactly the first
// kPhoneBookNameLength characters of the longer `name` (counted in bytes or in
// UTF-8 characters, whichever way the row was cut).
bool SamePhoneBookName(std::string_view phoneBookName, std::string_view name);

}  // namespace twinbook
