// Fields: what reads come back as, how writes convert, what is refused, and
// that columns nobody set stay as they were.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cmath>

#include "data_setup.h"
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

  TempDir dir_;
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

TEST_F(FieldsTest, ColumnNamesMatchWithoutRegardToLetterCase) {
  auto table = OpenPhoneBook(kManagerRow);
  EXPECT_EQ(Text(table->Field("contactname")), "Ann");
  EXPECT_EQ(Text(table->Field("NUMBER")), "3125550100");
}

struct Conversion {
  const char* column;
  FieldValue written;
  const char* storedType;  // typeof() of what lands in the file
  const char* stored;      // the value as SQLite prints it
};

class ConversionTest : public FieldsTest, public ::testing::WithParamInterface<Conversion> {};

TEST_P(ConversionTest, AWrittenValueLandsAsTheColumnsType) {
  const Conversion& c = GetParam();
  auto table = OpenPhoneBook("");
  table->AddNew();
  table->SetField(c.column, c.written);
  table->Update();
  EXPECT_EQ(RawConnection(path_).Rows(std::string("SELECT typeof(") + c.column + "), " + c.column +
                                      " FROM tblContactList"),
            std::vector<std::string>{std::string(c.storedType) + "|" + c.stored});
}

INSTANTIATE_TEST_SUITE_P(WholeNumberTextAndNull, ConversionTest,
                         ::testing::Values(
                             // The PhoneBook writer writes the contact ID as a real.
                             Conversion{"ContactID", 7.0, "integer", "7"},
                             Conversion{"ContactID", std::int64_t{12}, "integer", "12"},
                             Conversion{"ContactID", std::string("12"), "integer", "12"},
                             Conversion{"ContactID", std::string(" 12 "), "integer", "12"},
                             Conversion{"ContactID", std::string("7.0"), "integer", "7"},
                             Conversion{"ContactID", std::string("1e3"), "integer", "1000"},
                             Conversion{"SpeedDial", std::string("007"), "integer", "7"},
                             Conversion{"Number", std::int64_t{5551234}, "text", "5551234"},
                             Conversion{"Number", 7.5, "text", "7.5"},
                             Conversion{"Number", 7.0, "text", "7.0"},
                             Conversion{"Number", std::string(""), "text", ""},
                             Conversion{"ContactName", std::monostate{}, "null", "NULL"}));

struct Refusal {
  const char* column;
  FieldValue written;
};

class RefusalTest : public FieldsTest, public ::testing::WithParamInterface<Refusal> {};

TEST_P(RefusalTest, AValueTheColumnCannotTakeIsRefusedAtSetFieldAndTheRowStillStores) {
  const Refusal& r = GetParam();
  auto table = OpenPhoneBook(kManagerRow);
  const std::string before =
      Stored(std::string("SELECT quote(") + r.column + ") FROM tblContactList");

  table->Edit();
  const std::string error = DatabaseErrorOf([&] { table->SetField(r.column, r.written); });
  EXPECT_THAT(error, HasSubstr(std::string("Column ") + r.column + " of table tblContactList of " +
                               path_ + " cannot take the value"))
      << error;
  table->SetField("Number", std::string("3125550199"));
  table->Update();

  EXPECT_EQ(Stored(std::string("SELECT quote(") + r.column + ") FROM tblContactList"), before);
  EXPECT_EQ(Stored("SELECT Number FROM tblContactList"), "3125550199");
}

INSTANTIATE_TEST_SUITE_P(WholeNumberColumns, RefusalTest,
                         ::testing::Values(Refusal{"SpeedDial", std::string("")},
                                           Refusal{"ContactID", std::string("abc")},
                                           Refusal{"ContactID", std::string("12abc")},
                                           Refusal{"ContactID", std::string("0x10")},
                                           Refusal{"ContactID", 7.5}, Refusal{"ContactID", 1e19},
                                           Refusal{"PhoneNumberLength", std::nan("")}));

