#include "platform/sqlite/sqlite_table.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace twinbook {

namespace {

constexpr std::int64_t kSmallestRowid = std::numeric_limits<std::int64_t>::min();
constexpr std::int64_t kLargestRowid = std::numeric_limits<std::int64_t>::max();

std::string Upper(std::string text) {
  for (char& c : text) {
    if (c >= 'a' && c <= 'z') {
      c = static_cast<char>(c - 'a' + 'A');
    }
  }
  return text;
}

bool Contains(const std::string& text, const char* part) {
  return text.find(part) != std::string::npos;
}

// A real that is exactly a whole number within range becomes that number,
// under the same bounds SQLite uses when it stores a real as an integer.
std::optional<std::int64_t> ExactWholeNumber(double real) {
  if (!(real > -9223372036854775808.0 && real < 9223372036854775808.0)) {
    return std::nullopt;
  }
  const auto whole = static_cast<std::int64_t>(real);
  if (static_cast<double>(whole) != real || whole == kSmallestRowid || whole == kLargestRowid) {
    return std::nullopt;
  }
  return whole;
}

std::string ColumnText(sqlite3_stmt* statement, int index) {
  const auto* text = sqlite3_column_text(statement, index);
  return text != nullptr ? reinterpret_cast<const char*>(text) : "";
}

}  // namespace

ColumnAffinity AffinityOf(const std::string& declaredType, bool strictTable) {
  const std::string type = Upper(declaredType);
  if (strictTable && type == "ANY") {
    return ColumnAffinity::AsGiven;
  }
  if (strictTable && type == "BLOB") {
    return ColumnAffinity::BlobOnly;
  }
  // SQLite's rules, in its order: the first that matches decides.
  if (Contains(type, "INT")) {
    return ColumnAffinity::Integer;
  }
  if (Contains(type, "CHAR") || Contains(type, "CLOB") || Contains(type, "TEXT")) {
    return ColumnAffinity::Text;
  }
  if (type.empty() || Contains(type, "BLOB")) {
    return ColumnAffinity::AsGiven;
  }
  if (Contains(type, "REAL") || Contains(type, "FLOA") || Contains(type, "DOUB")) {
    return ColumnAffinity::Real;
  }
  return ColumnAffinity::Numeric;
}

std::optional<FieldValue> ConvertForColumn(SqliteConnection& connection, const SqliteColumn& column,
                                           const FieldValue& value) {
  if (IsNull(value)) {
    return column.notNull ? std::nullopt : std::optional<FieldValue>(value);
  }
  if (const auto* real = std::get_if<double>(&value); real != nullptr && std::isnan(*real)) {
    return std::nullopt;  // SQLite would quietly store it as null
  }
  switch (column.affinity) {
    case ColumnAffinity::AsGiven:
      return value;
    case ColumnAffinity::BlobOnly:
      return std::nullopt;
    case ColumnAffinity::Text:
      if (std::holds_alternative<std::string>(value)) {
        return value;
      }
      return connection.NumberAsText(value);
    case ColumnAffinity::Integer:
    case ColumnAffinity::Real:
    case ColumnAffinity::Numeric:
      break;
  }
  FieldValue number = value;
  if (const auto* text = std::get_if<std::string>(&value)) {
    std::optional<FieldValue> parsed = connection.TextAsNumber(*text);
    if (!parsed) {
      if (column.affinity == ColumnAffinity::Numeric) {
        return value;
      }
      return std::nullopt;
    }
    number = *parsed;
  }
  if (column.affinity == ColumnAffinity::Real) {
    if (const auto* whole = std::get_if<std::int64_t>(&number)) {
      return static_cast<double>(*whole);
    }
    return number;
  }
  if (const auto* real = std::get_if<double>(&number)) {
    if (std::optional<std::int64_t> whole = ExactWholeNumber(*real)) {
      return *whole;
    }
    if (column.affinity == ColumnAffinity::Numeric) {
      return number;
    }
    return std::nullopt;
  }
  return number;
}

