// Fields: what reads come back as, how writes convert, what is refused, and
// that columns nobody set stay as they were.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cmath>

#include "data_setup.h"
#include "database_test_support.h"
#include "platform/sqlite/sqlite_database.h"

namespace twinbook {
namespace {

using ::testing::ElementsAre;
using testing::ErrorOf;
using ::testing::HasSubstr;
using testing::RawConnection;
using testing::Text;

const char kManagerRow[] =
    "INSERT INTO tblContactList (ContactID, ContactName, Number, NumberType, SpeedDial, "
    "PhoneNumberLength, RingTone, Category, Hidden) "
    "VALUES (7, 'Ann', '3125550100', 4, 3, 6, 'Chime', 5, 1);";

class FieldsTest : public ::testing::Test {
 protected:
  std::unique_ptr<Table> OpenPhoneBook(const std::string& insertSql) {
    path_ = testing::MakePhoneBook(dir_, insertSql);
    db_ = engine_.OpenDatabase(path_);
    return db_->OpenTable("tblContactList");
  }

  // `sql` makes the table `Test` in a database of its own.
  std::unique_ptr<Table> OpenOwnTable(const std::string& sql) {
    path_ = dir_ / "own.db";
    CreateSyncDatabase(path_);
    ExecuteSql(path_, sql);
    db_ = engine_.OpenDatabase(path_);
    return db_->OpenTable("Test");
  }

  std::string Stored(const std::string& sql) { return RawConnection(path_).Value(sql); }

