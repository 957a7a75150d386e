// Fields, files and failures of the SQLite layer: what values land as, what
// is refused and how the message names it, what opening leaves behind, and
// the failures that end a write or a transaction.
#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <cmath>
#include <filesystem>
#include <future>
#include <thread>

#include "data_setup.h"
#include "database_test_support.h"
#include "platform/sqlite/sqlite_database.h"

namespace twinbook {
namespace {

using testing::ErrorOf;
using testing::RawConnection;
using Strings = std::vector<std::string>;

const char kManagerRow[] =
    "INSERT INTO tblContactList (ContactID, ContactName, Number, NumberType, SpeedDial, "
    "PhoneNumberLength, RingTone, Category, Hidden) VALUES (7, 'Ann', '3125550100', 4, 3, 6, "
    "'Chime', 5, 1);";

class FieldsTest : public ::testing::Test {
 protected:
  std::unique_ptr<Table> Open(const std::string& sql, const char* table = "tblContactList") {
    if (std::string(table) == "tblContactList") {
      path_ = testing::MakePhoneBook(dir_, sql);
    } else {
      CreateSyncDatabase(path_);
      ExecuteSql(path_, sql);
    }
    db_ = engine_.OpenDatabase(path_);
    return db_->OpenTable(table);
  }
  Strings Stored(const std::string& sql) { return RawConnection(path_).Rows(sql); }
  void Add(Table& table, std::int64_t id, const std::string& number) {
    table.AddNew();
    table.SetField("ContactID", id);
    table.SetField("Number", number);
    table.Update();
  }

  testing::TempDir dir_;
  std::string path_ = dir_ / "own.db";
  SqliteDatabaseEngine engine_;
  std::unique_ptr<Database> db_;
};

TEST_F(FieldsTest, ValuesLandAsTheColumnsTypeOrAreRefusedNamingColumnTableFileAndValue) {
  struct Case {
    const char* column;
    FieldValue written;
    const char* stored;  // typeof() and value; or what the refusal names
  };
  const Case cases[] = {
      {"ContactID", 7.0, "integer|7"},
      {"ContactID", std::int64_t{12}, "integer|12"},
      {"ContactID", std::string(" 12 "), "integer|12"},
      {"ContactID", std::string("7.0"), "integer|7"},
      {"ContactID", std::string("1e3"), "integer|1000"},
      {"SpeedDial", std::string("007"), "integer|7"},
      {"Number", std::int64_t{5551234}, "text|5551234"},
      {"Number", 7.5, "text|7.5"},
      {"Number", std::string(""), "text|"},
      {"ContactName", std::monostate{}, "null|NULL"},
      {"SpeedDial", std::string(""), "cannot take the value \"\""},
      {"ContactID", std::string("abc"), "cannot take the value \"abc\""},
      {"ContactID", std::string("12abc"), "cannot take"},
      {"ContactID", std::string("0x10"), "cannot take"},
      {"ContactID", 7.5, "cannot take"},
      {"ContactID", 1e19, "cannot take"},
      {"PhoneNumberLength", std::nan(""), "cannot take"},
  };
  auto table = Open(kManagerRow);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.column);
    const std::string query = std::string("SELECT typeof(") + c.column + "), " + c.column +
                              " FROM tblContactList ORDER BY rowid";
    const Strings before = Stored(query);
    table->Edit();
    const std::string error = ErrorOf([&] { table->SetField(c.column, c.written); });
    table->SetField("NumberType", std::int64_t{5});  // the row still stores
    table->Update();
    if (std::string(c.stored).find("cannot") == 0) {
      EXPECT_NE(error.find(std::string("Column ") + c.column + " of table tblContactList of " +
                           path_ + " " + c.stored),
                std::string::npos)
          << error;
      EXPECT_EQ(Stored(query), before);
    } else {
      EXPECT_EQ(Stored(query), Strings{c.stored});
    }
  }
  EXPECT_EQ(Stored("SELECT Number FROM tblContactList"), Strings{""});
}

