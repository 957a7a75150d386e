#include "stores/phonebook_writer.h"

#include <array>
#include <cmath>
#include <optional>
#include <vector>

#include "environment/activity_log.h"
#include "model/number_kinds.h"
#include "stores/field_reading.h"
#include "stores/phonebook_import.h"
#include "stores/phonebook_names.h"

namespace twinbook {

namespace {

// NumberType codes run from 0 to 10; 7 and 8 are not synchronised.
constexpr int kCodeCount = 11;

bool IsContinuationByte(char c) {
  return (static_cast<unsigned char>(c) & 0xC0) == 0x80;
}

std::size_t CharacterCount(const std::string& text) {
  std::size_t count = 0;
  for (char c : text) {
    if (!IsContinuationByte(c)) {
      ++count;
    }
  }
  return count;
}

// The manager's code for a number's length.
std::int64_t LengthCode(int code, const std::string& number) {
  if (code == 1 || code == 10) {
    return 255;
  }
  switch (CharacterCount(number)) {
    case 10:
      return 6;
    case 11:
      return 7;
    default:
      return 0;
  }
}

// A text column's value; null reads as "".
std::string TextOf(const FieldValue& value) {
  if (const auto* text = std::get_if<std::string>(&value)) {
    return *text;
  }
  if (const auto* whole = std::get_if<std::int64_t>(&value)) {
    return std::to_string(*whole);
  }
  return "";
}

// A row's NumberType, or nullopt when it holds no whole number.
std::optional<long long> CodeOf(const FieldValue& value) {
  if (const auto* whole = std::get_if<std::int64_t>(&value)) {
    return *whole;
  }
  if (const auto* real = std::get_if<double>(&value)) {
    if (std::isfinite(*real) && *real == std::floor(*real) && std::fabs(*real) < 1e18) {
      return static_cast<long long>(*real);
    }
  }
  return std::nullopt;
}

bool IsKnownCode(long long code) {
  return code >= 0 && code < kCodeCount;
}

// The row changes of one contact. Every change goes into the transaction
// the caller holds; the log lines wait in `lines` until it has committed,
// so the log never tells of a change that was undone.
class ContactRows {
 public:
  ContactRows(Database& database, Table& table, const SyncObject& record)
      : database_(database),
        table_(table),
        record_(record),
        id_(static_cast<std::int64_t>(std::stoll(record.ContactID))) {
    for (const NumberKind& kind : NumberKinds()) {
      numbers_[kind.code] = record.*kind.number;
      speeds_[kind.code] = record.*kind.speed;
    }
  }

  const std::vector<std::string>& lines() const { return lines_; }

  // "C": one row per number, in code order.
  void AddContact() {
    for (const NumberKind& kind : NumberKinds()) {
      if (!numbers_[kind.code].empty()) {
        AddRow(kind.code);
      }
    }
  }

  // "W": rows renamed, renumbered and deleted walking backward, then the
  // numbers that have no row yet added.
  void UpdateContact() {
    std::unique_ptr<Table> rows = ContactsRows();
    std::array<bool, kCodeCount> deleted{};
    rows->MoveLast();
    while (!rows->IsBOF()) {
      UpdateRow(*rows, deleted);
      rows->MovePrevious();
    }

    std::array<bool, kCodeCount> present{};
    rows->MoveFirst();
    while (!rows->IsEOF()) {
      if (std::optional<long long> code = CodeOf(rows->Field("NumberType"));
          code && IsKnownCode(*code)) {
        present[*code] = true;
      }
      rows->MoveNext();
    }
    for (const NumberKind& kind : NumberKinds()) {
      if (!present[kind.code] && !numbers_[kind.code].empty()) {
        AddRow(kind.code);
      }
    }
  }

  // "D": every row of the contact, whatever its code.
  void DeleteContact() {
    std::unique_ptr<Table> rows = ContactsRows();
    rows->MoveLast();
    while (!rows->IsBOF()) {
      const std::optional<long long> code = CodeOf(rows->Field("NumberType"));
      rows->Delete();
      if (code && IsKnownCode(*code)) {
        lines_.push_back("... The " + KindWord(*code) + " for " + record_.ContactName +
                         " has been deleted.");
      }
      rows->MovePrevious();
    }
  }

 private:
  // The rows of this contact, in the order a walk of the whole table meets
  // them, without walking the whole table for each contact.
  std::unique_ptr<Table> ContactsRows() {
    return database_.OpenTableWhere(kPhoneBookTable, "ContactID", id_);
  }

