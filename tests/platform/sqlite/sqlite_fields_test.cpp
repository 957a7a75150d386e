// Fields, files and failures of the SQLite layer: what values land as, what
// is refused and how the message names it, and what ends a transaction.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <cmath>
#include <filesystem>

#include "database_test_support.h"
#include "platform/sqlite/sqlite_database.h"

namespace twinbook {
namespace {

using testing::ErrorOf;
using ::testing::HasSubstr;
using Strings = std::vector<std::string>;

const char kManagerRow[] =
    "INSERT INTO tblContactList (ContactID, ContactName, Number, NumberType, SpeedDial, "
    "PhoneNumberLength, RingTone, Category, Hidden) VALUES (7, 'Ann', '3125550100', 4, 3, 6, "
    "'Chime', 5, 1);";

class FieldsTest : public ::testing::Test {
 protected:
  std::unique_ptr<Table> Open(const std::string& sql, const char* table = "tblContactList") {
    path_ = testing::MakePhoneBook(dir_, sql);
    db_ = engine_.OpenDatabase(path_);
    return db_->OpenTable(table);
  }
  Strings Stored(const std::string& sql) { return testing::RawConnection(path_).Rows(sql); }
  void Add(Table& table, std::int64_t id, const std::string& number) {
    table.AddNew();
    table.SetField("ContactID", id);
    table.SetField("Number", number);
    table.Update();
  }