TEST_F(FieldsTest, ReadsGiveEachTypeAndWritesTouchOnlyTheColumnsSet) {
  auto own = Open(
      "CREATE TABLE Test (v, c INTEGER, r REAL, n NUMERIC);"
      "INSERT INTO Test (v) VALUES (NULL), (42), (2.5), ('text'), (X'6869');",
      "Test");
  std::vector<FieldValue> read;
  for (; !own->IsEOF(); own->MoveNext()) {
    read.push_back(own->Field("v"));
  }
  EXPECT_EQ(read, (std::vector<FieldValue>{std::monostate{}, std::int64_t{42}, 2.5,
                                           std::string("text"), std::string("hi")}));
  own->AddNew();
  EXPECT_NE(ErrorOf([&] { own->SetField("r", std::string("two")); }), "(no error)");
  own->SetField("c", std::string("5"));
  own->SetField("n", std::string("abc"));
  own->SetField("r", std::int64_t{3});
  own->Update();
  EXPECT_EQ(Stored("SELECT typeof(c), c, typeof(n), typeof(r), r FROM Test WHERE c"),
            Strings{"integer|5|text|real|3.0"});

  auto table = Open(kManagerRow);
  RawConnection(path_).Exec("UPDATE tblContactList SET RingTone = 'Bells', Category = 9");
  table->Edit();
  EXPECT_EQ(table->Field("NUMBER"), FieldValue(std::string("3125550100")));
  table->SetField("contactname", std::string("Ann Smith"));
  table->SetField("PhoneNumberLength", std::string("7"));
  EXPECT_EQ(table->Field("PhoneNumberLength"), FieldValue(std::int64_t{7}));
  table->Update();
  EXPECT_EQ(table->Field("PhoneNumberLength"), FieldValue(std::int64_t{7}));
  table->AddNew();
  EXPECT_EQ(table->Field("RingTone"), FieldValue(std::string("Standard")));
  EXPECT_EQ(table->Field("ContactID"), FieldValue());
  table->SetField("ContactID", 9.0);
  EXPECT_EQ(table->Field("ContactID"), FieldValue(std::int64_t{9}));
  EXPECT_NE(ErrorOf([&] { table->SetField("Category", std::string("none")); }), "(no error)");
  table->Update();
  EXPECT_EQ(
      Stored("SELECT ContactID, ContactName, Number, SpeedDial, PhoneNumberLength, RingTone, "
             "Category, Hidden FROM tblContactList"),
      (Strings{"7|Ann Smith|3125550100|3|7|Bells|9|1", "9|NULL|NULL|NULL|NULL|Standard|0|0"}));
}

TEST_F(FieldsTest, MisuseAndRefusedRowsAreErrorsNamingWhere) {
  auto own = Open(
      "CREATE TABLE Test (Code TEXT UNIQUE, Note TEXT NOT NULL DEFAULT 'x') STRICT;"
      "INSERT INTO Test VALUES ('a', 'first');",
      "Test");
  own->AddNew();
  own->SetField("Code", std::string("a"));
  EXPECT_NE(ErrorOf([&] { own->Update(); }).find("Cannot add a row in table Test of " + path_),
            std::string::npos);
  own->Edit();
  own->SetField("Code", std::string("changed"));
  own->MoveNext();  // a move abandons the edit
  const struct {
    std::function<void()> call;
    std::string says;
  } cases[] = {
      {[&] { own->Update(); }, "no row is being added or edited"},
      {[&] { own->SetField("Code", std::string("b")); }, "no row is being added or edited"},
      {[&] { own->Field("Code"); }, "no current row in table Test of " + path_},
      {[&] { own->MoveNext(); }, "past the end of table Test of " + path_},
      {[&] { own->MoveFirst(), own->Field("Colour"); },
       "Table Test of " + path_ + " has no column Colour"},
      {[&] { own->MovePrevious(), own->MovePrevious(); },
       "before the start of table Test of " + path_},
      {[&] { own->MoveFirst(), own->Delete(), own->Field("Code"); }, "deleted"},
      {[&] { db_->OpenTable("Nowhere"); }, "The database " + path_ + " has no table Nowhere"},
      {[&] { db_->OpenTableWhere("Test", "ID", std::int64_t{1}); },
       "Table Test of " + path_ + " has no column ID"},
      {[&] { db_->OpenTableWhere("No", "ID", std::int64_t{1}); },
       "The database " + path_ + " has no table No"},
  };
  for (const auto& c : cases) {
    const std::string error = ErrorOf(c.call);
    EXPECT_NE(error.find(c.says), std::string::npos) << c.says << ": " << error;
  }
  EXPECT_EQ(Stored("SELECT count(*) FROM Test"), Strings{"0"});
}