SqliteTable::SqliteTable(std::shared_ptr<SqliteConnection> connection, const std::string& table,
                         std::optional<Filter> filter)
    : connection_(std::move(connection)),
      table_(table),
      from_("\"main\"." + QuoteIdentifier(table)) {
  LoadShape();
  PrepareStatements(filter);
  row_.resize(shape_->columns.size());
  // A cursor opens on the first row, as the callers' loops expect.
  MoveFirst();
}

SqliteTable::SqliteTable(std::shared_ptr<SqliteConnection> connection, const std::string& table,
                         ShapeOnly)
    : connection_(std::move(connection)),
      table_(table),
      from_("\"main\"." + QuoteIdentifier(table)) {
  LoadShape();
}

void SqliteTable::RequireColumn(std::shared_ptr<SqliteConnection> connection,
                                const std::string& table, const std::string& column) {
  const SqliteTable shape(std::move(connection), table, ShapeOnly{});
  shape.ColumnIndex(column);
}

SqliteTable::~SqliteTable() {
  for (Statement* statement : {&forward_, &backward_, &byRowid_, &any_, &holds_}) {
    connection_->GiveBack(statement->sql, std::move(statement->statement));
  }
}

std::string SqliteTable::Where() const {
  return "table " + table_ + " of " + connection_->path();
}

void SqliteTable::LoadShape() {
  const std::int64_t version = connection_->SchemaVersion();
  shape_ = connection_->KeptShape(table_);
  if (shape_ && shape_->schemaVersion == version) {
    return;
  }
  auto shape = std::make_shared<SqliteTableShape>();
  shape->schemaVersion = version;
  const std::string& path = connection_->path();
  const std::string context = "Cannot read the columns of " + Where();
  bool strict = false;
  {
    SqliteStatement lookup = connection_->Prepare(
        "SELECT type, wr, strict FROM pragma_table_list WHERE schema = 'main' AND name = ?1 "
        "COLLATE NOCASE",
        context);
    BindValue(lookup.get(), 1, table_);
    const int rc = sqlite3_step(lookup.get());
    if (rc == SQLITE_ROW && ColumnText(lookup.get(), 0) == "table") {
      if (sqlite3_column_int(lookup.get(), 1) != 0) {
        throw DatabaseError("Table " + table_ + " of " + path +
                            " cannot be walked in stored order: it is declared WITHOUT ROWID");
      }
      strict = sqlite3_column_int(lookup.get(), 2) != 0;
    } else if (rc == SQLITE_ROW || rc == SQLITE_DONE) {
      throw DatabaseError("The database " + path + " has no table " + table_);
    } else {
      throw DatabaseError(context + ": " + connection_->LastError());
    }
  }
  SqliteStatement info = connection_->Prepare(
      "SELECT name, type, \"notnull\", dflt_value, hidden FROM pragma_table_xinfo(?1, 'main')",
      context);
  BindValue(info.get(), 1, table_);
  int rc;
  while ((rc = sqlite3_step(info.get())) == SQLITE_ROW) {
    SqliteColumn column;
    column.name = ColumnText(info.get(), 0);
    column.affinity = AffinityOf(ColumnText(info.get(), 1), strict);
    column.notNull = sqlite3_column_int(info.get(), 2) != 0;
    if (sqlite3_column_type(info.get(), 3) != SQLITE_NULL) {
      column.defaultSql = ColumnText(info.get(), 3);
    }
    const int hidden = sqlite3_column_int(info.get(), 4);
    if (hidden == 1) {
      continue;  // hidden columns of virtual tables are not part of a row
    }
    column.writable = hidden == 0;
    shape->columns.push_back(std::move(column));
  }
  if (rc != SQLITE_DONE) {
    throw DatabaseError(context + ": " + connection_->LastError());
  }
  // A column may itself be called rowid; SQLite then offers two other names.
  for (const char* name : {"rowid", "_rowid_", "oid"}) {
    bool taken = false;
    for (const SqliteColumn& column : shape->columns) {
      taken = taken || SameIdentifier(column.name, name);
    }
    if (!taken) {
      shape->rowidName = name;
      connection_->KeepShape(table_, shape);
      shape_ = std::move(shape);
      return;
    }
  }
  throw DatabaseError("Table " + table_ + " of " + path +
                      " cannot be walked in stored order: its columns hide the row id");
}