  void AddRow(int code) {
    const std::string& number = numbers_[code];
    table_.AddNew();
    table_.SetField("ContactID", id_);
    table_.SetField("ContactName", PhoneBookName(record_.ContactName));
    table_.SetField("SpeedDial", speeds_[code]);
    table_.SetField("Number", number);
    table_.SetField("NumberType", std::int64_t{code});
    table_.SetField("PhoneNumberLength", LengthCode(code, number));
    table_.Update();
    lines_.push_back("... A " + KindWord(code) + " of " + number + " was added for " +
                     record_.ContactName + ".");
  }

  void UpdateRow(Table& row, std::array<bool, kCodeCount>& deleted) {
    const std::string number = TextOf(row.Field("Number"));
    const std::string name = TextOf(row.Field("ContactName"));
    const std::optional<long long> code = CodeOf(row.Field("NumberType"));
    if (!code || !NumberKindOf(*code)) {
      return;  // 7, 8 and unknown codes are the manager's alone
    }
    const int i = static_cast<int>(*code);
    const std::string& wanted = numbers_[i];

    if (!deleted[i] && !number.empty() && wanted.empty()) {
      row.Delete();
      deleted[i] = true;
      lines_.push_back("... The " + KindWord(i) + " for " + record_.ContactName +
                       " has been deleted.");
      return;
    }
    // A row holding the phone's cut of a long name has the name already:
    // renaming it would rewrite every row of such a contact on each update.
    if (!name.empty() && !SamePhoneBookName(name, record_.ContactName)) {
      row.Edit();
      row.SetField("ContactName", record_.ContactName);
      row.Update();
      lines_.push_back("... The name for " + name + " has been changed to " + record_.ContactName +
                       ".");
    }
    if (wanted != number) {
      row.Edit();
      row.SetField("Number", wanted);
      if (i != 1 && i != 10 && CharacterCount(wanted) != CharacterCount(number)) {
        row.SetField("PhoneNumberLength", LengthCode(i, wanted));
      }
      row.Update();
      lines_.push_back("... The " + KindWord(i) + " for " + TextOf(row.Field("ContactName")) +
                       " has been changed from " + number + " to " + wanted + ".");
    }
  }

  Database& database_;
  Table& table_;
  const SyncObject& record_;
  const std::int64_t id_;
  std::array<std::string, kCodeCount> numbers_;
  std::array<std::string, kCodeCount> speeds_;
  std::vector<std::string> lines_;
};

std::string FailureLine(const SyncObject& record, const std::string& error) {
  return "... The changes for " + record.ContactName +
         " could not be written to the PhoneBook and will be tried again at the next "
         "synchronization: " +
         error;
}

}  // namespace

void WritePhoneBookDatabase(RunContext& context) {
  const Settings& settings = context.settings();
  LogFile log(settings.LogPath, LogFile::Mode::Append);
  log.WriteLine("Writing to the PhoneBook database.");
  // A file or table that cannot be opened ends the run here; from here on a
  // failure costs only the contact it happens to.
  std::unique_ptr<Database> database =
      context.platform.databases.OpenDatabase(settings.PhoneBookPath);
  std::unique_ptr<Table> table = database->OpenTable(kPhoneBookTable);

  // Set when the file could not be taken for writing: another program holds
  // it, and waiting out the busy timeout again for every contact would only
  // make the run hang for minutes with the same outcome.
  std::optional<std::string> fileHeld;

  for (const SyncObject& record : context.state.PhoneBookSet) {
    const std::string& flag = record.Flag;
    if (flag != "D" && flag != "W" && flag != "C") {
      continue;
    }
    std::vector<std::string> lines;
    try {
      if (fileHeld) {
        throw DatabaseError(*fileHeld);
      }
      if (!IsCanonicalContactID(record.ContactID)) {
        throw DatabaseError("its contact ID '" + record.ContactID +
                            "' is not a positive whole number");
      }
      std::unique_ptr<Transaction> transaction;
      try {
        transaction = database->BeginTransaction();
      } catch (const DatabaseError& error) {
        fileHeld = error.what();
        throw;
      }
      // All the rows of one contact change together or not at all: a
      // contact left half written would read on the next run as changed on
      // the phone, and its missing numbers would be copied over the card.
      ContactRows rows(*database, *table, record);
      if (flag == "D") {
        rows.DeleteContact();
      } else if (flag == "W") {
        rows.UpdateContact();
      } else {
        rows.AddContact();
      }
      transaction->Commit();
      lines = rows.lines();
    } catch (const DatabaseError& error) {
      // Its sync row stays as it was, so the next run sees the same
      // difference and tries again instead of reading the missing rows as
      // a deletion on the phone.
      context.state.PhoneBookWriteFailed.insert(record.ContactID);
      log.WriteLine(FailureLine(record, error.what()));
      continue;
    }
    for (const std::string& line : lines) {
      log.WriteLine(line);
    }
  }
  log.Close();
}

}  // namespace twinbook
