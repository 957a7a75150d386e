// The live cursor: walks in rowid order both ways, deletes and additions
// during a walk, and changes seen across connections.

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

class CursorTest : public ::testing::Test {
 protected:
  // A table whose rows have the rowids and contact IDs 1, 2, ... and the
  // numbers `labels` in that order.
  std::unique_ptr<Table> Open(const std::vector<std::string>& labels) {
    std::string sql;
    for (size_t i = 0; i < labels.size(); ++i) {
      sql += testing::RowSql(static_cast<int>(i + 1), labels[i], static_cast<int>(i + 1));
    }
    path_ = testing::MakePhoneBook(dir_, sql);
    db_ = engine_.OpenDatabase(path_);
    return db_->OpenTable("tblContactList");
  }

  std::vector<std::string> FileRows() {
    return RawConnection(path_).Rows("SELECT Number FROM tblContactList ORDER BY rowid");
  }
  std::string Number(Table& table) { return Text(table.Field("Number")); }

  testing::TempDir dir_;
  std::string path_;
  SqliteDatabaseEngine engine_;
  std::unique_ptr<Database> db_;
};

TEST_F(CursorTest, AnEmptyTableIsAtEofAndBofUntilARowIsAdded) {
  auto table = Open({});
  EXPECT_TRUE(table->IsEOF() && table->IsBOF());
  table->MoveFirst();
  EXPECT_TRUE(table->IsEOF() && table->IsBOF());
  table->MoveLast();
  EXPECT_TRUE(table->IsEOF() && table->IsBOF());
  EXPECT_THAT(ErrorOf([&] { table->Field("Number"); }),
              HasSubstr("no current row in table tblContactList of " + path_));

  AddRow(*table, 1, "a");
  EXPECT_TRUE(table->IsEOF());
  EXPECT_FALSE(table->IsBOF());
  table->MovePrevious();
  EXPECT_EQ(Number(*table), "a");
  table->MoveFirst();
  EXPECT_EQ(Number(*table), "a");
}

TEST_F(CursorTest, WalksGoInRowidOrderAndStopAtEitherEnd) {
  path_ = testing::MakePhoneBook(dir_, testing::RowSql(3, "c", 30) + testing::RowSql(1, "a", 10) +
                                           testing::RowSql(2, "b", 20));
  db_ = engine_.OpenDatabase(path_);
  auto table = db_->OpenTable("tblContactList");
  EXPECT_FALSE(table->IsEOF() || table->IsBOF());  // opened on the first row
  EXPECT_THAT(WalkForward(*table, "Number"), ElementsAre("a", "b", "c"));
  EXPECT_TRUE(table->IsEOF() && !table->IsBOF());
  EXPECT_THAT(ErrorOf([&] { table->MoveNext(); }),
              HasSubstr("past the end of table tblContactList of " + path_));
  table->MovePrevious();
  EXPECT_EQ(Number(*table), "c");

  table->MoveLast();
  EXPECT_THAT(WalkBackward(*table, "Number"), ElementsAre("c", "b", "a"));
  EXPECT_TRUE(table->IsBOF() && !table->IsEOF());
  EXPECT_THAT(ErrorOf([&] { table->MovePrevious(); }),
              HasSubstr("before the start of table tblContactList of " + path_));
  table->MoveNext();
  EXPECT_EQ(Number(*table), "a");
}

// The PhoneBook writer's way of removing a contact: walk back from the last
// row, deleting the contact's rows as they come.
TEST_F(CursorTest, ABackwardWalkDeletingRowsVisitsEveryRowOnce) {
  auto table = Open({"a", "b", "c", "d", "e"});
  std::vector<std::string> visited;
  table->MoveLast();
  while (!table->IsBOF()) {
    visited.push_back(Number(*table));
    if (visited.back() != "b" && visited.back() != "d") {
      table->Delete();
      EXPECT_THAT(ErrorOf([&] { table->Field("Number"); }), HasSubstr("deleted"));
    }
    table->MovePrevious();
  }
  EXPECT_THAT(visited, ElementsAre("e", "d", "c", "b", "a"));
  EXPECT_THAT(FileRows(), ElementsAre("b", "d"));
}

TEST_F(CursorTest, AfterADeleteTheCursorMovesToEitherNeighbourOrToEofWhenNoneIsLeft) {
  auto table = Open({"a", "b", "c"});
  table->MoveNext();
  table->Delete();
  table->MoveNext();
  EXPECT_EQ(Number(*table), "c");
  table->MovePrevious();
  EXPECT_EQ(Number(*table), "a");

  while (!table->IsEOF()) {
    table->Delete();
    table->MoveNext();
  }
  EXPECT_TRUE(table->IsBOF());
  EXPECT_THAT(FileRows(), ElementsAre());
}