void SqliteTable::PrepareStatements(const std::optional<Filter>& filter) {
  std::string columns = shape_->rowidName;
  for (const SqliteColumn& column : shape_->columns) {
    columns += ", " + QuoteIdentifier(column.name);
  }
  std::string condition;
  if (filter) {
    const size_t index = ColumnIndex(filter->column);
    // IS rather than =, so a null filter value finds the rows holding null.
    condition = " AND " + QuoteIdentifier(shape_->columns[index].name) + " IS ?2";
  }
  const std::string select = "SELECT " + columns + " FROM " + from_ + " WHERE ";
  const std::string& rowid = shape_->rowidName;
  forward_.sql = select + rowid + " >= ?1" + condition + " ORDER BY " + rowid;
  backward_.sql = select + rowid + " <= ?1" + condition + " ORDER BY " + rowid + " DESC";
  byRowid_.sql = select + rowid + " = ?1";
  any_.sql = "SELECT 1 FROM " + from_ + " WHERE 1" + condition + " LIMIT 1";
  const std::string context = "Cannot read " + Where();
  for (Statement* statement : {&forward_, &backward_, &byRowid_, &any_}) {
    statement->statement = connection_->Take(statement->sql, context);
  }
  if (filter) {
    holds_.sql = select + rowid + " = ?1" + condition;
    holds_.statement = connection_->Take(holds_.sql, context);
    // Bindings outlive resets: the filter value is bound once.
    for (sqlite3_stmt* statement : {forward_.get(), backward_.get(), any_.get(), holds_.get()}) {
      BindValue(statement, 2, filter->value);
    }
    filterColumn_ = shape_->columns[ColumnIndex(filter->column)].name;
    RowLookups& lookups = connection_->lookups();
    filterKey_ = KeyOfCompared(lookups.ComparedAs(*shape_, *filterColumn_, filter->value));
    lookups.NoteOpened(table_, *filterColumn_);
  }
}

size_t SqliteTable::ColumnIndex(const std::string& column) const {
  for (size_t i = 0; i < shape_->columns.size(); ++i) {
    if (SameIdentifier(shape_->columns[i].name, column)) {
      return i;
    }
  }
  throw DatabaseError("Table " + table_ + " of " + connection_->path() + " has no column " +
                      column);
}

void SqliteTable::RequireRow() const {
  if (eof_ || bof_) {
    throw DatabaseError("There is no current row in " + Where());
  }
  if (deleted_) {
    throw DatabaseError("The current row (row id " + std::to_string(rowid_) + ") of " + Where() +
                        " has been deleted");
  }
}

sqlite3_stmt* SqliteTable::WalkStatement(Walk walk) const {
  return walk == Walk::Forward ? forward_.get() : backward_.get();
}

bool SqliteTable::CanContinue(Walk walk) const {
  // A write anywhere in this process may have added, changed or removed the
  // row the statement would step to; and the first write on this connection
  // ends every statement reading (SqliteConnection::BeginWrite).
  return walk_ == walk && walkChanges_ == CommittedChangeCount() &&
         sqlite3_stmt_busy(WalkStatement(walk));
}

void SqliteTable::StopWalk() {
  if (walk_ != Walk::None) {
    sqlite3_reset(WalkStatement(walk_));
    walk_ = Walk::None;
  }
}

bool SqliteTable::FiledRows(const std::vector<std::int64_t>*& rows) {
  if (!filterColumn_) {
    return false;
  }
  const ColumnRows* filed = connection_->lookups().Find(table_, *shape_, *filterColumn_);
  if (filed == nullptr) {
    return false;
  }
  rows = filed->Rows(filterKey_);
  return true;
}

