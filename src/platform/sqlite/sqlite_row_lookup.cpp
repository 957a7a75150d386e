#include "platform/sqlite/sqlite_row_lookup.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <functional>
#include <string_view>

#include "platform/sqlite/sqlite_connection.h"
#include "platform/sqlite/sqlite_table.h"

namespace twinbook {

namespace {

// Spreads the bits of `x` over the whole key (splitmix64's finaliser).
LookupKey Mix(std::uint64_t x) {
  x ^= x >> 30;
  x *= 0xbf58476d1ce4e5b9ULL;
  x ^= x >> 27;
  x *= 0x94d049bb133111ebULL;
  return x ^ (x >> 31);
}

constexpr std::uint64_t kNullTag = 0x6e756c6cULL;
constexpr std::uint64_t kNumberTag = 0x6e756d62ULL;
constexpr std::uint64_t kTextTag = 0x74657874ULL;

// Whole numbers and reals compare by value (7 IS 7.0), so both are keyed by
// their value as a real: equal values give equal reals (different whole
// numbers beyond 2^53 may too, which only makes more candidates).
LookupKey NumberKey(double number) {
  if (number == 0) {
    number = 0;  // -0.0 IS 0.0
  }
  std::uint64_t bits = 0;
  std::memcpy(&bits, &number, sizeof bits);
  return Mix(bits ^ kNumberTag);
}

LookupKey TextKey(std::string_view text) {
  return Mix(std::hash<std::string_view>{}(text) ^ kTextTag);
}

size_t IndexOf(const SqliteTableShape& shape, const std::string& column) {
  for (size_t i = 0; i < shape.columns.size(); ++i) {
    if (SameIdentifier(shape.columns[i].name, column)) {
      return i;
    }
  }
  return shape.columns.size();
}

// The single number a one-row, one-column query returns; `otherwise` when it
// returns no row.
std::int64_t QueryNumber(SqliteConnection& connection, const std::string& sql,
                         std::int64_t otherwise) {
  const std::string context = "Cannot read the layout of " + connection.path();
  sqlite3_stmt* statement = connection.Cached(sql, context);
  const int rc = sqlite3_step(statement);
  const std::int64_t value = rc == SQLITE_ROW ? sqlite3_column_int64(statement, 0) : otherwise;
  const std::string error = connection.LastError();
  sqlite3_reset(statement);
  if (rc != SQLITE_ROW && rc != SQLITE_DONE) {
    throw DatabaseError(context + ": " + error);
  }
  return value;
}

}  // namespace

bool KeyOfStored(sqlite3_stmt* statement, int index, LookupKey& key) {
  switch (sqlite3_column_type(statement, index)) {
    case SQLITE_INTEGER:
      key = NumberKey(static_cast<double>(sqlite3_column_int64(statement, index)));
      return true;
    case SQLITE_FLOAT:
      key = NumberKey(sqlite3_column_double(statement, index));
      return true;
    case SQLITE_NULL:
      key = Mix(kNullTag);
      return true;
    case SQLITE_TEXT: {
      const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(statement, index));
      const auto size = static_cast<size_t>(sqlite3_column_bytes(statement, index));
      key = TextKey(std::string_view(text == nullptr ? "" : text, size));
      return true;
    }
    default:
      return false;  // a blob: no FieldValue compares equal to one
  }
}

LookupKey KeyOfCompared(const FieldValue& value) {
  if (const auto* whole = std::get_if<std::int64_t>(&value)) {
    return NumberKey(static_cast<double>(*whole));
  }
  if (const auto* real = std::get_if<double>(&value)) {
    return std::isnan(*real) ? Mix(kNullTag) : NumberKey(*real);
  }
  if (const auto* text = std::get_if<std::string>(&value)) {
    return TextKey(*text);
  }
  return Mix(kNullTag);
}

const std::vector<std::int64_t>* ColumnRows::Rows(LookupKey key) const {
  auto found = rows_.find(key);
  return found == rows_.end() ? nullptr : &found->second;
}

void ColumnRows::Add(LookupKey key, std::int64_t rowid) {
  std::vector<std::int64_t>& rows = rows_[key];
  if (rows.empty() || rows.back() < rowid) {
    rows.push_back(rowid);  // the usual case: filed in rowid order
    return;
  }
  auto place = std::lower_bound(rows.begin(), rows.end(), rowid);
  if (*place != rowid) {
    rows.insert(place, rowid);
  }
}

