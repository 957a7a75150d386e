// The live cursor: walks in rowid order both ways, deletes and additions
// during a walk, and changes seen across connections.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "database_test_support.h"
#include "platform/sqlite_database.h"

namespace twinbook {
namespace {

using testing::DatabaseErrorOf;
using ::testing::ElementsAre;
using ::testing::HasSubstr;
using testing::RawConnection;
using testing::TempDir;
using testing::Text;
using testing::WalkBackward;
using testing::WalkForward;

// One tblContactList row with an explicit rowid; `number` labels the row.
std::string Row(int rowid, int contactId, const std::string& number) {
  return "INSERT INTO tblContactList (rowid, ContactID, ContactName, Number, NumberType, "
         "SpeedDial, PhoneNumberLength) VALUES (" +
         std::to_string(rowid) + ", " + std::to_string(contactId) + ", 'Name " +
         std::to_string(contactId) + "', '" + number + "', 4, 1, 6);";
}

void AddRow(Table& table, int contactId, const std::string& number) {
  table.AddNew();
  table.SetField("ContactID", std::int64_t{contactId});
  table.SetField("ContactName", "Name " + std::to_string(contactId));
  table.SetField("Number", number);
  table.Update();
}

class CursorTest : public ::testing::Test {
 protected:
  std::unique_ptr<Database> Open(const std::string& insertSql) {
    path_ = testing::MakePhoneBook(dir_, insertSql);
    return engine_.OpenDatabase(path_);
  }

