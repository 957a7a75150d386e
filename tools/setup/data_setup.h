#pragma once

#include <stdexcept>
#include <string>
#include <vector>

namespace twinbook {

// Thrown when a database, folder or file of the data folder cannot be made.
// The message names the path.
class SetupError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Creates a PhoneBook database at `path` holding an empty tblContactList,
// in WAL mode. Throws SetupError when `path` exists (nothing is then
// touched) or cannot be made (nothing is then left behind).
void CreatePhoneBookDatabase(const std::string& path);

// The same for a sync database holding an empty SyncContacts.
void CreateSyncDatabase(const std::string& path);

// Runs `sql` (one or more statements) on the existing database at `path`,
// all in one transaction. Throws SetupError naming the path and SQLite's
// complaint when the file is missing or a statement fails. For tests and
// tools that need rows the program's own writers would never make.
void ExecuteSql(const std::string& path, const std::string& sql);

// One item of the data folder and what InstallSampleData did with it.
struct SetupItem {
  std::string path;
  bool created = false;  // false: it was there already and was left alone
};

// Prepares the data folder `dataFolder` (made if absent), creating only
// what is absent: PhoneBook.mdb with the sample contacts, an empty
// Twinbook.mdb, and a Contacts folder holding the sample cards. Anything
// already there, whatever it holds, is left alone, so the user's own
// databases and cards are never replaced. Returns the three items in that
// order. Throws SetupError naming the path that could not be made.
std::vector<SetupItem> InstallSampleData(const std::string& dataFolder);

// The same with empty databases and an empty Contacts folder, as an
// installed program starts: the user points it at the PhoneBook Manager's
// database and a contacts folder of their own.
std::vector<SetupItem> InstallEmptyData(const std::string& dataFolder);

}  // namespace twinbook
