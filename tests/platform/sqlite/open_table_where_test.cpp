// OpenTableWhere is a fast way to do what a full walk does while skipping
// other rows: checked against that walk on random tables, with rows deleted,
// added and changed during the walks.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "database_test_support.h"
#include "platform/sqlite/sqlite_database.h"

namespace twinbook {
namespace {

using ::testing::ElementsAre;
using testing::RawConnection;
using testing::TempDir;
using testing::Text;

constexpr int kRows = 400;

std::string RandomRows(unsigned seed) {
  std::mt19937 rng(seed);
  std::string sql;
  for (int i = 0; i < kRows; ++i) {
    const int id = static_cast<int>(rng() % 21);  // 0 stands for a null ID
    sql += "INSERT INTO tblContactList (ContactID, ContactName, Number, NumberType) VALUES (" +
           (id == 0 ? std::string("NULL") : std::to_string(id % 5 + 1)) + ", 'Name', 'r" +
           std::to_string(i) + "', 4);";
  }
  return sql;
}

bool Matches(Table& table, std::int64_t target) {
  const FieldValue id = table.Field("ContactID");
  return std::holds_alternative<std::int64_t>(id) && std::get<std::int64_t>(id) == target;
}

// Walks the table for the rows of `target`, either through OpenTableWhere or
// through a full walk skipping the other rows, and at each row visited does
// what `rng` says: delete it, add a row, move it to another ID, edit it, or
// nothing. Returns the labels of the rows visited.
std::vector<std::string> WalkAndChange(Database& db, bool filtered, bool forward,
                                       std::int64_t target, unsigned seed) {
  std::mt19937 rng(seed);
  auto table = filtered ? db.OpenTableWhere("tblContactList", "ContactID", target)
                        : db.OpenTable("tblContactList");
  forward ? table->MoveFirst() : table->MoveLast();
  std::vector<std::string> visited;
  int added = 0;
  while (forward ? !table->IsEOF() : !table->IsBOF()) {
    if (filtered || Matches(*table, target)) {
      visited.push_back(Text(table->Field("Number")));
      switch (rng() % 6) {
        case 0:
          table->Delete();
          break;
        case 1:
          table->AddNew();
          table->SetField("ContactID", static_cast<std::int64_t>(rng() % 5 + 1));
          table->SetField("Number", "n" + std::to_string(added++));
          table->Update();
          break;
        case 2:
          table->Edit();
          table->SetField("ContactID", static_cast<std::int64_t>(rng() % 5 + 1));
          table->Update();
          break;
        case 3:
          table->Edit();
          table->SetField("ContactName", std::string("Edited"));
          table->Update();
          break;
        default:
          break;
      }
    }
    forward ? table->MoveNext() : table->MovePrevious();
  }
  return visited;
}

std::vector<std::string> Content(const std::string& path) {
  return RawConnection(path).Rows(
      "SELECT rowid, quote(ContactID), ContactName, Number FROM tblContactList ORDER BY rowid");
}

TEST(OpenTableWhereTest, VisitsWhatAFullWalkSkippingOtherRowsVisitsWhileRowsChange) {
  SqliteDatabaseEngine engine;
  for (unsigned seed = 1; seed <= 3; ++seed) {
    for (bool forward : {true, false}) {
      for (std::int64_t target = 1; target <= 5; ++target) {
        SCOPED_TRACE("seed " + std::to_string(seed) + (forward ? " forward" : " backward") +
                     " ContactID " + std::to_string(target));
        TempDir full;
        TempDir fast;
        const std::string fullPath = testing::MakePhoneBook(full, RandomRows(seed));
        const std::string fastPath = testing::MakePhoneBook(fast, RandomRows(seed));
        const unsigned walkSeed = seed * 100 + static_cast<unsigned>(target);
        auto fullDb = engine.OpenDatabase(fullPath);
        auto fastDb = engine.OpenDatabase(fastPath);
        const auto expected = WalkAndChange(*fullDb, false, forward, target, walkSeed);
        const auto actual = WalkAndChange(*fastDb, true, forward, target, walkSeed);
        ASSERT_GT(expected.size(), 40u);
        EXPECT_EQ(actual, expected);
        EXPECT_EQ(Content(fastPath), Content(fullPath));
      }
    }
  }
}

TEST(OpenTableWhereTest, NumbersCompareByValueNullFindsTheNullsAndDeletingLeavesEofAndBof) {
  TempDir dir;
  const std::string path = testing::MakePhoneBook(
      dir,
      "INSERT INTO tblContactList (ContactID, Number) VALUES (7, 'a'), (NULL, 'b'), (8, 'c'), "
      "(7, 'd'), (NULL, 'e');");
  SqliteDatabaseEngine engine;
  auto db = engine.OpenDatabase(path);
  auto byText = db->OpenTableWhere("tblContactList", "ContactID", std::string("7"));
  EXPECT_THAT(testing::WalkForward(*byText, "Number"), ElementsAre("a", "d"));
  auto byNull = db->OpenTableWhere("tblContactList", "ContactID", std::monostate{});
  EXPECT_THAT(testing::WalkForward(*byNull, "Number"), ElementsAre("b", "e"));
  auto none = db->OpenTableWhere("tblContactList", "ContactID", std::int64_t{9});
  EXPECT_TRUE(none->IsEOF() && none->IsBOF());

  auto byReal = db->OpenTableWhere("tblContactList", "ContactID", 7.0);
  byReal->MoveLast();
  EXPECT_THAT(testing::WalkBackward(*byReal, "Number"), ElementsAre("d", "a"));
  byReal->MoveLast();
  while (!byReal->IsBOF()) {
    byReal->Delete();
    byReal->MovePrevious();
  }
  EXPECT_TRUE(byReal->IsEOF());
  EXPECT_THAT(RawConnection(path).Rows("SELECT Number FROM tblContactList"),
              ElementsAre("b", "c", "e"));
}

// A writer opens a cursor per contact, one after another and sometimes two
// at once; each must walk its own rows, whatever the cursors before it left
// behind.
TEST(OpenTableWhereTest, CursorsOpenedOneAfterAnotherOrSideBySideWalkTheirOwnRows) {
  TempDir dir;
  const std::string path = testing::MakePhoneBook(
      dir,
      "INSERT INTO tblContactList (ContactID, Number) VALUES (1, 'a1'), (2, 'b1'), (1, 'a2'), "
      "(3, 'c1'), (2, 'b2'), (1, 'a3');");
  SqliteDatabaseEngine engine;
  auto db = engine.OpenDatabase(path);
  for (int round = 0; round < 3; ++round) {
    {
      auto ones = db->OpenTableWhere("tblContactList", "ContactID", std::int64_t{1});
      ones->MoveFirst();
      ones->MoveNext();  // left in the middle of its walk
    }
    auto twos = db->OpenTableWhere("tblContactList", "ContactID", std::int64_t{2});
    auto threes = db->OpenTableWhere("tblContactList", "ContactID", std::int64_t{3});
    auto ones = db->OpenTableWhere("tblContactList", "ContactID", std::int64_t{1});
    std::vector<std::string> seen;
    for (Table* table : {twos.get(), ones.get(), threes.get(), ones.get(), twos.get()}) {
      if (!table->IsEOF()) {
        seen.push_back(Text(table->Field("Number")));
        table->MoveNext();
      }
    }
    EXPECT_THAT(seen, ElementsAre("b1", "a1", "c1", "a2", "b2")) << "round " << round;
    EXPECT_THAT(testing::WalkForward(*ones, "Number"), ElementsAre("a3"));
  }
}

// Cursors of one Database share what they know of a table's columns; a
// column another program adds, or a table it makes anew, must show up in
// the next cursor.
TEST(OpenTableWhereTest, ATableChangedByAnotherProgramIsSeenAsItNowIsByTheNextCursor) {
  TempDir dir;
  const std::string path = testing::MakePhoneBook(
      dir, "INSERT INTO tblContactList (ContactID, Number) VALUES (1, 'a');");
  SqliteDatabaseEngine engine;
  auto db = engine.OpenDatabase(path);
  EXPECT_THAT(testing::WalkForward(*db->OpenTable("tblContactList"), "Number"), ElementsAre("a"));
  EXPECT_THAT(testing::ErrorOf([&] { db->OpenTable("tblContactList")->Field("Extra"); }),
              ::testing::HasSubstr("has no column Extra"));

  RawConnection(path).Exec("ALTER TABLE tblContactList ADD COLUMN Extra TEXT DEFAULT 'x'");
  auto widened = db->OpenTableWhere("tblContactList", "ContactID", std::int64_t{1});
  EXPECT_THAT(testing::WalkForward(*widened, "Extra"), ElementsAre("x"));

  RawConnection(path).Exec(
      "DROP TABLE tblContactList; CREATE TABLE tblContactList (Number TEXT, ContactID INTEGER);"
      "INSERT INTO tblContactList VALUES ('b', 1);");
  auto remade = db->OpenTable("tblContactList");
  remade->AddNew();
  remade->SetField("Number", std::string("c"));
  remade->SetField("ContactID", std::int64_t{1});
  remade->Update();
  EXPECT_THAT(RawConnection(path).Rows("SELECT Number, ContactID FROM tblContactList"),
              ElementsAre("b|1", "c|1"));
  EXPECT_THAT(testing::ErrorOf([&] { db->OpenTable("tblContactList")->Field("Extra"); }),
              ::testing::HasSubstr("has no column Extra"));
}

}  // namespace
}  // namespace twinbook