TEST_F(FieldsTest, TheRefusalNamesTheValue) {
  auto table = OpenPhoneBook(kManagerRow);
  table->Edit();
  EXPECT_THAT(DatabaseErrorOf([&] { table->SetField("SpeedDial", std::string("")); }),
              HasSubstr("cannot take the value \"\""));
  EXPECT_THAT(DatabaseErrorOf([&] { table->SetField("ContactID", std::string("abc")); }),
              HasSubstr("cannot take the value \"abc\""));
}

TEST_F(FieldsTest, ARefusedValueInANewRowLeavesTheColumnAtItsDefault) {
  auto table = OpenPhoneBook("");
  table->AddNew();
  table->SetField("ContactID", std::int64_t{3});
  EXPECT_THROW(table->SetField("SpeedDial", std::string("")), DatabaseError);
  EXPECT_THROW(table->SetField("Category", std::string("none")), DatabaseError);
  EXPECT_TRUE(IsNull(table->Field("SpeedDial")));
  table->Update();
  EXPECT_THAT(
      RawConnection(path_).Rows("SELECT ContactID, quote(SpeedDial), Category FROM tblContactList"),
      ElementsAre("3|NULL|0"));
}

TEST_F(FieldsTest, EditAndUpdateLeaveTheColumnsNotSetExactlyAsTheyWere) {
  auto table = OpenPhoneBook(kManagerRow);
  const std::string select =
      "SELECT ContactID, ContactName, Number, NumberType, SpeedDial, PhoneNumberLength, "
      "RingTone, Category, Hidden FROM tblContactList";
  table->Edit();
  table->SetField("ContactName", std::string("Ann Smith"));
  table->SetField("Number", std::string("31255501001"));
  table->SetField("PhoneNumberLength", std::int64_t{7});
  table->Update();
  EXPECT_THAT(RawConnection(path_).Rows(select),
              ElementsAre("7|Ann Smith|31255501001|4|3|7|Chime|5|1"));
}

TEST_F(FieldsTest, AnEditWritesOnlyTheColumnsSetSoChangesMadeMeanwhileByTheManagerStay) {
  auto table = OpenPhoneBook(kManagerRow);  // the cursor has read the row
  RawConnection(path_).Exec(
      "UPDATE tblContactList SET RingTone = 'Bells', Category = 9, SpeedDial = 4");
  table->Edit();
  table->SetField("Number", std::string("3125550111"));
  table->Update();
  EXPECT_THAT(RawConnection(path_).Rows(
                  "SELECT Number, SpeedDial, RingTone, Category, Hidden FROM tblContactList"),
              ElementsAre("3125550111|4|Bells|9|1"));
}

TEST_F(FieldsTest, ANewRowTakesTheDefaultsOfTheColumnsNotSet) {
  auto table = OpenPhoneBook("");
  table->AddNew();
  // While adding, a field reads as set so far, or as its default.
  EXPECT_EQ(Text(table->Field("RingTone")), "Standard");
  EXPECT_TRUE(IsNull(table->Field("ContactID")));
  table->SetField("ContactID", 9.0);
  EXPECT_EQ(std::get<std::int64_t>(table->Field("ContactID")), 9);
  table->SetField("Number", std::string("3125550100"));
  table->Update();
  EXPECT_THAT(RawConnection(path_).Rows(
                  "SELECT ContactID, Number, RingTone, Category, Hidden FROM tblContactList"),
              ElementsAre("9|3125550100|Standard|0|0"));
}

TEST_F(FieldsTest, WhileEditingAFieldReadsAsSetSoFarThenAsStored) {
  auto table = OpenPhoneBook(kManagerRow);
  table->Edit();
  EXPECT_EQ(Text(table->Field("Number")), "3125550100");
  table->SetField("SpeedDial", std::string("12"));
  EXPECT_EQ(std::get<std::int64_t>(table->Field("SpeedDial")), 12);
  table->Update();
  EXPECT_EQ(std::get<std::int64_t>(table->Field("SpeedDial")), 12);
}