void ColumnRows::Remove(LookupKey key, std::int64_t rowid) {
  auto found = rows_.find(key);
  if (found == rows_.end()) {
    return;
  }
  std::vector<std::int64_t>& rows = found->second;
  auto place = std::lower_bound(rows.begin(), rows.end(), rowid);
  if (place != rows.end() && *place == rowid) {
    rows.erase(place);
  }
  if (rows.empty()) {
    rows_.erase(found);
  }
}

std::string RowLookups::KeyOf(const std::string& table, const std::string& column) {
  std::string key;
  for (char c : table + '\0' + column) {
    key += (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
  }
  return key;
}

void RowLookups::NoteOpened(const std::string& table, const std::string& column) {
  Filing& filing = filings_[KeyOf(table, column)];
  if (filing.table.empty()) {
    filing.table = table;
    filing.column = column;
  }
  ++filing.opened;
}

void RowLookups::Drop(Filing& filing) {
  filing.rows.reset();
  filing.opened = 0;
}

void RowLookups::DropAll() {
  for (auto& [key, filing] : filings_) {
    Drop(filing);
  }
}

void RowLookups::CheckDataVersion() {
  const std::int64_t version = QueryNumber(connection_, "PRAGMA data_version", -1);
  if (version != dataVersion_) {
    // Another connection has committed: rows may have changed unseen, and
    // so may the tables' layout.
    for (auto& [key, filing] : filings_) {
      Drop(filing);
      filing.checked = false;
    }
    dataVersion_ = version;
  }
}

bool RowLookups::Usable(const Filing& filing) {
  sqlite3* db = connection_.handle();
  const char* collation = nullptr;
  int notNull = 0;
  int primaryKey = 0;
  int autoIncrement = 0;
  if (sqlite3_table_column_metadata(db, "main", filing.table.c_str(), filing.column.c_str(),
                                    nullptr, &collation, &notNull, &primaryKey,
                                    &autoIncrement) != SQLITE_OK) {
    return false;
  }
  if (primaryKey != 0 || collation == nullptr || sqlite3_stricmp(collation, "BINARY") != 0) {
    return false;  // a key has an index of its own; other collations match other bytes
  }
  sqlite3_stmt* indexed = connection_.Cached(
      "SELECT 1 FROM pragma_index_list(?1, 'main') AS l, pragma_index_info(l.name, 'main') AS i "
      "WHERE i.seqno = 0 AND i.name = ?2 COLLATE NOCASE AND l.partial = 0",
      "Cannot read the indexes of " + connection_.path());
  BindValue(indexed, 1, filing.table);
  BindValue(indexed, 2, filing.column);
  const int rc = sqlite3_step(indexed);
  const std::string error = connection_.LastError();
  sqlite3_reset(indexed);
  if (rc != SQLITE_ROW && rc != SQLITE_DONE) {
    throw DatabaseError("Cannot read the indexes of " + connection_.path() + ": " + error);
  }
  if (rc == SQLITE_ROW) {
    return false;  // SQLite finds the rows through the index
  }
  return QueryNumber(connection_,
                     "SELECT 1 FROM main.sqlite_schema WHERE type = 'trigger' UNION ALL "
                     "SELECT 1 FROM temp.sqlite_schema WHERE type = 'trigger'",
                     0) == 0 &&
         QueryNumber(connection_, "PRAGMA foreign_keys", 0) == 0 &&
         QueryNumber(connection_, "SELECT encoding = 'UTF-8' FROM pragma_encoding", 0) == 1;
}

std::string RowLookups::Select(const Filing& filing, const SqliteTableShape& shape) const {
  return "SELECT " + shape.rowidName + ", " + QuoteIdentifier(filing.column) + " FROM \"main\"." +
         QuoteIdentifier(filing.table);
}

void RowLookups::Build(Filing& filing, const SqliteTableShape& shape) {
  auto rows = std::make_unique<ColumnRows>();
  const std::string context = "Cannot read table " + filing.table + " of " + connection_.path();
  SqliteStatement scan = connection_.Prepare(Select(filing, shape), context);
  int rc;
  while ((rc = sqlite3_step(scan.get())) == SQLITE_ROW) {
    LookupKey key = 0;
    if (KeyOfStored(scan.get(), 1, key)) {
      rows->Add(key, sqlite3_column_int64(scan.get(), 0));
    }
  }
  if (rc != SQLITE_DONE) {
    throw DatabaseError(context + ": " + connection_.LastError());
  }
  filing.rows = std::move(rows);
}

const ColumnRows* RowLookups::Find(const std::string& table, const SqliteTableShape& shape,
                                   const std::string& column) {
  auto found = filings_.find(KeyOf(table, column));
  if (found == filings_.end()) {
    return nullptr;
  }
  Filing& filing = found->second;
  if (!filing.rows && filing.opened < 2) {
    return nullptr;  // one look is as quick through SQLite as reading the column
  }
  // Read before the rows are: a commit between the two is then seen on the
  // next Find, never missed.
  CheckDataVersion();
  if (!filing.rows && filing.opened >= 2) {
    if (!filing.checked) {
      filing.usable = Usable(filing);
      filing.checked = true;
    }
    if (filing.usable) {
      Build(filing, shape);
    }
  }
  return filing.rows.get();
}

FieldValue RowLookups::ComparedAs(const SqliteTableShape& shape, const std::string& column,
                                  const FieldValue& value) {
  if (const auto* real = std::get_if<double>(&value); real != nullptr && std::isnan(*real)) {
    return std::monostate{};  // SQLite binds NaN as null
  }
  const size_t index = IndexOf(shape, column);
  if (index == shape.columns.size()) {
    return value;
  }
  switch (shape.columns[index].affinity) {
    case ColumnAffinity::Integer:
    case ColumnAffinity::Real:
    case ColumnAffinity::Numeric:
      if (const auto* text = std::get_if<std::string>(&value)) {
        if (std::optional<FieldValue> number = connection_.TextAsNumber(*text)) {
          return *number;
        }
      }
      return value;
    case ColumnAffinity::Text:
      if (std::holds_alternative<std::int64_t>(value) || std::holds_alternative<double>(value)) {
        return connection_.NumberAsText(value);
      }
      return value;
    case ColumnAffinity::AsGiven:
    case ColumnAffinity::BlobOnly:
      return value;
  }
  return value;
}

void RowLookups::WriteStarting() {
  totalChanges_ = sqlite3_total_changes64(connection_.handle());
}

void RowLookups::FileRow(Filing& filing, const SqliteTableShape& shape, std::int64_t rowid) {
  sqlite3_stmt* statement = nullptr;
  try {
    statement = connection_.Cached(Select(filing, shape) + " WHERE " + shape.rowidName + " = ?1",
                                   "Cannot read table " + filing.table);
  } catch (const DatabaseError&) {
    Drop(filing);
    return;
  }
  sqlite3_bind_int64(statement, 1, rowid);
  const int rc = sqlite3_step(statement);
  LookupKey key = 0;
  const bool keyed = rc == SQLITE_ROW && KeyOfStored(statement, 1, key);
  sqlite3_reset(statement);
  if (rc != SQLITE_ROW && rc != SQLITE_DONE) {
    Drop(filing);  // unknown, so no longer trusted; the next cursors ask SQLite
  } else if (keyed) {
    filing.rows->Add(key, rowid);
  }
}

void RowLookups::WriteDone(const std::string& table, const SqliteTableShape& shape, int rc,
                           Write write, std::int64_t rowid, const std::vector<FieldValue>* before) {
  sqlite3* db = connection_.handle();
  const std::int64_t made = sqlite3_total_changes64(db) - totalChanges_;
  for (auto& [key, filing] : filings_) {
    if (!filing.rows || !SameIdentifier(filing.table, table)) {
      continue;
    }
    if (rc != SQLITE_DONE || made > 1 || made != sqlite3_changes64(db)) {
      Drop(filing);  // failed, or changed rows it did not name
      continue;
    }
    if (made == 0) {
      continue;
    }
    const size_t index = IndexOf(shape, filing.column);
    if (before != nullptr && index < before->size()) {
      filing.rows->Remove(KeyOfCompared((*before)[index]), rowid);
    }
    if (write == Write::Insert) {
      FileRow(filing, shape, sqlite3_last_insert_rowid(db));
    } else if (write == Write::Update) {
      FileRow(filing, shape, rowid);
    }
  }
}

}  // namespace twinbook
