#include "platform/vcard/vcard_text.h"

#include <algorithm>
#include <array>

#include "platform/utf8_text.h"

namespace twinbook::vcard {

namespace {

char AsciiUpperChar(char c) {
  return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 32) : c;
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9') {
    return c - '0';
  }
  if (c >= 'A' && c <= 'F') {
    return c - 'A' + 10;
  }
  if (c >= 'a' && c <= 'f') {
    return c - 'a' + 10;
  }
  return -1;
}

}  // namespace

bool EqualsIgnoringCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) {
    return false;
  }
  for (size_t i = 0; i < a.size(); ++i) {
    if (AsciiUpperChar(a[i]) != AsciiUpperChar(b[i])) {
      return false;
    }
  }
  return true;
}

std::string AsciiUpper(std::string_view text) {
  std::string out(text);
  for (char& c : out) {
    c = AsciiUpperChar(c);
  }
  return out;
}

std::string TextToUtf8(std::string_view bytes, std::string_view charset) {
  if (EqualsIgnoringCase(charset, "WINDOWS-1252") || EqualsIgnoringCase(charset, "CP1252") ||
      EqualsIgnoringCase(charset, "ISO-8859-1") || EqualsIgnoringCase(charset, "ISO8859-1") ||
      EqualsIgnoringCase(charset, "ISO_8859-1") || EqualsIgnoringCase(charset, "LATIN1")) {
    std::string out;
    out.reserve(bytes.size() + bytes.size() / 4);
    for (char c : bytes) {
      AppendWindows1252(out, static_cast<unsigned char>(c));
    }
    return out;
  }
  return RepairUtf8(bytes);
}

std::string DecodeQuotedPrintable(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  size_t i = 0;
  while (i < text.size()) {
    if (text[i] != '=') {
      out += text[i++];
      continue;
    }
    if (i + 1 == text.size()) {
      break;  // a soft line break with nothing after it
    }
    if (text[i + 1] == '\n') {
      i += 2;
      continue;
    }
    if (i + 2 < text.size() && text[i + 1] == '\r' && text[i + 2] == '\n') {
      i += 3;
      continue;
    }
    if (i + 2 < text.size()) {
      const int high = HexDigit(text[i + 1]);
      const int low = HexDigit(text[i + 2]);
      if (high >= 0 && low >= 0) {
        out += static_cast<char>(high * 16 + low);
        i += 3;
        continue;
      }
    }
    out += text[i++];
  }
  return out;
}

std::string EscapeText(std::string_view text, std::string_view plain) {
  std::string out;
  out.reserve(text.size() + 8);
  for (size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (plain.find(c) != std::string_view::npos) {
      out += c;
      continue;
    }
    switch (c) {
      case '\\':
        out += "\\\\";
        break;
      case ',':
        out += "\\,";
        break;
      case ';':
        out += "\\;";
        break;
      case '\r':
        if (i + 1 < text.size() && text[i + 1] == '\n') {
          ++i;
        }
        out += "\\n";
        break;
      case '\n':
        out += "\\n";
        break;
      default:
        out += c;
    }
  }
  return out;
}

std::string UnescapeText(std::string_view value) {
  std::string out;
  out.reserve(value.size());
  for (size_t i = 0; i < value.size(); ++i) {
    const char c = value[i];
    if (c != '\\' || i + 1 == value.size()) {
      out += c;
      continue;
    }
    const char next = value[i + 1];
    if (next == 'n' || next == 'N') {
      out += '\n';
    } else if (next == '\\' || next == ',' || next == ';') {
      out += next;
    } else {
      out += c;
      out += next;
    }
    ++i;
  }
  return out;
}

std::vector<std::string> SplitComponents(std::string_view value) {
  std::vector<std::string> parts;
  size_t start = 0;
  for (size_t i = 0; i < value.size(); ++i) {
    if (value[i] == '\\') {
      ++i;  // whatever follows is escaped
    } else if (value[i] == ';') {
      parts.push_back(UnescapeText(value.substr(start, i - start)));
      start = i + 1;
    }
  }
  parts.push_back(UnescapeText(value.substr(std::min(start, value.size()))));
  return parts;
}

std::string JoinComponents(const std::vector<std::string>& parts) {
  std::string out;
  for (size_t i = 0; i < parts.size(); ++i) {
    if (i > 0) {
      out += ';';
    }
    out += EscapeText(parts[i]);
  }
  return out;
}

std::string CaretEncode(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (c == '^') {
      out += "^^";
    } else if (c == '"') {
      out += "^'";
    } else if (c == '\r' || c == '\n') {
      if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') {
        ++i;
      }
      out += "^n";
    } else if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) {
      // No escape exists for other control characters; they carry nothing.
    } else {
      out += c;
    }
  }
  return out;
}

std::string CaretDecode(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '^' && i + 1 < text.size()) {
      const char next = text[i + 1];
      if (next == '^' || next == '\'' || next == 'n') {
        out += next == '^' ? '^' : next == '\'' ? '"' : '\n';
        ++i;
        continue;
      }
    }
    out += text[i];
  }
  return out;
}

void AppendFolded(std::string& out, std::string_view line) {
  constexpr size_t kMaxOctets = 75;
  size_t pos = 0;
  bool first = true;
  do {
    const size_t room = first ? kMaxOctets : kMaxOctets - 1;
    size_t end = std::min(line.size(), pos + room);
    if (end < line.size()) {
      size_t cut = end;
      while (cut > pos && (static_cast<unsigned char>(line[cut]) & 0xC0) == 0x80) {
        --cut;
      }
      if (cut > pos) {
        end = cut;
      }
      // A physical line ending in "=" reads as a quoted-printable soft line
      // break in a line that declares that encoding; fold before it instead.
      while (end - 1 > pos && line[end - 1] == '=') {
        --end;
      }
    }
    if (!first) {
      out += ' ';
    }
    out.append(line.substr(pos, end - pos));
    out += "\r\n";
    pos = end;
    first = false;
  } while (pos < line.size());
}

}  // namespace twinbook::vcard