TEST_F(CursorTest, RowsAddedDuringAWalkByItOrAnotherCursorShowUpAtItsEnd) {
  auto table = Open({"a", "b", "c"});
  auto adder = db_->OpenTable("tblContactList");
  std::vector<std::string> visited;
  while (!table->IsEOF()) {
    visited.push_back(Number(*table));
    if (visited.back() == "b") {
      AddRow(*table, 4, "added");
      EXPECT_EQ(Number(*table), "b");  // the cursor stays where it was
      AddRow(*adder, 5, "by another");
    }
    table->MoveNext();
  }
  EXPECT_THAT(visited, ElementsAre("a", "b", "c", "added", "by another"));
}

TEST_F(CursorTest, EveryCommittedChangeIsVisibleAtOnceToAnotherConnection) {
  auto table = Open({"a", "b", "c"});
  RawConnection other(path_);
  table->MoveNext();  // mid-walk: the cursor's read is under way
  // A second cursor mid-walk on the same database: its read must not hold
  // back the commits of the first.
  auto reader = db_->OpenTable("tblContactList");
  reader->MoveNext();

  AddRow(*table, 4, "d");
  EXPECT_EQ(other.Value("SELECT count(*) FROM tblContactList"), "4");
  table->Edit();
  table->SetField("Number", std::string("b2"));
  table->Update();
  EXPECT_EQ(other.Value("SELECT Number FROM tblContactList WHERE rowid = 2"), "b2");
  table->Delete();
  EXPECT_THAT(other.Rows("SELECT Number FROM tblContactList ORDER BY rowid"),
              ElementsAre("a", "c", "d"));
  table->MoveNext();
  EXPECT_EQ(Number(*table), "c");
  reader->MoveNext();
  EXPECT_EQ(Number(*reader), "c");
}

TEST_F(CursorTest, ChangesThroughAnotherConnectionOrProgramAreSeenByTheNextMove) {
  auto table = Open({"a", "b", "c"});
  table->MoveNext();
  auto second = engine_.OpenDatabase(path_);
  auto other = second->OpenTable("tblContactList");
  other->MoveLast();
  other->Delete();  // row c
  AddRow(*other, 4, "d");
  EXPECT_THAT(WalkForward(*table, "Number"), ElementsAre("b", "d"));

  RawConnection(path_).Exec("DELETE FROM tblContactList WHERE rowid = 1;" +
                            testing::RowSql(5, "e"));
  table->MoveFirst();
  EXPECT_THAT(WalkForward(*table, "Number"), ElementsAre("b", "d", "e"));
}

// Many rows: a forward walk steps one statement; a write in the middle must
// not make it repeat or skip a row, and keeps the cursor on the row.
TEST_F(CursorTest, EditsDuringAForwardWalkKeepTheCursorOnTheRowAndTheWalkGoesOn) {
  std::vector<std::string> labels;
  for (int i = 1; i <= 500; ++i) {
    labels.push_back(std::to_string(i));
  }
  auto table = Open(labels);
  int expected = 1;
  while (!table->IsEOF()) {
    ASSERT_EQ(Number(*table), std::to_string(expected));
    if (expected % 97 == 0) {
      table->Edit();
      table->SetField("Number", std::to_string(expected) + "!");
      table->Update();
      EXPECT_EQ(Number(*table), std::to_string(expected) + "!");
    }
    ++expected;
    table->MoveNext();
  }
  EXPECT_EQ(expected, 501);
  EXPECT_EQ(RawConnection(path_).Rows("SELECT Number FROM tblContactList WHERE Number LIKE '%!'"),
            (std::vector<std::string>{"97!", "194!", "291!", "388!", "485!"}));
}

TEST_F(CursorTest, AMoveAbandonsARowBeingAddedOrEdited) {
  auto table = Open({"a", "b"});
  table->Edit();
  table->SetField("Number", std::string("changed"));
  table->MoveNext();
  EXPECT_THAT(ErrorOf([&] { table->Update(); }), HasSubstr("no row is being added or edited"));
  table->AddNew();
  table->SetField("Number", std::string("new"));
  table->MoveFirst();
  EXPECT_THAT(ErrorOf([&] { table->Update(); }), HasSubstr("no row is being added or edited"));
  EXPECT_THAT(FileRows(), ElementsAre("a", "b"));
}

TEST_F(CursorTest, ACursorOutlivesItsDatabaseObject) {
  auto table = Open({"a", "b"});
  db_.reset();
  AddRow(*table, 3, "c");
  EXPECT_THAT(WalkForward(*table, "Number"), ElementsAre("a", "b", "c"));
}

}  // namespace
}  // namespace twinbook
