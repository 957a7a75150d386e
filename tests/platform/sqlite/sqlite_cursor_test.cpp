// The live cursors and transactions against a plain model: a fixed random
// walk of moves, additions, edits, deletions and transactions through several
// cursors (over every row, or one ContactID's rows through OpenTableWhere) on
// two connections to one file; after every step each cursor reads the row
// the model expects, and the file holds the model's rows.
#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <map>
#include <optional>
#include <random>

#include "database_test_support.h"
#include "platform/sqlite/sqlite_database.h"

namespace twinbook {
namespace {

struct Row {
  std::int64_t id;  // 0 stands for null
  std::string number;
  bool operator==(const Row&) const = default;
};
using Rows = std::map<std::int64_t, Row>;  // by rowid

struct Walker {
  std::unique_ptr<Table> table;
  int db;                             // 0 or 1
  std::optional<std::int64_t> which;  // the ContactID walked, or every row
  std::int64_t at = 0;                // rowid; LLONG_MAX past the end, 0 before the start
  bool eof = false, bof = false, deleted = false;
  bool Sees(const Row& row) const { return !which || row.id == *which; }
  bool NoneIn(const Rows& rows) const {
    return std::none_of(rows.begin(), rows.end(), [&](auto& r) { return Sees(r.second); });
  }
};

Rows FileRows(const std::string& path) {
  Rows rows;
  for (const std::string& line : testing::RawConnection(path).Rows(
           "SELECT rowid, ifnull(ContactID, 0), Number FROM tblContactList")) {
    const size_t a = line.find('|'), b = line.find('|', a + 1);
    rows[std::stoll(line.substr(0, a))] = {std::stoll(line.substr(a + 1, b - a - 1)),
                                           line.substr(b + 1)};
  }
  return rows;
}

// The model's move: the nearest row the walker sees beyond `at` that way.
void Move(Walker& w, const Rows& rows, bool forward, std::int64_t from) {
  std::optional<std::int64_t> found;
  for (const auto& [rowid, row] : rows) {
    if (w.Sees(row) && (forward ? rowid > from && !found : rowid < from)) {
      found = rowid;
    }
  }
  const bool none = w.NoneIn(rows);
  w.deleted = false;
  w.at = found ? *found : forward || none ? LLONG_MAX : 0;
  w.eof = !found && (forward || none);
  w.bof = !found && (!forward || none);
}

TEST(CursorTest, CursorsAndTransactionsBehaveAsThePlainModelOverARandomWalk) {
  testing::TempDir dir;
  std::string rowsSql;
  Rows model;
  std::mt19937 rng(20240607);
  int label = 0;
  for (int i = 1; i <= 300; ++i) {
    const std::int64_t id = rng() % 4;
    model[i] = {id, "r" + std::to_string(++label)};
    rowsSql += "INSERT INTO tblContactList (ContactID, Number) VALUES (" +
               (id ? std::to_string(id) : "NULL") + ", '" + model[i].number + "');";
  }
  const std::string path = testing::MakePhoneBook(dir, rowsSql);
  SqliteDatabaseEngine engine;
  std::unique_ptr<Database> dbs[2] = {engine.OpenDatabase(path), engine.OpenDatabase(path)};
  std::vector<Walker> walkers;
  // One cursor on the second connection: with two there, one left on a row
  // keeps the connection reading the file as it was and the other misses what
  // the first connection commits (a fault yet to be mended).
  const std::pair<int, FieldValue> kinds[] = {{0, std::monostate{}}, {1, std::monostate{}},
                                              {0, std::int64_t{1}},  {0, 2.0},
                                              {0, std::string("3")}, {0, std::monostate{}}};
  for (size_t k = 0; k < std::size(kinds); ++k) {
    const auto& [db, value] = kinds[k];
    Walker w{k < 2 ? dbs[db]->OpenTable("tblContactList")
                   : dbs[db]->OpenTableWhere("tblContactList", "ContactID", value),
             db, k < 2 ? std::nullopt : std::optional<std::int64_t>(k == 5 ? 0 : k - 1)};
    Move(w, model, true, 0);
    walkers.push_back(std::move(w));
  }
  std::unique_ptr<Transaction> transaction;
  Rows committed = model;
  for (int step = 0; step < 3000; ++step) {
    SCOPED_TRACE("step " + std::to_string(step));
    if (step == 1500) {
      dbs[1].reset();  // its cursors live on
    }
    const unsigned op = rng() % 20;
    if (op == 19) {  // a transaction on the first connection begins or ends
      if (!transaction) {
        transaction = dbs[0]->BeginTransaction();
        committed = model;
      } else {  // committed, or undone as it goes
        rng() % 2 ? transaction->Commit() : void(model = committed);
        transaction.reset();
      }
      continue;
    }
    // While a transaction holds the file, the other connection waits; and it
    // only reads, as what it wrote would go unseen by the first connection's
    // cursors left on a row.
    Walker& w = walkers[rng() % walkers.size()];
    if (w.db == 1 && (transaction || op >= 11)) {
      continue;
    }
    Table& t = *w.table;
    const bool onRow = !w.eof && !w.bof && !w.deleted && model.count(w.at) && w.Sees(model[w.at]);
    if (op < 6 && !w.eof) {
      t.MoveNext();
      Move(w, model, true, w.at);
    } else if (op < 10 && !w.bof) {
      t.MovePrevious();
      Move(w, model, false, w.at);
    } else if (op < 11) {
      op % 2 ? t.MoveFirst() : t.MoveLast();
      Move(w, model, op % 2, op % 2 ? 0 : LLONG_MAX);
    } else if (op < 13) {
      const std::int64_t id = rng() % 4;
      t.AddNew();
      t.SetField("ContactID", id ? FieldValue(id) : FieldValue());
      t.SetField("Number", "a" + std::to_string(++label));
      t.Update();
      model[model.empty() ? 1 : model.rbegin()->first + 1] = {id, "a" + std::to_string(label)};
      w.bof = w.bof && (!w.eof || w.NoneIn(model));  // an empty view: still past the end
    } else if (op < 16 && onRow) {
      t.Edit();
      model[w.at] = {op == 13 ? std::int64_t(rng() % 4) : model[w.at].id,
                     "e" + std::to_string(++label)};
      if (op == 13) {
        t.SetField("ContactID", model[w.at].id ? FieldValue(model[w.at].id) : FieldValue());
      }
      t.SetField("Number", model[w.at].number);
      t.Update();
    } else if (onRow) {
      t.Delete();
      model.erase(w.at);
      w.deleted = true;
    }
    if (op < 11) {
      ASSERT_EQ(t.IsEOF(), w.eof) << op;
      ASSERT_EQ(t.IsBOF(), w.bof) << op;
    }
    // A row is read when the cursor arrives at it or writes it.
    if ((op < 11 || (op < 16 && op >= 13 && onRow)) && !w.eof && !w.bof && !w.deleted &&
        model.count(w.at)) {
      ASSERT_EQ(std::get<std::string>(t.Field("Number")), model[w.at].number);
    }
    if (!transaction) {
      ASSERT_EQ(FileRows(path), model);
    }
  }
}

}  // namespace
}  // namespace twinbook
