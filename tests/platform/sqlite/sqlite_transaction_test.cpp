// Transactions: the changes of several cursors committed together or undone
// together, cursors working inside, and the failures that end one.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "database_test_support.h"
#include "platform/sqlite/sqlite_database.h"

namespace twinbook {
namespace {

using testing::AddRow;
using ::testing::ElementsAre;
using testing::ErrorOf;
using ::testing::HasSubstr;
using testing::RawConnection;
using testing::Text;
using testing::WalkBackward;
using testing::WalkForward;

constexpr const char* kTable = "tblContactList";

class TransactionTest : public ::testing::Test {
 protected:
  void SetUp() override {
    path_ = testing::MakePhoneBook(dir_, testing::RowSql(1, "a") + testing::RowSql(2, "b") +
                                             testing::RowSql(1, "c") + testing::RowSql(3, "d"));
    db_ = engine_.OpenDatabase(path_);
  }

  // What another program sees in the file.
  std::vector<std::string> FileRows() {
    RawConnection other(path_);
    return other.Rows("SELECT ContactID, Number FROM tblContactList ORDER BY rowid");
  }

  // Changes every kind of thing through two cursors: an edit and a delete
  // through a filtered cursor, an addition through a full one.
  void ChangeThroughTwoCursors() {
    auto one = db_->OpenTableWhere(kTable, "ContactID", std::int64_t{1});
    one->Edit();
    one->SetField("Number", std::string("a2"));
    one->Update();
    one->MoveNext();
    one->Delete();
    auto all = db_->OpenTable(kTable);
    AddRow(*all, 4, "e");
  }

  testing::TempDir dir_;
  std::string path_;
  SqliteDatabaseEngine engine_;
  std::unique_ptr<Database> db_;
};

TEST_F(TransactionTest, EndingWithoutCommitUndoesEveryChangeAndCommitStoresThemAllAtOnce) {
  {
    auto transaction = db_->BeginTransaction();
    ChangeThroughTwoCursors();
  }
  EXPECT_THAT(FileRows(), ElementsAre("1|a", "2|b", "1|c", "3|d"));
  // And the file takes single changes again, each committed at once.
  AddRow(*db_->OpenTable(kTable), 5, "f");
  EXPECT_THAT(FileRows(), ElementsAre("1|a", "2|b", "1|c", "3|d", "5|f"));

  auto transaction = db_->BeginTransaction();
  ChangeThroughTwoCursors();
  EXPECT_THAT(FileRows(), ElementsAre("1|a", "2|b", "1|c", "3|d", "5|f"));
  transaction->Commit();
  EXPECT_THAT(FileRows(), ElementsAre("1|a2", "2|b", "3|d", "5|f", "4|e"));
}

TEST_F(TransactionTest, CursorsSeeTheTransactionsChangesAndTheOldRowsAfterItIsUndone) {
  auto all = db_->OpenTable(kTable);
  {
    auto transaction = db_->BeginTransaction();
    // A backward walk deleting as it goes, as the phone book writer walks.
    all->MoveLast();
    while (!all->IsBOF()) {
      if (Text(all->Field("Number")) != "b") {
        all->Delete();
      }
      all->MovePrevious();
    }
    AddRow(*all, 6, "g");
    all->MoveFirst();
    EXPECT_THAT(WalkForward(*all, "Number"), ElementsAre("b", "g"));
    auto other = db_->OpenTableWhere(kTable, "ContactID", std::int64_t{6});
    EXPECT_THAT(WalkForward(*other, "Number"), ElementsAre("g"));
  }
  all->MoveLast();
  EXPECT_THAT(WalkBackward(*all, "Number"), ElementsAre("d", "c", "b", "a"));
}

TEST_F(TransactionTest, ARefusedValueOrRowLeavesTheTransactionOpenForTheCallerToDecide) {
  RawConnection(path_).Exec(
      "CREATE TRIGGER refuse BEFORE INSERT ON tblContactList WHEN NEW.Number = 'bad' "
      "BEGIN SELECT RAISE(ABORT, 'bad number'); END");
  auto transaction = db_->BeginTransaction();
  auto all = db_->OpenTable(kTable);
  AddRow(*all, 7, "h");
  all->AddNew();
  EXPECT_THAT(ErrorOf([&] { all->SetField("SpeedDial", std::string("x")); }),
              HasSubstr("cannot take the value \"x\""));
  EXPECT_THAT(ErrorOf([&] { AddRow(*all, 8, "bad"); }), HasSubstr("bad number"));
  transaction->Commit();
  EXPECT_THAT(FileRows(), ElementsAre("1|a", "2|b", "1|c", "3|d", "7|h"));
}

TEST_F(TransactionTest, AWriteAfterWhichTheDatabaseUndidTheTransactionFailsEveryLaterWrite) {
  RawConnection(path_).Exec(
      "CREATE TRIGGER undo BEFORE INSERT ON tblContactList WHEN NEW.Number = 'undo' "
      "BEGIN SELECT RAISE(ROLLBACK, 'undone'); END");
  auto all = db_->OpenTable(kTable);
  {
    auto transaction = db_->BeginTransaction();
    AddRow(*all, 7, "h");
    EXPECT_THAT(ErrorOf([&] { AddRow(*all, 8, "undo"); }), HasSubstr("undone"));
    // Without the transaction this row would be committed on its own.
    EXPECT_THAT(ErrorOf([&] { AddRow(*all, 9, "i"); }), HasSubstr("undone"));
    all->MoveFirst();
    EXPECT_THAT(ErrorOf([&] { all->Delete(); }), HasSubstr("undone"));
    EXPECT_THAT(ErrorOf([&] { transaction->Commit(); }), HasSubstr(path_));
  }
  EXPECT_THAT(FileRows(), ElementsAre("1|a", "2|b", "1|c", "3|d"));
  AddRow(*all, 9, "i");
  EXPECT_THAT(FileRows(), ElementsAre("1|a", "2|b", "1|c", "3|d", "9|i"));
}

TEST_F(TransactionTest, AFileHeldForWritingByAnotherProgramFailsTheBeginNamingTheFile) {
  SqliteDatabaseEngine impatient(std::chrono::milliseconds(50));
  auto db = impatient.OpenDatabase(path_);
  {
    RawConnection other(path_);
    other.Exec("BEGIN IMMEDIATE");
    EXPECT_THAT(ErrorOf([&] { db->BeginTransaction(); }),
                HasSubstr("Cannot begin a transaction on " + path_));
    other.Exec("ROLLBACK");
  }
  auto transaction = db->BeginTransaction();
  AddRow(*db->OpenTable(kTable), 7, "h");
  transaction->Commit();
  EXPECT_THAT(FileRows(), ElementsAre("1|a", "2|b", "1|c", "3|d", "7|h"));
}

TEST_F(TransactionTest, OneTransactionAtATimeOneCommitEachAndItOutlivesItsDatabaseObject) {
  auto first = db_->BeginTransaction();
  EXPECT_THAT(ErrorOf([&] { db_->BeginTransaction(); }), HasSubstr("open already"));
  first->Commit();
  EXPECT_THAT(ErrorOf([&] { first->Commit(); }), HasSubstr("has ended"));

  auto transaction = db_->BeginTransaction();
  AddRow(*db_->OpenTable(kTable), 7, "h");
  db_.reset();
  transaction->Commit();
  EXPECT_THAT(FileRows(), ElementsAre("1|a", "2|b", "1|c", "3|d", "7|h"));
}

}  // namespace
}  // namespace twinbook
