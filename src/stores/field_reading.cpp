#include "stores/field_reading.h"

#include <cmath>
#include <cstdio>

#include "platform/utf8_text.h"

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

}  // namespace

std::string AsUtf8(std::string text) {
  if (IsValidUtf8(text)) {
    return text;  // the usual case: no copy
  }
  return RepairUtf8(text);
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
  FieldValue value = table_.Field(column);
  if (IsNull(value)) {
    return "";
  }
  return FieldText(std::move(value));
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
    database.RequireColumn(table, column);
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