bool SqliteTable::Holds(std::int64_t rowid, bool arrive) {
  sqlite3_stmt* statement = holds_.get();
  sqlite3_bind_int64(statement, 1, rowid);
  const int rc = sqlite3_step(statement);
  if (rc == SQLITE_ROW && arrive) {
    rowid_ = rowid;
    for (size_t i = 0; i < row_.size(); ++i) {
      ReadColumnInto(statement, static_cast<int>(i + 1), row_[i]);
    }
  }
  const std::string error = connection_->LastError();
  sqlite3_reset(statement);
  if (rc != SQLITE_ROW && rc != SQLITE_DONE) {
    throw DatabaseError("Cannot read " + Where() + ": " + error);
  }
  return rc == SQLITE_ROW;
}

bool SqliteTable::SeekFiled(const std::vector<std::int64_t>* rows, Walk walk, std::int64_t bound) {
  if (rows == nullptr) {
    return false;
  }
  // A filed row that no longer holds the value (or no longer exists) is
  // passed over, as the query would pass it over.
  if (walk == Walk::Forward) {
    for (auto it = std::lower_bound(rows->begin(), rows->end(), bound); it != rows->end(); ++it) {
      if (Holds(*it, true)) {
        return true;
      }
    }
  } else {
    for (auto it = std::upper_bound(rows->begin(), rows->end(), bound); it != rows->begin();) {
      if (Holds(*--it, true)) {
        return true;
      }
    }
  }
  return false;
}

bool SqliteTable::Seek(Walk walk, std::int64_t bound) {
  StopWalk();
  if (const std::vector<std::int64_t>* rows = nullptr; FiledRows(rows)) {
    return SeekFiled(rows, walk, bound);
  }
  sqlite3_stmt* statement = WalkStatement(walk);
  sqlite3_bind_int64(statement, 1, bound);
  walk_ = walk;
  walkChanges_ = CommittedChangeCount();
  return Step();
}

bool SqliteTable::Step() {
  sqlite3_stmt* statement = WalkStatement(walk_);
  const int rc = sqlite3_step(statement);
  if (rc == SQLITE_ROW) {
    rowid_ = sqlite3_column_int64(statement, 0);
    for (size_t i = 0; i < row_.size(); ++i) {
      ReadColumnInto(statement, static_cast<int>(i + 1), row_[i]);
    }
    return true;
  }
  const std::string error = connection_->LastError();
  // Ending the statement ends its read, so other programs are not held up.
  StopWalk();
  if (rc == SQLITE_DONE) {
    return false;
  }
  throw DatabaseError("Cannot read " + Where() + ": " + error);
}

bool SqliteTable::IsEmpty() {
  if (const std::vector<std::int64_t>* rows = nullptr; FiledRows(rows)) {
    if (rows != nullptr) {
      for (std::int64_t rowid : *rows) {
        if (Holds(rowid, false)) {
          return false;
        }
      }
    }
    return true;
  }
  const int rc = sqlite3_step(any_.get());
  const std::string error = connection_->LastError();
  sqlite3_reset(any_.get());
  if (rc != SQLITE_ROW && rc != SQLITE_DONE) {
    throw DatabaseError("Cannot read " + Where() + ": " + error);
  }
  return rc == SQLITE_DONE;
}

void SqliteTable::Arrive(bool found, Walk walk) {
  deleted_ = false;
  if (found) {
    eof_ = false;
    bof_ = false;
  } else if (walk == Walk::Forward) {
    eof_ = true;
    bof_ = IsEmpty();
  } else {
    bof_ = true;
    eof_ = IsEmpty();
  }
}

void SqliteTable::MoveFirst() {
  mode_ = Mode::None;
  deleted_ = false;
  eof_ = bof_ = !Seek(Walk::Forward, kSmallestRowid);
}

void SqliteTable::MoveLast() {
  mode_ = Mode::None;
  deleted_ = false;
  eof_ = bof_ = !Seek(Walk::Backward, kLargestRowid);
}

