// A filtered cursor finds exactly the same rows whether SQLite answers it
// through an index or the connection files the column's rows itself: the
// same random writes, through this connection and another, go to a table
// with an index on the filtered column and to one without, and every walk
// over the two must see the same rows in the same states.

#include <gtest/gtest.h>

#include <random>

#include "database_test_support.h"
#include "platform/sqlite/sqlite_database.h"

namespace twinbook {
namespace {

// Each value as the cursor is given it and as the other connection writes it.
const std::pair<FieldValue, const char*> kValues[] = {{FieldValue{}, "NULL"},
                                                      {std::int64_t{2}, "2"},
                                                      {2.0, "2.0"},
                                                      {3.5, "3.5"},
                                                      {std::string("2"), "'2'"},
                                                      {std::string(" 3.5"), "' 3.5'"},
                                                      {std::string("x"), "'x'"},
                                                      {std::string("X"), "'X'"}};

// Both tables declare the filtered column k with the type of the case.
class LookupTest : public ::testing::TestWithParam<const char*> {
 protected:
  void SetUp() override {
    const std::string columns = std::string(" (k ") + GetParam() + ", v INTEGER);";
    other_.Exec("PRAGMA journal_mode=WAL; CREATE TABLE Plain" + columns + "CREATE TABLE Filed" +
                columns + "CREATE INDEX PlainK ON Plain (k);");
    db_ = engine_.OpenDatabase(path_);
  }
  // One walk over the rows of `table` whose k is `k`, forward with changes
  // made at the cursor, then backward; what it saw, as text.
  std::string Walk(const std::string& table, const FieldValue& k, std::uint64_t seed) {
    std::mt19937_64 random(seed);
    std::string seen;
    auto rows = db_->OpenTableWhere(table, "k", k);
    for (; !rows->IsEOF(); rows->MoveNext()) {
      seen += std::to_string(std::get<std::int64_t>(rows->Field("v"))) + " ";
      try {
        if (const int change = random() % 4; change == 0) {
          rows->Delete();
        } else if (change == 1) {
          rows->Edit();
          rows->SetField("k", kValues[random() % std::size(kValues)].first);
          rows->Update();
        }
      } catch (const DatabaseError&) {
        seen += "refused ";
      }
    }
    for (rows->MoveLast(); !rows->IsBOF(); rows->MovePrevious()) {
      seen += "<" + std::to_string(std::get<std::int64_t>(rows->Field("v")));
    }
    return seen + (rows->IsEOF() ? " empty" : " rows");
  }

  static std::string Empty(const std::string& path) {  // an empty file is an empty database
    return testing::WriteFile(path, ""), path;
  }
  testing::TempDir dir_;
  std::string path_ = Empty(dir_ / "t.db");
  testing::RawConnection other_{path_};
  SqliteDatabaseEngine engine_;
  std::unique_ptr<Database> db_;
};

TEST_P(LookupTest, FindsWhatTheIndexFinds) {
  std::mt19937_64 random(20261207);
  auto plain = db_->OpenTable("Plain");
  auto filed = db_->OpenTable("Filed");
  for (int step = 0, v = 0; step < 600; ++step) {
    const auto& [k, kSql] = kValues[random() % std::size(kValues)];
    const int what = static_cast<int>(random() % 6);
    const std::uint64_t seed = random();
    const std::string row = std::to_string(random() % (v + 1));
    std::unique_ptr<Transaction> transaction;
    if (what == 0) {  // a row added through a cursor
      ++v;
      for (Table* table : {plain.get(), filed.get()}) {
        table->AddNew();
        table->SetField("v", std::int64_t{v});
        try {
          table->SetField("k", k);
        } catch (const DatabaseError&) {
        }
        table->Update();
      }
    } else if (what <= 2) {  // a row added, changed or deleted by the other connection
      for (const std::string table : {"Plain", "Filed"}) {
        const std::string sql[] = {"INSERT INTO " + table + " VALUES (" + kSql + ", " + row + ")",
                                   "UPDATE " + table + " SET k = " + kSql + " WHERE v = " + row,
                                   "DELETE FROM " + table + " WHERE v = " + row};
        other_.Exec(sql[what - 1 + (seed % 3 == 0)]);
      }
    } else {  // walks, the last kind inside a transaction committed or undone
      if (what == 5) {
        transaction = db_->BeginTransaction();
      }
      ASSERT_EQ(Walk("Plain", k, seed), Walk("Filed", k, seed)) << "step " << step;
      if (transaction && seed % 2 == 0) {
        transaction->Commit();
      }
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Columns, LookupTest,
                         ::testing::Values("INTEGER", "TEXT", "", "REAL", "NUMERIC",
                                           "TEXT COLLATE NOCASE"));

}  // namespace
}  // namespace twinbook