TEST_F(FieldsTest, FilesThatCannotBeOpenedAreNamedAndLeftAsTheyWere) {
  const std::string text = dir_ / "text.mdb";
  testing::WriteFile(text, std::string(2000, 'x'));
  const std::string readOnly = testing::MakePhoneBook(dir_, kManagerRow);
  std::filesystem::permissions(readOnly, std::filesystem::perms::owner_read);
  const std::pair<std::string, std::string> cases[] = {
      {dir_ / "missing.mdb", "does not exist"},
      {dir_ / "no folder/missing.mdb", "no folder/missing.mdb"},
      {text, "not a database"},
      {readOnly, ::geteuid() == 0 ? "(no error)" : "read-only"},
  };
  for (const auto& [path, says] : cases) {
    const std::string error = ErrorOf([&] { engine_.OpenDatabase(path); });
    EXPECT_NE(error.find(says), std::string::npos) << error;
    EXPECT_TRUE(error == "(no error)" || error.find(path) != std::string::npos) << error;
  }
  EXPECT_EQ(testing::ReadFile(text), std::string(2000, 'x'));
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir_.path()), {}), 2);
}

TEST_F(FieldsTest, ReadingChangesNoFileAndTheFirstWriteTurnsItToWal) {
  path_ = testing::MakePhoneBook(dir_, kManagerRow);
  RawConnection(path_).Exec("PRAGMA journal_mode=DELETE");
  const std::string before = testing::ReadFile(path_);
  db_ = engine_.OpenDatabase(path_);
  auto table = db_->OpenTable("tblContactList");
  auto walker = db_->OpenTable("tblContactList");
  for (; !table->IsEOF(); table->MoveNext()) {
    table->Field("Number");
  }
  EXPECT_EQ(testing::ReadFile(path_), before);
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir_.path()), {}), 1);
  Add(*table, 8, "b");
  EXPECT_EQ(Stored("PRAGMA journal_mode"), Strings{"wal"});
  walker->MoveNext();
  EXPECT_EQ(walker->Field("Number"), FieldValue(std::string("b")));
}

TEST_F(FieldsTest, WritesWaitForAnotherProgramAMomentAndTransactionsEndCleanly) {
  auto table = Open(kManagerRow);
  std::promise<void> holding;
  std::thread other([&] {
    RawConnection connection(path_);
    connection.Exec("BEGIN IMMEDIATE; INSERT INTO tblContactList (ContactID) VALUES (1);");
    holding.set_value();
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    connection.Exec("COMMIT");
  });
  holding.get_future().wait();
  const std::string waited = ErrorOf([&] { Add(*table, 2, "ours"); });
  other.join();
  EXPECT_EQ(waited, "(no error)");

  SqliteDatabaseEngine impatient(std::chrono::milliseconds(50));
  auto db = impatient.OpenDatabase(path_);
  {
    RawConnection holder(path_);
    holder.Exec("BEGIN IMMEDIATE");
    EXPECT_NE(
        ErrorOf([&] { db->BeginTransaction(); }).find("Cannot begin a transaction on " + path_),
        std::string::npos);
  }
  RawConnection(path_).Exec(
      "CREATE TRIGGER undo BEFORE INSERT ON tblContactList WHEN NEW.Number = 'undo' "
      "BEGIN SELECT RAISE(ROLLBACK, 'undone'); END;"
      "CREATE TRIGGER refuse BEFORE INSERT ON tblContactList WHEN NEW.Number = 'bad' "
      "BEGIN SELECT RAISE(ABORT, 'bad number'); END");
  auto transaction = db_->BeginTransaction();
  EXPECT_NE(ErrorOf([&] { db_->BeginTransaction(); }).find("open already"), std::string::npos);
  EXPECT_NE(ErrorOf([&] { Add(*table, 3, "bad"); }).find("bad number"), std::string::npos);
  Add(*table, 4, "kept");  // a refused row leaves the transaction open
  db_.reset();             // and it outlives its database
  transaction->Commit();
  EXPECT_NE(ErrorOf([&] { transaction->Commit(); }).find("has ended"), std::string::npos);
  db_ = engine_.OpenDatabase(path_);
  table = db_->OpenTable("tblContactList");
  transaction = db_->BeginTransaction();
  Add(*table, 5, "lost");
  EXPECT_NE(ErrorOf([&] { Add(*table, 6, "undo"); }).find("undone"), std::string::npos);
  EXPECT_NE(ErrorOf([&] { Add(*table, 7, "lost too"); }).find("undone"), std::string::npos);
  EXPECT_NE(ErrorOf([&] { table->MoveFirst(), table->Delete(); }).find("undone"),
            std::string::npos);
  EXPECT_NE(ErrorOf([&] { transaction->Commit(); }).find(path_), std::string::npos);
  transaction.reset();
  Add(*table, 8, "after");
  EXPECT_EQ(Stored("SELECT ContactID, Number FROM tblContactList"),
            (Strings{"7|3125550100", "1|NULL", "2|ours", "4|kept", "8|after"}));
}

}  // namespace
}  // namespace twinbook