void SqliteTable::MoveNext() {
  if (eof_) {
    throw DatabaseError("Cannot move past the end of " + Where());
  }
  mode_ = Mode::None;
  bool found;
  if (bof_) {
    found = Seek(Walk::Forward, kSmallestRowid);
  } else if (CanContinue(Walk::Forward)) {
    found = Step();
  } else {
    found = rowid_ != kLargestRowid && Seek(Walk::Forward, rowid_ + 1);
  }
  Arrive(found, Walk::Forward);
}

void SqliteTable::MovePrevious() {
  if (bof_) {
    throw DatabaseError("Cannot move before the start of " + Where());
  }
  mode_ = Mode::None;
  bool found;
  if (eof_) {
    found = Seek(Walk::Backward, kLargestRowid);
  } else if (CanContinue(Walk::Backward)) {
    found = Step();
  } else {
    found = rowid_ != kSmallestRowid && Seek(Walk::Backward, rowid_ - 1);
  }
  Arrive(found, Walk::Backward);
}

FieldValue SqliteTable::DefaultValue(size_t index) const {
  const SqliteColumn& column = shape_->columns[index];
  if (!column.defaultSql) {
    return std::monostate{};
  }
  FieldValue value = connection_->Evaluate(*column.defaultSql);
  std::optional<FieldValue> stored = ConvertForColumn(*connection_, column, value);
  return stored ? *stored : value;
}

FieldValue SqliteTable::Field(const std::string& column) const {
  const size_t index = ColumnIndex(column);
  if (mode_ != Mode::None && pending_[index]) {
    return *pending_[index];
  }
  if (mode_ == Mode::Adding) {
    return DefaultValue(index);
  }
  RequireRow();
  return row_[index];
}

void SqliteTable::AddNew() {
  mode_ = Mode::Adding;
  pending_.assign(shape_->columns.size(), std::nullopt);
}

void SqliteTable::Edit() {
  RequireRow();
  mode_ = Mode::Editing;
  pending_.assign(shape_->columns.size(), std::nullopt);
}

void SqliteTable::SetField(const std::string& column, FieldValue value) {
  const size_t index = ColumnIndex(column);
  const SqliteColumn& target = shape_->columns[index];
  if (mode_ == Mode::None) {
    throw DatabaseError("Cannot set column " + target.name + " of " + Where() +
                        ": no row is being added or edited");
  }
  if (!target.writable) {
    throw DatabaseError("Column " + target.name + " of " + Where() +
                        " is computed by the database and cannot be set");
  }
  // The check is made here, not at Update(), so that a caller can skip one
  // value the column refuses and still store the rest of the row.
  std::optional<FieldValue> stored = ConvertForColumn(*connection_, target, value);
  if (!stored) {
    throw DatabaseError("Column " + target.name + " of " + Where() + " cannot take the value " +
                        DescribeValue(value));
  }
  pending_[index] = std::move(*stored);
}

void SqliteTable::Write(sqlite3_stmt* statement, const std::string& what, RowLookups::Write write) {
  StopWalk();
  connection_->BeginWrite();
  RowLookups& lookups = connection_->lookups();
  lookups.WriteStarting();
  const int rc = sqlite3_step(statement);
  const std::string error = connection_->LastError();
  sqlite3_reset(statement);
  const bool adding = write == RowLookups::Write::Insert;
  lookups.WriteDone(table_, *shape_, rc, write, adding ? 0 : rowid_, adding ? nullptr : &row_);
  connection_->EndWrite();
  if (rc != SQLITE_DONE) {
    throw DatabaseError("Cannot " + what + " in " + Where() + ": " + error);
  }
}