  testing::TempDir dir_;
  std::string path_;
  SqliteDatabaseEngine engine_;
  std::unique_ptr<Database> db_;
};

TEST_F(FieldsTest, FieldsReadAsNullWholeNumberRealOrText) {
  auto table = OpenOwnTable(
      "CREATE TABLE Test (v);"
      "INSERT INTO Test VALUES (NULL), (42), (2.5), ('text'), (X'6869');");
  std::vector<FieldValue> values;
  while (!table->IsEOF()) {
    values.push_back(table->Field("v"));
    table->MoveNext();
  }
  ASSERT_EQ(values.size(), 5u);
  EXPECT_TRUE(IsNull(values[0]));
  EXPECT_EQ(std::get<std::int64_t>(values[1]), 42);
  EXPECT_EQ(std::get<double>(values[2]), 2.5);
  EXPECT_EQ(std::get<std::string>(values[3]), "text");
  EXPECT_EQ(std::get<std::string>(values[4]), "hi");  // a blob reads as its bytes
}

TEST_F(FieldsTest, AWrittenValueLandsAsTheColumnsType) {
  struct Case {
    const char* column;
    FieldValue written;
    const char* stored;  // typeof() and the value as SQLite prints it
  };
  const Case cases[] = {
      {"ContactID", 7.0, "integer|7"},  // the PhoneBook writer writes the ID as a real
      {"ContactID", std::int64_t{12}, "integer|12"},
      {"ContactID", std::string("12"), "integer|12"},
      {"ContactID", std::string(" 12 "), "integer|12"},
      {"ContactID", std::string("7.0"), "integer|7"},
      {"ContactID", std::string("1e3"), "integer|1000"},
      {"SpeedDial", std::string("007"), "integer|7"},
      {"Number", std::int64_t{5551234}, "text|5551234"},
      {"Number", 7.5, "text|7.5"},
      {"Number", 7.0, "text|7.0"},
      {"Number", std::string(""), "text|"},
      {"ContactName", std::monostate{}, "null|NULL"},
  };
  auto table = OpenPhoneBook("");
  for (const Case& c : cases) {
    table->AddNew();
    table->SetField(c.column, c.written);
    table->Update();
    EXPECT_EQ(
        RawConnection(path_).Rows(std::string("SELECT typeof(") + c.column + "), " + c.column +
                                  " FROM tblContactList ORDER BY rowid DESC LIMIT 1"),
        std::vector<std::string>{c.stored})
        << c.column << " " << Text(c.written);
  }
}

TEST_F(FieldsTest, AValueTheColumnCannotTakeIsRefusedAtSetFieldNamedAndTheRowStillStores) {
  struct Case {
    const char* column;
    FieldValue written;
    const char* named;  // how the message names the value
  };
  const Case cases[] = {
      {"SpeedDial", std::string(""), "\"\""},
      {"ContactID", std::string("abc"), "\"abc\""},
      {"ContactID", std::string("12abc"), ""},
      {"ContactID", std::string("0x10"), ""},
      {"ContactID", 7.5, ""},
      {"ContactID", 1e19, ""},
      {"PhoneNumberLength", std::nan(""), ""},
  };
  auto table = OpenPhoneBook(kManagerRow);
  int edit = 0;
  for (const Case& c : cases) {
    const std::string quoted = std::string("SELECT quote(") + c.column + ") FROM tblContactList";
    const std::string before = Stored(quoted);
    table->Edit();
    EXPECT_THAT(ErrorOf([&] { table->SetField(c.column, c.written); }),
                HasSubstr(std::string("Column ") + c.column + " of table tblContactList of " +
                          path_ + " cannot take the value " + c.named));
    table->SetField("Number", std::to_string(++edit));
    table->Update();
    EXPECT_EQ(Stored(quoted), before) << c.column;
    EXPECT_EQ(Stored("SELECT Number FROM tblContactList"), std::to_string(edit));
  }
}

TEST_F(FieldsTest, ANewRowTakesTheDefaultsOfTheColumnsNotSetOrRefused) {
  auto table = OpenPhoneBook("");
  table->AddNew();
  // While adding, a field reads as set so far, or as its default.
  EXPECT_EQ(Text(table->Field("RingTone")), "Standard");
  EXPECT_TRUE(IsNull(table->Field("ContactID")));
  table->SetField("ContactID", 9.0);
  EXPECT_EQ(std::get<std::int64_t>(table->Field("ContactID")), 9);
  table->SetField("Number", std::string("3125550100"));
  EXPECT_THROW(table->SetField("SpeedDial", std::string("")), DatabaseError);
  EXPECT_THROW(table->SetField("Category", std::string("none")), DatabaseError);
  EXPECT_TRUE(IsNull(table->Field("SpeedDial")));
  table->Update();
  EXPECT_THAT(RawConnection(path_).Rows("SELECT ContactID, Number, quote(SpeedDial), RingTone, "
                                        "Category, Hidden FROM tblContactList"),
              ElementsAre("9|3125550100|NULL|Standard|0|0"));
}

// An edit writes only the columns set, so changes the manager made since the
// cursor read the row stay.
TEST_F(FieldsTest, AnEditWritesOnlyTheColumnsSetAndReadsAsSetSoFar) {
  auto table = OpenPhoneBook(kManagerRow);
  RawConnection(path_).Exec(
      "UPDATE tblContactList SET RingTone = 'Bells', Category = 9, SpeedDial = 4");
  table->Edit();
  EXPECT_EQ(Text(table->Field("NUMBER")), "3125550100");  // names match in any letter case
  table->SetField("contactname", std::string("Ann Smith"));
  table->SetField("Number", std::string("31255501001"));
  table->SetField("PhoneNumberLength", std::string("7"));
  EXPECT_EQ(std::get<std::int64_t>(table->Field("PhoneNumberLength")), 7);
  table->Update();
  EXPECT_EQ(std::get<std::int64_t>(table->Field("PhoneNumberLength")), 7);
  EXPECT_THAT(RawConnection(path_).Rows(
                  "SELECT ContactID, ContactName, Number, NumberType, SpeedDial, "
                  "PhoneNumberLength, RingTone, Category, Hidden FROM tblContactList"),
              ElementsAre("7|Ann Smith|31255501001|4|4|7|Bells|9|1"));

  EXPECT_THAT(ErrorOf([&] { table->Update(); }), HasSubstr("tblContactList of " + path_));
  EXPECT_THAT(ErrorOf([&] { table->SetField("Number", std::string("1")); }),
              HasSubstr("no row is being added or edited"));
}

TEST_F(FieldsTest, ARowTheDatabaseRefusesIsNotStoredAndTheEditIsAbandoned) {
  auto table = OpenOwnTable(
      "CREATE TABLE Test (Code TEXT UNIQUE, Note TEXT NOT NULL DEFAULT 'x') STRICT;"
      "INSERT INTO Test VALUES ('a', 'first');");
  table->AddNew();
  table->SetField("Code", std::string("b"));
  EXPECT_THAT(ErrorOf([&] { table->SetField("Note", std::monostate{}); }),
              HasSubstr("Column Note of table Test of " + path_ + " cannot take the value null"));
  table->Update();

  table->AddNew();
  table->SetField("Code", std::string("a"));
  table->SetField("Note", std::string("second"));
  EXPECT_THAT(ErrorOf([&] { table->Update(); }),
              HasSubstr("Cannot add a row in table Test of " + path_));
  EXPECT_THAT(ErrorOf([&] { table->Update(); }), HasSubstr("no row is being added or edited"));
  EXPECT_THAT(RawConnection(path_).Rows("SELECT Code, Note FROM Test"),
              ElementsAre("a|first", "b|x"));
}

// The table is not STRICT: the column types alone decide what is refused.
TEST_F(FieldsTest, WholeNumberAndRealColumnsRefuseTextThatIsNoNumber) {
  auto table =
      OpenOwnTable("CREATE TABLE Test (Count INTEGER, Amount NUMERIC, Any, a REAL, b REAL);");
  table->AddNew();
  EXPECT_THROW(table->SetField("Count", std::string("abc")), DatabaseError);
  EXPECT_THROW(table->SetField("b", std::string("two")), DatabaseError);
  table->SetField("Count", std::string("5"));
  table->SetField("Amount", std::string("abc"));  // NUMERIC keeps what is not a number
  table->SetField("Any", std::string("5"));       // no type: kept as given
  table->SetField("a", std::int64_t{3});
  table->SetField("b", std::string("2.25"));
  table->Update();
  table->MoveFirst();
  EXPECT_EQ(std::get<double>(table->Field("a")), 3.0);
  EXPECT_THAT(RawConnection(path_).Rows("SELECT typeof(Count), Count, typeof(Amount), "
                                        "typeof(Any), typeof(a), a, typeof(b), b FROM Test"),
              ElementsAre("integer|5|text|text|real|3.0|real|2.25"));
}

TEST_F(FieldsTest, AMissingColumnIsAnErrorNamingColumnTableAndFile) {
  auto table = OpenPhoneBook(kManagerRow);
  const std::string culprit = "Table tblContactList of " + path_ + " has no column Colour";
  EXPECT_THAT(ErrorOf([&] { table->Field("Colour"); }), HasSubstr(culprit));
  table->Edit();
  EXPECT_THAT(ErrorOf([&] { table->SetField("Colour", std::string("red")); }), HasSubstr(culprit));
}

}  // namespace
}  // namespace twinbook