TEST_F(FieldsTest, AnUpdateWithoutAddNewOrEditIsAnError) {
  auto table = OpenPhoneBook(kManagerRow);
  EXPECT_THAT(DatabaseErrorOf([&] { table->Update(); }), HasSubstr("tblContactList of " + path_));
  EXPECT_THAT(DatabaseErrorOf([&] { table->SetField("Number", std::string("1")); }),
              HasSubstr("no row is being added or edited"));
}

TEST_F(FieldsTest, ARowTheDatabaseRefusesIsNotStoredAndTheEditIsAbandoned) {
  auto table = OpenOwnTable(
      "CREATE TABLE Test (Code TEXT UNIQUE, Note TEXT) STRICT;"
      "INSERT INTO Test VALUES ('a', 'first');");
  table->AddNew();
  table->SetField("Code", std::string("a"));
  table->SetField("Note", std::string("second"));
  EXPECT_THAT(DatabaseErrorOf([&] { table->Update(); }),
              HasSubstr("Cannot add a row in table Test of " + path_));
  EXPECT_THAT(DatabaseErrorOf([&] { table->Update(); }),
              HasSubstr("no row is being added or edited"));
  EXPECT_EQ(Stored("SELECT count(*) FROM Test"), "1");
}

TEST_F(FieldsTest, ANotNullColumnRefusesNullAtSetField) {
  auto table = OpenOwnTable("CREATE TABLE Test (Code TEXT NOT NULL DEFAULT 'x') STRICT;");
  table->AddNew();
  EXPECT_THAT(DatabaseErrorOf([&] { table->SetField("Code", std::monostate{}); }),
              HasSubstr("Column Code of table Test of " + path_ + " cannot take the value null"));
  table->Update();
  EXPECT_EQ(Stored("SELECT Code FROM Test"), "x");
}

TEST_F(FieldsTest, AWholeNumberColumnRefusesTextEvenWhenTheTableIsNotStrict) {
  auto table = OpenOwnTable("CREATE TABLE Test (Count INTEGER, Amount NUMERIC, Any);");
  table->AddNew();
  EXPECT_THROW(table->SetField("Count", std::string("abc")), DatabaseError);
  table->SetField("Count", std::string("5"));
  table->SetField("Amount", std::string("abc"));  // NUMERIC keeps what is not a number
  table->SetField("Any", std::string("5"));       // no type: kept as given
  table->Update();
  EXPECT_THAT(RawConnection(path_).Rows(
                  "SELECT typeof(Count), Count, typeof(Amount), typeof(Any) FROM Test"),
              ElementsAre("integer|5|text|text"));
}

TEST_F(FieldsTest, ARealColumnStoresWholeNumbersAndNumericTextsAsReals) {
  auto table = OpenOwnTable("CREATE TABLE Test (a REAL, b REAL) STRICT;");
  table->AddNew();
  table->SetField("a", std::int64_t{3});
  table->SetField("b", std::string("2.25"));
  EXPECT_THROW(table->SetField("b", std::string("two")), DatabaseError);
  table->Update();
  table->MoveFirst();
  EXPECT_EQ(std::get<double>(table->Field("a")), 3.0);
  EXPECT_THAT(RawConnection(path_).Rows("SELECT typeof(a), a, typeof(b), b FROM Test"),
              ElementsAre("real|3.0|real|2.25"));
}

TEST_F(FieldsTest, AMissingColumnIsAnErrorNamingColumnTableAndFile) {
  auto table = OpenPhoneBook(kManagerRow);
  const std::string culprit = "Table tblContactList of " + path_ + " has no column Colour";
  EXPECT_THAT(DatabaseErrorOf([&] { table->Field("Colour"); }), HasSubstr(culprit));
  table->Edit();
  EXPECT_THAT(DatabaseErrorOf([&] { table->SetField("Colour", std::string("red")); }),
              HasSubstr(culprit));
}

}  // namespace
}  // namespace twinbook
