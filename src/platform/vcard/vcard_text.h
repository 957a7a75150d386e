#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "platform/utf8_text.h"

// Text conversions of the vCard format: character sets, quoted-printable,
// backslash escapes, line folding. Pure functions of their arguments; none
// throws on malformed input, each produces its best reading instead.
namespace twinbook::vcard {

bool EqualsIgnoringCase(std::string_view a, std::string_view b);
std::string AsciiUpper(std::string_view text);

using twinbook::IsValidUtf8;

// `bytes` in the named character set (a CHARSET parameter, any letter case;
// empty when none is declared), as UTF-8. Windows-1252 is read as such;
// ISO-8859-1 is read as Windows-1252, as web browsers do, because programs on
// Windows label their text ISO-8859-1 while using 0x80-0x9F for curly quotes,
// dashes and the euro sign. UTF-8, US-ASCII, an undeclared or an unknown set:
// valid UTF-8 stays as it is, and each byte that is not part of valid UTF-8
// is read as Windows-1252, which is what such stray bytes most likely are.
// The result is always valid UTF-8.
std::string TextToUtf8(std::string_view bytes, std::string_view charset);

// Quoted-printable decoding: "=XX" is the byte XX; "=" before a line end is a
// soft line break and disappears; any other "=" stays as it is.
std::string DecodeQuotedPrintable(std::string_view text);

// Backslash escapes of vCard 3.0 and 4.0 text: "\\", "\,", "\;" and a line
// end as "\n". A CR LF or a lone CR counts as one line end. The characters in
// `plain` (a semicolon, a comma) are left unescaped, for the separators of
// structured and list values.
std::string EscapeText(std::string_view text, std::string_view plain = {});
// The reverse: "\n" and "\N" give a line feed, "\\", "\,", "\;" give the
// character; a backslash before anything else stays, with that character.
std::string UnescapeText(std::string_view value);

// The parts of a structured value (N, ADR) split at the semicolons that are
// not escaped, each part unescaped.
std::vector<std::string> SplitComponents(std::string_view value);
// Parts escaped and joined with semicolons.
std::string JoinComponents(const std::vector<std::string>& parts);

// RFC 6868 escapes for parameter values, which have no other way to hold a
// double quote or a line end: "^'" is a double quote, "^n" a line feed, "^^"
// a caret.
std::string CaretEncode(std::string_view text);
std::string CaretDecode(std::string_view text);

// Appends `line` to `out` folded into physical lines of at most 75 octets
// each, line ends CR LF, continuation lines starting with one blank. A fold
// never falls inside a UTF-8 character (unless the bytes are no valid UTF-8
// for more than a whole line), nor right after a "=" (see vcard_card.cpp).
void AppendFolded(std::string& out, std::string_view line);

}  // namespace twinbook::vcard