void SqliteTable::Update() {
  if (mode_ == Mode::None) {
    throw DatabaseError("Cannot store a row in " + Where() + ": no row is being added or edited");
  }
  // Whatever happens below, the pending row is finished with.
  const Mode mode = mode_;
  mode_ = Mode::None;
  const std::vector<std::optional<FieldValue>> pending = std::move(pending_);
  pending_.clear();

  std::vector<bool> set(pending.size());
  for (size_t i = 0; i < pending.size(); ++i) {
    set[i] = pending[i].has_value();
  }
  if (mode == Mode::Adding) {
    sqlite3_stmt* insert = WriteStatement(true, set);
    int parameter = 0;
    for (const auto& value : pending) {
      if (value) {
        BindValue(insert, ++parameter, *value);
      }
    }
    Write(insert, "add a row", RowLookups::Write::Insert);
    if (eof_ && bof_) {
      // A row added to an empty table sits past the cursor: the cursor is
      // no longer before the first row, and still past the last.
      bof_ = IsEmpty();
    }
    return;
  }

  if (std::find(set.begin(), set.end(), true) != set.end()) {
    sqlite3_stmt* update = WriteStatement(false, set);
    int parameter = 0;
    for (const auto& value : pending) {
      if (value) {
        BindValue(update, ++parameter, *value);
      }
    }
    sqlite3_bind_int64(update, ++parameter, rowid_);
    const std::string row = "row id " + std::to_string(rowid_);
    Write(update, "change " + row, RowLookups::Write::Update);
    if (sqlite3_changes(connection_->handle()) == 0) {
      throw DatabaseError("Cannot change " + row + " in " + Where() + ": the row no longer exists");
    }
  }
  ReloadRow();
}

sqlite3_stmt* SqliteTable::WriteStatement(bool adding, const std::vector<bool>& set) {
  sqlite3_stmt*& kept = (adding ? inserts_ : updates_)[set];
  if (kept != nullptr) {
    return kept;
  }
  // Only the columns that were set are named, so the others keep their
  // value (or take their default in a new row): columns this program does
  // not know stay as their owner left them.
  std::string names;
  std::string values;
  std::string assignments;
  for (size_t i = 0; i < set.size(); ++i) {
    if (!set[i]) {
      continue;
    }
    const std::string separator = names.empty() ? "" : ", ";
    names += separator + QuoteIdentifier(shape_->columns[i].name);
    values += separator + "?";
    assignments += separator + QuoteIdentifier(shape_->columns[i].name) + " = ?";
  }
  if (adding) {
    kept = connection_->Cached(
        names.empty() ? "INSERT INTO " + from_ + " DEFAULT VALUES"
                      : "INSERT INTO " + from_ + " (" + names + ") VALUES (" + values + ")",
        "Cannot add a row to " + Where());
  } else {
    kept = connection_->Cached(
        "UPDATE " + from_ + " SET " + assignments + " WHERE " + shape_->rowidName + " = ?",
        "Cannot change a row of " + Where());
  }
  return kept;
}

void SqliteTable::ReloadRow() {
  sqlite3_stmt* statement = byRowid_.get();
  sqlite3_bind_int64(statement, 1, rowid_);
  const int rc = sqlite3_step(statement);
  if (rc == SQLITE_ROW) {
    for (size_t i = 0; i < row_.size(); ++i) {
      ReadColumnInto(statement, static_cast<int>(i + 1), row_[i]);
    }
  }
  const std::string error = connection_->LastError();
  sqlite3_reset(statement);
  if (rc == SQLITE_DONE) {
    deleted_ = true;  // removed by another connection since the cursor came here
  } else if (rc != SQLITE_ROW) {
    throw DatabaseError("Cannot read " + Where() + ": " + error);
  }
}

void SqliteTable::Delete() {
  RequireRow();
  mode_ = Mode::None;
  sqlite3_stmt* remove =
      connection_->Cached("DELETE FROM " + from_ + " WHERE " + shape_->rowidName + " = ?1",
                          "Cannot delete from " + Where());
  sqlite3_bind_int64(remove, 1, rowid_);
  const std::string row = "row id " + std::to_string(rowid_);
  Write(remove, "delete " + row, RowLookups::Write::Delete);
  // The cursor keeps the deleted row's rowid as its place: the next move
  // goes to its neighbour, whatever happened to the table meanwhile.
  deleted_ = true;
  if (sqlite3_changes(connection_->handle()) == 0) {
    throw DatabaseError("Cannot delete " + row + " in " + Where() + ": the row no longer exists");
  }
}

}  // namespace twinbook