  TempDir dir_;
  std::string path_;
  SqliteDatabaseEngine engine_;
};

TEST_F(CursorTest, AnEmptyTableIsAtEofAndBofAndStaysThereOnMoveFirstAndLast) {
  auto db = Open("");
  auto table = db->OpenTable("tblContactList");
  EXPECT_TRUE(table->IsEOF());
  EXPECT_TRUE(table->IsBOF());
  table->MoveFirst();
  EXPECT_TRUE(table->IsEOF() && table->IsBOF());
  table->MoveLast();
  EXPECT_TRUE(table->IsEOF() && table->IsBOF());
  EXPECT_THAT(DatabaseErrorOf([&] { table->Field("Number"); }),
              HasSubstr("no current row in table tblContactList of " + path_));
}

TEST_F(CursorTest, WalksVisitRowsInRowidOrderNotInsertionOrder) {
  auto db = Open(Row(30, 3, "c") + Row(10, 1, "a") + Row(20, 2, "b"));
  auto table = db->OpenTable("tblContactList");
  // Opened on the first row.
  EXPECT_FALSE(table->IsEOF());
  EXPECT_FALSE(table->IsBOF());
  EXPECT_EQ(Text(table->Field("Number")), "a");
  EXPECT_THAT(WalkForward(*table, "Number"), ElementsAre("a", "b", "c"));
  EXPECT_TRUE(table->IsEOF());
  EXPECT_FALSE(table->IsBOF());

  table->MoveLast();
  EXPECT_THAT(WalkBackward(*table, "Number"), ElementsAre("c", "b", "a"));
  EXPECT_TRUE(table->IsBOF());
  EXPECT_FALSE(table->IsEOF());
}

TEST_F(CursorTest, MovingBackFromPastTheEndReachesTheLastRowAndOnFromBeforeTheStartTheFirst) {
  auto db = Open(Row(1, 1, "a") + Row(2, 2, "b"));
  auto table = db->OpenTable("tblContactList");
  table->MovePrevious();
  EXPECT_TRUE(table->IsBOF());
  table->MoveNext();
  EXPECT_EQ(Text(table->Field("Number")), "a");
  table->MoveLast();
  table->MoveNext();
  EXPECT_TRUE(table->IsEOF());
  table->MovePrevious();
  EXPECT_EQ(Text(table->Field("Number")), "b");
}

TEST_F(CursorTest, MovingPastEitherEndIsAnErrorNamingTheTable) {
  auto db = Open(Row(1, 1, "a"));
  auto table = db->OpenTable("tblContactList");
  table->MoveNext();
  ASSERT_TRUE(table->IsEOF());
  EXPECT_THAT(DatabaseErrorOf([&] { table->MoveNext(); }),
              HasSubstr("past the end of table tblContactList of " + path_));
  table->MoveFirst();
  table->MovePrevious();
  ASSERT_TRUE(table->IsBOF());
  EXPECT_THAT(DatabaseErrorOf([&] { table->MovePrevious(); }),
              HasSubstr("before the start of table tblContactList of " + path_));
}

TEST_F(CursorTest, ABackwardWalkDeletingRowsVisitsEveryRowOnce) {
  // The PhoneBook writer's way of removing a contact: walk back from the
  // last row, deleting the contact's rows as they come.
  auto db =
      Open(Row(1, 7, "a") + Row(2, 8, "b") + Row(3, 7, "c") + Row(4, 9, "d") + Row(5, 7, "e"));
  auto table = db->OpenTable("tblContactList");
  std::vector<std::string> visited;
  table->MoveLast();
  while (!table->IsBOF()) {
    visited.push_back(Text(table->Field("Number")));
    if (std::get<std::int64_t>(table->Field("ContactID")) == 7) {
      table->Delete();
      EXPECT_THAT(DatabaseErrorOf([&] { table->Field("Number"); }), HasSubstr("deleted"));
    }
    table->MovePrevious();
  }
  EXPECT_THAT(visited, ElementsAre("e", "d", "c", "b", "a"));
  EXPECT_THAT(RawConnection(path_).Rows("SELECT Number FROM tblContactList ORDER BY rowid"),
              ElementsAre("b", "d"));
}

TEST_F(CursorTest, AfterADeleteTheCursorMovesToEitherNeighbour) {
  auto db = Open(Row(1, 1, "a") + Row(2, 2, "b") + Row(3, 3, "c"));
  auto table = db->OpenTable("tblContactList");
  table->MoveNext();
  table->Delete();
  table->MoveNext();
  EXPECT_EQ(Text(table->Field("Number")), "c");
  table->MovePrevious();
  EXPECT_EQ(Text(table->Field("Number")), "a");
}

TEST_F(CursorTest, DeletingEveryRowOnAForwardWalkLeavesAnEmptyTableAtEofAndBof) {
  auto db = Open(Row(1, 1, "a") + Row(2, 2, "b") + Row(3, 3, "c"));
  auto table = db->OpenTable("tblContactList");
  int deleted = 0;
  while (!table->IsEOF()) {
    table->Delete();
    ++deleted;
    table->MoveNext();
  }
  EXPECT_EQ(deleted, 3);
  EXPECT_TRUE(table->IsBOF());
  EXPECT_EQ(RawConnection(path_).Value("SELECT count(*) FROM tblContactList"), "0");
}

TEST_F(CursorTest, RowsAddedDuringAWalkShowUpAtItsEnd) {
  auto db = Open(Row(1, 1, "a") + Row(2, 2, "b") + Row(3, 3, "c"));
  auto table = db->OpenTable("tblContactList");
  std::vector<std::string> visited;
  while (!table->IsEOF()) {
    const std::string number = Text(table->Field("Number"));
    visited.push_back(number);
    if (number == "b") {
      AddRow(*table, 4, "added");
      // The cursor stays where it was.
      EXPECT_EQ(Text(table->Field("Number")), "b");
    }
    table->MoveNext();
  }
  EXPECT_THAT(visited, ElementsAre("a", "b", "c", "added"));
}

TEST_F(CursorTest, RowsAddedThroughAnotherCursorOfTheSameDatabaseShowUpToo) {
  auto db = Open(Row(1, 1, "a") + Row(2, 2, "b"));
  auto walker = db->OpenTable("tblContactList");
  auto adder = db->OpenTable("tblContactList");
  EXPECT_EQ(Text(walker->Field("Number")), "a");
  AddRow(*adder, 3, "c");
  walker->MoveNext();
  EXPECT_THAT(WalkForward(*walker, "Number"), ElementsAre("b", "c"));
}

TEST_F(CursorTest, EveryCommittedChangeIsVisibleAtOnceToAnotherConnection) {
  auto db = Open(Row(1, 1, "a") + Row(2, 2, "b") + Row(3, 3, "c"));
  RawConnection other(path_);
  auto table = db->OpenTable("tblContactList");
  table->MoveNext();  // mid-walk: the cursor's read is under way
  // A second cursor mid-walk on the same database: its read must not hold
  // back the commits of the first.
  auto reader = db->OpenTable("tblContactList");
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
  EXPECT_EQ(Text(table->Field("Number")), "c");
  reader->MoveNext();
  EXPECT_EQ(Text(reader->Field("Number")), "c");
}

TEST_F(CursorTest, ChangesThroughAnotherConnectionOfTheProgramAreSeenByTheNextMove) {
  auto db = Open(Row(1, 1, "a") + Row(2, 2, "b") + Row(3, 3, "c"));
  auto table = db->OpenTable("tblContactList");
  table->MoveNext();
  ASSERT_EQ(Text(table->Field("Number")), "b");

  auto second = engine_.OpenDatabase(path_);
  auto other = second->OpenTable("tblContactList");
  other->MoveLast();
  other->Delete();  // row c
  AddRow(*other, 4, "d");

  EXPECT_THAT(WalkForward(*table, "Number"), ElementsAre("b", "d"));
}

TEST_F(CursorTest, ChangesByAnotherProgramAreSeenFromTheNextMoveFirst) {
  auto db = Open(Row(1, 1, "a") + Row(2, 2, "b"));
  auto table = db->OpenTable("tblContactList");
  RawConnection(path_).Exec("DELETE FROM tblContactList WHERE rowid = 1;" + Row(3, 3, "c"));
  table->MoveFirst();
  EXPECT_THAT(WalkForward(*table, "Number"), ElementsAre("b", "c"));
}

TEST_F(CursorTest, EditAndUpdateKeepTheCursorOnTheRowAndTheWalkGoesOn) {
  auto db = Open(Row(1, 1, "a") + Row(2, 2, "b") + Row(3, 3, "c"));
  auto table = db->OpenTable("tblContactList");
  std::vector<std::string> visited;
  while (!table->IsEOF()) {
    table->Edit();
    table->SetField("Number", Text(table->Field("Number")) + "!");
    table->Update();
    visited.push_back(Text(table->Field("Number")));
    table->MoveNext();
  }
  EXPECT_THAT(visited, ElementsAre("a!", "b!", "c!"));
  EXPECT_THAT(RawConnection(path_).Rows("SELECT Number FROM tblContactList ORDER BY rowid"),
              ElementsAre("a!", "b!", "c!"));
}

TEST_F(CursorTest, ARowAddedToAnEmptyTableClearsBofAndIsReachedByMoveFirst) {
  auto db = Open("");
  auto table = db->OpenTable("tblContactList");
  AddRow(*table, 1, "a");
  EXPECT_TRUE(table->IsEOF());
  EXPECT_FALSE(table->IsBOF());
  table->MovePrevious();
  EXPECT_EQ(Text(table->Field("Number")), "a");
  table->MoveFirst();
  EXPECT_EQ(Text(table->Field("Number")), "a");
}

TEST_F(CursorTest, AMoveAbandonsARowBeingAddedOrEdited) {
  auto db = Open(Row(1, 1, "a") + Row(2, 2, "b"));
  auto table = db->OpenTable("tblContactList");
  table->Edit();
  table->SetField("Number", std::string("changed"));
  table->MoveNext();
  EXPECT_THAT(DatabaseErrorOf([&] { table->Update(); }),
              HasSubstr("no row is being added or edited"));
  table->AddNew();
  table->SetField("Number", std::string("new"));
  table->MoveFirst();
  EXPECT_THAT(DatabaseErrorOf([&] { table->Update(); }),
              HasSubstr("no row is being added or edited"));
  EXPECT_THAT(RawConnection(path_).Rows("SELECT Number FROM tblContactList ORDER BY rowid"),
              ElementsAre("a", "b"));
}

TEST_F(CursorTest, ACursorOutlivesItsDatabaseObject) {
  auto db = Open(Row(1, 1, "a") + Row(2, 2, "b"));
  auto table = db->OpenTable("tblContactList");
  db.reset();
  AddRow(*table, 3, "c");
  EXPECT_THAT(WalkForward(*table, "Number"), ElementsAre("a", "b", "c"));
}

TEST_F(CursorTest, AForwardWalkStepsPastRowsItHasAlreadyRead) {
  // Many rows: the walk steps one statement; a write in the middle must not
  // make it repeat or skip a row.
  std::string rows;
  for (int i = 1; i <= 500; ++i) {
    rows += Row(i, i, std::to_string(i));
  }
  auto db = Open(rows);
  auto table = db->OpenTable("tblContactList");
  int expected = 1;
  while (!table->IsEOF()) {
    ASSERT_EQ(Text(table->Field("Number")), std::to_string(expected));
    if (expected % 97 == 0) {
      table->Edit();
      table->SetField("SpeedDial", std::int64_t{0});
      table->Update();
    }
    ++expected;
    table->MoveNext();
  }
  EXPECT_EQ(expected, 501);
}

}  // namespace
}  // namespace twinbook
