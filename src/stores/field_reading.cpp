#include "stores/field_reading.h"

#include <cmath>
#include <cstdio>

namespace twinbook {

namespace {

// Whole doubles as plain decimal digits; others in the shortest form that
// reads back the same.
std::string DecimalText(double value) {
  if (std::isfinite(value) && value == std::floor(value) && std::fabs(value) < 1e18) {
    return std::to_string(static_cast<long long>(value));
  }
  char buffer[32];
  std::snprintf(buffer, sizeof buffer, "%.17g", value);
  return buffer;
}

// A message must stay readable whatever a cell holds: a long text is shown
// by its beginning and its length.
std::string Quoted(const std::string& text) {
  constexpr size_t kShown = 40;
  if (text.size() <= kShown + 20) {
    return "'" + text + "'";
  }
  size_t cut = kShown;
  while (cut > 0 && (static_cast<unsigned char>(text[cut]) & 0xC0) == 0x80) {
    --cut;  // never inside a character
  }
  return "'" + text.substr(0, cut) + "...' (" + std::to_string(text.size()) + " bytes)";
}

std::string Describe(const FieldValue& value) {
  if (IsNull(value)) {
    return "null";
  }
  if (const auto* text = std::get_if<std::string>(&value)) {
    return "the text " + Quoted(*text);
  }
  if (const auto* number = std::get_if<double>(&value)) {
    return "the number " + DecimalText(*number);
  }
  return "the number " + std::to_string(std::get<std::int64_t>(value));
}

// The length of the valid UTF-8 sequence at text[i], or 0 when the bytes
// there are no UTF-8 (a stray byte, a cut, overlong or surrogate sequence).
size_t Utf8SequenceLength(const std::string& text, size_t i) {
  const auto byte = [&text](size_t at) { return static_cast<unsigned char>(text[at]); };
  const unsigned char lead = byte(i);
  if (lead < 0x80) {
    return 1;
  }
  size_t length = 0;
  unsigned char low = 0x80;
  unsigned char high = 0xBF;
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3;
    low = lead == 0xE0 ? 0xA0 : 0x80;
    high = lead == 0xED ? 0x9F : 0xBF;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4;
    low = lead == 0xF0 ? 0x90 : 0x80;
    high = lead == 0xF4 ? 0x8F : 0xBF;
  } else {
    return 0;
  }
  if (i + length > text.size() || byte(i + 1) < low || byte(i + 1) > high) {
    return 0;
  }
  for (size_t k = 2; k < length; ++k) {
    if ((byte(i + k) & 0xC0) != 0x80) {
      return 0;
    }
  }
  return length;
}

void AppendUtf8(std::string& out, char32_t c) {
  if (c < 0x80) {
    out += static_cast<char>(c);
  } else if (c < 0x800) {
    out += static_cast<char>(0xC0 | (c >> 6));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else {
    out += static_cast<char>(0xE0 | (c >> 12));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  }
}

// Windows-1252 at 0x80 to 0x9F; its five unassigned bytes keep their code as
// a control character, so that no byte is lost.
constexpr char16_t kWindows1252High[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

}  // namespace

std::string AsUtf8(std::string text) {
  size_t i = 0;
  while (i < text.size()) {
    const size_t length = Utf8SequenceLength(text, i);
    if (length == 0) {
      break;
    }
    i += length;
  }
  if (i == text.size()) {
    return text;  // the usual case: valid already
  }
  std::string out = text.substr(0, i);
  while (i < text.size()) {
    const size_t length = Utf8SequenceLength(text, i);
    if (length > 0) {
      out.append(text, i, length);
      i += length;
      continue;
    }
    const auto byte = static_cast<unsigned char>(text[i++]);
    AppendUtf8(out, byte >= 0x80 && byte < 0xA0 ? kWindows1252High[byte - 0x80] : byte);
  }
  return out;
}

void RowReader::Fail(const std::string& column, const std::string& problem) const {
  throw DatabaseError("Row " + std::to_string(row_) + " of table " + tableName_ + " in " + path_ +
                      ": column " + column + " " + problem);
}

std::string RowReader::WholeNumber(const std::string& column) const {
  FieldValue value = table_.Field(column);
  if (const auto* integer = std::get_if<std::int64_t>(&value)) {
    return std::to_string(*integer);
  }
  if (const auto* real = std::get_if<double>(&value)) {
    if (std::isfinite(*real) && *real == std::floor(*real) && std::fabs(*real) < 1e18) {
      return std::to_string(static_cast<long long>(*real));
    }
  }
  Fail(column, "holds " + Describe(value) + " where a whole number belongs");
}

std::string RowReader::ContactID(const std::string& column) const {
  std::string id = WholeNumber(column);
  if (!IsCanonicalContactID(id)) {
    Fail(column, "holds " + id + " where a positive contact ID belongs");
  }
  return id;
}

bool RowReader::IsNullAt(const std::string& column) const {
  return IsNull(table_.Field(column));
}

std::string RowReader::Text(const std::string& column) const {
  FieldValue value = table_.Field(column);
  if (IsNull(value)) {
    Fail(column, "is null where a text belongs");
  }
  return FieldText(std::move(value));
}

std::string RowReader::TextOrEmpty(const std::string& column) const {
  if (IsNull(table_.Field(column))) {
    return "";
  }
  return Text(column);
}

std::string FieldText(FieldValue value) {
  if (auto* text = std::get_if<std::string>(&value)) {
    return AsUtf8(std::move(*text));
  }
  if (const auto* real = std::get_if<double>(&value)) {
    return DecimalText(*real);
  }
  if (const auto* whole = std::get_if<std::int64_t>(&value)) {
    return std::to_string(*whole);
  }
  return "";
}

void RequireColumns(Database& database, const std::string& table,
                    std::initializer_list<const char*> columns) {
  for (const char* column : columns) {
    // Opening a cursor restricted by a column checks that the column exists,
    // whether or not the table has rows.
    database.OpenTableWhere(table, column, FieldValue{});
  }
}

bool IsCanonicalContactID(const std::string& id) {
  if (id.empty() || id.size() > 18 || id[0] == '0') {
    return false;
  }
  for (char c : id) {
    if (c < '0' || c > '9') {
      return false;
    }
  }
  return true;
}

}  // namespace twinbook