  testing::TempDir dir_;
  std::string path_;
  SqliteDatabaseEngine engine_;
  std::unique_ptr<Database> db_;
};

TEST_F(FieldsTest, ValuesLandAsTheColumnsTypeOrAreRefusedNamingColumnTableFileAndValue) {
  const std::string S;  // clang-format off
  const struct { const char* column; FieldValue written; const char* stored; } cases[] = {
      {"ContactID", 7.0, "integer|7"},           {"ContactID", std::int64_t{12}, "integer|12"},
      {"ContactID", S + " 12 ", "integer|12"},   {"ContactID", S + "1e3", "integer|1000"},
      {"Number", std::int64_t{555}, "text|555"}, {"Number", 7.5, "text|7.5"},
      {"ContactName", std::monostate{}, "null|NULL"},
      {"SpeedDial", S, "cannot take the value \"\""}, {"ContactID", S + "12abc", "cannot take"},
      {"ContactID", 7.5, "cannot take"},         {"ContactID", 1e19, "cannot take"},
      {"PhoneNumberLength", std::nan(""), "cannot take"},
  };  // clang-format on
  auto table = Open(kManagerRow);
  for (const auto& c : cases) {
    const std::string query = S + "SELECT typeof(" + c.column + "), " + c.column + " FROM " +
                              "tblContactList ORDER BY rowid";
    const Strings before = Stored(query);
    table->Edit();
    const std::string error = ErrorOf([&] { table->SetField(c.column, c.written); });
    table->SetField("NumberType", std::int64_t{5});  // the row still stores
    table->Update();
    const bool refused = std::string(c.stored).starts_with("cannot");
    EXPECT_EQ(Stored(query), refused ? before : Strings{c.stored}) << c.column;
    EXPECT_THAT(error,
                HasSubstr(refused ? S + "Column " + c.column + " of table tblContactList of " +
                                        path_ + " " + c.stored
                                  : "(no error)"));
  }
}

TEST_F(FieldsTest, ReadsGiveEachTypeAndWritesTouchOnlyTheColumnsSet) {
  auto own =
      Open(kManagerRow + std::string("CREATE TABLE Test (v); INSERT INTO Test VALUES (NULL), "
                                     "(42), (2.5), ('text'), (X'6869');"),
           "Test");
  std::vector<FieldValue> read;
  for (; !own->IsEOF(); own->MoveNext()) {
    read.push_back(own->Field("v"));
  }
  EXPECT_EQ(read, (std::vector<FieldValue>{std::monostate{}, std::int64_t{42}, 2.5,
                                           std::string("text"), std::string("hi")}));
  auto table = db_->OpenTable("tblContactList");
  testing::RawConnection(path_).Exec("UPDATE tblContactList SET RingTone = 'Bells', Category = 9");
  table->Edit();
  table->SetField("contactname", std::string("Ann Smith"));
  table->SetField("PhoneNumberLength", std::string("7"));
  table->Update();
  EXPECT_EQ(table->Field("PhoneNumberLength"), FieldValue(std::int64_t{7}));
  table->AddNew();
  EXPECT_EQ(table->Field("RingTone"), FieldValue(std::string("Standard")));
  EXPECT_EQ(table->Field("ContactID"), FieldValue());
  table->SetField("ContactID", 9.0);
  table->Update();
  EXPECT_EQ(Stored("SELECT ContactID, ContactName, Number, PhoneNumberLength, RingTone, Category "
                   "FROM tblContactList"),
            (Strings{"7|Ann Smith|3125550100|7|Bells|9", "9|NULL|NULL|NULL|Standard|0"}));
}

TEST_F(FieldsTest, MisuseRefusedRowsAndUnopenableFilesAreErrorsNamingWhere) {
  auto own = Open(
      "CREATE TABLE Test (Code TEXT UNIQUE, Up TEXT AS (upper(Code))) STRICT; INSERT INTO Test "
      "VALUES ('a'); CREATE TABLE Keyed (k PRIMARY KEY) WITHOUT ROWID; CREATE TABLE Hiding (rowid, "
      "oid, _rowid_);",
      "Test");
  own->AddNew();
  own->SetField("Code", std::string("a"));
  const std::string text = dir_ / "text.mdb", readOnly = dir_ / "read-only.mdb";
  testing::WriteFile(text, std::string(2000, 'x'));
  std::filesystem::copy_file(path_, readOnly);
  std::filesystem::permissions(readOnly, std::filesystem::perms::owner_read);
  const std::string in = " table Test of " + path_;
  // clang-format off
  const std::pair<std::function<void()>, std::string> cases[] = {
      {[&] { own->Update(); }, "Cannot add a row in" + in},
      {[&] { own->Edit(), own->MoveNext(), own->Update(); }, "no row is being added or edited"},
      {[&] { own->Field("Code"); }, "no current row in" + in},
      {[&] { own->MoveNext(); }, "past the end of" + in},
      {[&] { own->MoveFirst(), own->Field("Colour"); }, "Table Test of " + path_ + " has no column Colour"},
      {[&] { own->MovePrevious(), own->MovePrevious(); }, "before the start of" + in},
      {[&] { db_->OpenTable("Test")->SetField("Code", "b"); }, "no row is being added or edited"},
      {[&] { auto t = db_->OpenTable("Test"); t->Edit(), t->SetField("Up", "B"); }, "Column Up of" + in + " is computed"},
      {[&] { db_->OpenTable("Keyed"); }, "it is declared WITHOUT ROWID"},
      {[&] { db_->OpenTable("Hiding"); }, "its columns hide the row id"},
      {[&] { own->MoveFirst(), own->Delete(), own->Field("Code"); }, "deleted"},
      {[&] { db_->OpenTable("No"); }, "The database " + path_ + " has no table No"},
      {[&] { db_->OpenTableWhere("Test", "ID", std::int64_t{1}); }, "has no column ID"},
      {[&] { engine_.OpenDatabase(dir_ / "missing.mdb"); }, ": the file does not exist"},
      {[&] { engine_.OpenDatabase(text); }, text + ": the file is not a database"},
      {[&] { engine_.OpenDatabase(readOnly); }, ::geteuid() ? readOnly + " for writing: the file is read-only" : ""},
  };  // clang-format on
  for (const auto& [call, says] : cases) {
    EXPECT_THAT(ErrorOf(call), HasSubstr(says));
  }
  EXPECT_EQ(Stored("SELECT count(*) FROM Test"), Strings{"0"});
  EXPECT_EQ(testing::ReadFile(text), std::string(2000, 'x'));
}

// A file another program left in rollback-journal mode turns to WAL at the
// first write, even while a cursor is reading it.
TEST_F(FieldsTest, TheFirstWriteTurnsAFileToWalWhileACursorReads) {
  path_ = testing::MakePhoneBook(dir_, kManagerRow);
  testing::RawConnection(path_).Exec("PRAGMA journal_mode=DELETE");
  db_ = engine_.OpenDatabase(path_);
  auto reading = db_->OpenTable("tblContactList");
  Add(*db_->OpenTable("tblContactList"), 8, "3125550108");
  EXPECT_EQ(Stored("PRAGMA journal_mode"), Strings{"wal"});
}

TEST_F(FieldsTest, TransactionsEndCleanlyAndABusyFileIsNamed) {
  auto table = Open(kManagerRow);
  {
    testing::RawConnection holder(path_);
    holder.Exec("BEGIN IMMEDIATE");
    SqliteDatabaseEngine impatient(std::chrono::milliseconds(50));
    auto db = impatient.OpenDatabase(path_);
    EXPECT_THAT(ErrorOf([&] { db->BeginTransaction(); }),
                HasSubstr("Cannot begin a transaction on " + path_));
  }
  testing::RawConnection(path_).Exec(
      "CREATE TRIGGER undo BEFORE INSERT ON tblContactList WHEN NEW.Number = 'undo' "
      "BEGIN SELECT RAISE(ROLLBACK, 'undone'); END;"
      "CREATE TRIGGER refuse BEFORE INSERT ON tblContactList WHEN NEW.Number = 'bad' "
      "BEGIN SELECT RAISE(ABORT, 'bad number'); END");
  auto transaction = db_->BeginTransaction();
  EXPECT_THAT(ErrorOf([&] { db_->BeginTransaction(); }), HasSubstr("open already"));
  EXPECT_THAT(ErrorOf([&] { Add(*table, 3, "bad"); }), HasSubstr("bad number"));
  Add(*table, 4, "kept");  // a refused row leaves the transaction open
  db_.reset();             // and it outlives its database
  transaction->Commit();
  EXPECT_THAT(ErrorOf([&] { transaction->Commit(); }), HasSubstr("has ended"));
  db_ = engine_.OpenDatabase(path_);
  table = db_->OpenTable("tblContactList");
  transaction = db_->BeginTransaction();
  Add(*table, 5, "lost");
  EXPECT_THAT(ErrorOf([&] { Add(*table, 6, "undo"); }), HasSubstr("undone"));
  EXPECT_THAT(ErrorOf([&] { table->MoveFirst(), table->Delete(); }), HasSubstr("undone"));
  EXPECT_THAT(ErrorOf([&] { transaction->Commit(); }), HasSubstr(path_));
  transaction.reset();
  Add(*table, 8, "after");
  EXPECT_EQ(Stored("SELECT ContactID, Number FROM tblContactList"),
            (Strings{"7|3125550100", "4|kept", "8|after"}));
}

}  // namespace
}  // namespace twinbook
