#include "support/store_files.h"

#include <sqlite3.h>

#include <filesystem>
#include <ostream>
#include <stdexcept>

#include "data_setup.h"
#include "engine/start_sync.h"
#include "platform/vcard/vcard_text.h"

namespace twinbook::testing {

std::vector<std::vector<SqlValue>> QueryRows(const std::string& path, const std::string& sql) {
  sqlite3* db = nullptr;
  sqlite3_stmt* statement = nullptr;
  auto fail = [&](const std::string& what) {
    const std::string message = what + " " + path + ": " + sqlite3_errmsg(db);
    sqlite3_finalize(statement);
    sqlite3_close(db);
    return std::runtime_error(message);
  };
  if (sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READONLY, nullptr) != SQLITE_OK) {
    throw fail("Cannot open");
  }
  if (sqlite3_prepare_v2(db, sql.c_str(), -1, &statement, nullptr) != SQLITE_OK) {
    throw fail("Cannot query");
  }
  std::vector<std::vector<SqlValue>> rows;
  int rc = SQLITE_ROW;
  while ((rc = sqlite3_step(statement)) == SQLITE_ROW) {
    std::vector<SqlValue>& row = rows.emplace_back();
    for (int i = 0; i < sqlite3_column_count(statement); ++i) {
      const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(statement, i));
      row.push_back({sqlite3_column_name(statement, i),
                     text == nullptr ? "<null>"
                                     : std::string(text, static_cast<size_t>(
                                                             sqlite3_column_bytes(statement, i)))});
    }
  }
  if (rc != SQLITE_DONE) {
    throw fail("Cannot read");
  }
  sqlite3_finalize(statement);
  sqlite3_close(db);
  return rows;
}

std::vector<CardView> ReadCards(const std::string& path) {
  VCardContactStore fresh;
  std::unique_ptr<ContactsFolder> folder = fresh.OpenFolder(path);
  std::vector<CardView> cards;
  for (int position = 1; position <= folder->Count(); ++position) {
    std::unique_ptr<ContactItem> item = folder->Item(position);
    CardView& card = cards.emplace_back();
    card.file = item->Describe();
    card.typeName = item->TypeName();
    for (ContactProperty p : AllContactProperties()) {
      if (std::string value = item->Get(p); !value.empty()) {
        card.properties[std::string(PropertyName(p))] = std::move(value);
      }
    }
  }
  return cards;
}

std::string SqlQuote(const std::string& text) {
  return "'" + QuoteFilterValue(text) + "'";  // SQL doubles a quote as filters do
}

std::string PhoneBookRowSql(const std::string& id, const std::string& name,
                            const std::string& number, int type, int speed) {
  const size_t length = number.size();
  const int lengthCode = (type == 1 || type == 10) ? 255 : length == 10 ? 6 : length == 11 ? 7 : 0;
  return "INSERT INTO tblContactList (ContactID, ContactName, Number, NumberType, SpeedDial, "
         "PhoneNumberLength) VALUES (" +
         id + ", " + SqlQuote(name) + ", " + SqlQuote(number) + ", " + std::to_string(type) + ", " +
         std::to_string(speed) + ", " + std::to_string(lengthCode) + ");\n";
}

std::ostream& operator<<(std::ostream& out, const PhoneBookRow& r) {
  return out << "{" << r.ContactID << ", " << r.ContactName << ", " << r.Number << ", "
             << r.NumberType << ", " << r.SpeedDial << ", " << r.PhoneNumberLength << "}";
}

std::ostream& operator<<(std::ostream& out, const SyncRow& r) {
  return out << "{" << r.ContactID << ", " << r.Name << ", W2 " << r.Work2 << ", DC "
             << r.DirectConnect << ", H " << r.Home << ", W1 " << r.Work1 << ", M " << r.Mobile
             << ", F " << r.Fax << ", P " << r.Pager << ", O " << r.Other << ", E " << r.Email
             << ", " << r.SpeedDial << "}";
}

StoreFiles::StoreFiles() : state(dir.path().string()) {
  std::filesystem::create_directories(data = dir / "Data");
  PointSettingsAtData();
  CreatePhoneBookDatabase(phoneBookPath);
  CreateSyncDatabase(syncPath);
  std::filesystem::create_directories(contactsPath);
  ResetSyncState(state, settings);
}

StoreFiles::StoreFiles(SampleData) : state(dir.path().string()) {
  data = dir / "Data";
  PointSettingsAtData();
  InstallSampleData(data);
  ResetSyncState(state, settings);
}

StoreFiles StoreFiles::WithSampleData() {
  return StoreFiles(SampleData{});
}

void StoreFiles::PointSettingsAtData() {
  phoneBookPath = data + "/PhoneBook.mdb";
  syncPath = data + "/Twinbook.mdb";
  logPath = data + "/SyncLog.txt";
  contactsPath = data + "/Contacts";
  settings.PointAtDataFolder(data);
}

void StoreFiles::Run() {
  StartSync(context);
}

void StoreFiles::AddPhoneBookRow(const std::string& id, const std::string& name,
                                 const std::string& number, int type, int speed) {
  ExecutePhoneBookSql(PhoneBookRowSql(id, name, number, type, speed));
}

void StoreFiles::AddSyncRow(const SyncRow& r) {
  ExecuteSyncSql(
      "INSERT INTO SyncContacts (ContactID, Name, Work2, DirectConnect, Home, Work1, Mobile, Fax, "
      "Pager, Other, Email, SpeedDial) VALUES (" +
      r.ContactID + ", " + SqlQuote(r.Name) + ", " + SqlQuote(r.Work2) + ", " +
      SqlQuote(r.DirectConnect) + ", " + SqlQuote(r.Home) + ", " + SqlQuote(r.Work1) + ", " +
      SqlQuote(r.Mobile) + ", " + SqlQuote(r.Fax) + ", " + SqlQuote(r.Pager) + ", " +
      SqlQuote(r.Other) + ", " + SqlQuote(r.Email) + ", " + SqlQuote(r.SpeedDial) + ")");
}

void StoreFiles::ExecutePhoneBookSql(const std::string& sql) {
  ExecuteSql(phoneBookPath, sql);
}

void StoreFiles::ExecuteSyncSql(const std::string& sql) {
  ExecuteSql(syncPath, sql);
}

std::string StoreFiles::WriteCardFile(const std::string& fileName, const std::string& content) {
  std::string path = contactsPath + "/" + fileName;
  WriteFile(path, content);
  return path;
}

std::string StoreFiles::AddCard(const CardSpec& card) {
  auto get = [&card](ContactProperty p) {
    auto it = card.properties.find(p);
    return it == card.properties.end() ? std::string() : it->second;
  };
  std::string text = "BEGIN:VCARD\r\nVERSION:3.0\r\nUID:" + card.uid + "\r\n";
  std::string fullName = get(ContactProperty::FullName);
  if (fullName.empty()) {
    fullName = get(ContactProperty::FileAs);
  }
  text += "FN:" + vcard::EscapeText(fullName) + "\r\n";
  text += "N:" + vcard::EscapeText(get(ContactProperty::LastName)) + ";" +
          vcard::EscapeText(get(ContactProperty::FirstName)) + ";;;\r\n";
  auto line = [&](const std::string& name, ContactProperty p) {
    std::string value = get(p);
    if (!value.empty()) {
      text += name + ":" + vcard::EscapeText(value) + "\r\n";
    }
  };
  line("NICKNAME", ContactProperty::NickName);
  line("X-EVOLUTION-FILE-AS", ContactProperty::FileAs);
  line("EMAIL;TYPE=INTERNET", ContactProperty::Email1Address);
  line("TEL;TYPE=WORK,VOICE", ContactProperty::BusinessTelephoneNumber);
  line("TEL;TYPE=WORK,VOICE", ContactProperty::Business2TelephoneNumber);
  line("TEL;TYPE=WORK,FAX", ContactProperty::BusinessFaxNumber);
  line("TEL;TYPE=HOME,VOICE", ContactProperty::HomeTelephoneNumber);
  line("TEL;TYPE=CELL", ContactProperty::MobileTelephoneNumber);
  line("TEL;TYPE=PAGER", ContactProperty::PagerNumber);
  line("TEL;TYPE=VOICE", ContactProperty::OtherTelephoneNumber);
  line("X-TWINBOOK-USER1", ContactProperty::User1);
  line("X-TWINBOOK-USER2", ContactProperty::User2);
  line("X-TWINBOOK-USER3", ContactProperty::User3);
  line("X-TWINBOOK-USER4", ContactProperty::User4);
  text += "END:VCARD\r\n";
  return WriteCardFile(card.uid + ".vcf", text);
}

std::vector<PhoneBookRow> StoreFiles::PhoneBookRows() const {
  std::vector<PhoneBookRow> rows;
  for (auto& r : QueryRows(phoneBookPath,
                           "SELECT ContactID, ContactName, Number, NumberType, SpeedDial, "
                           "PhoneNumberLength FROM tblContactList ORDER BY rowid")) {
    rows.push_back({r[0].text, r[1].text, r[2].text, r[3].text, r[4].text, r[5].text});
  }
  return rows;
}

std::vector<SyncRow> StoreFiles::SyncRows() const {
  std::vector<SyncRow> rows;
  for (auto& r :
       QueryRows(syncPath,
                 "SELECT ContactID, Name, Work2, DirectConnect, Home, Work1, Mobile, Fax, "
                 "Pager, Other, Email, SpeedDial FROM SyncContacts ORDER BY rowid")) {
    rows.push_back({r[0].text, r[1].text, r[2].text, r[3].text, r[4].text, r[5].text, r[6].text,
                    r[7].text, r[8].text, r[9].text, r[10].text, r[11].text});
  }
  return rows;
}

std::vector<CardView> StoreFiles::Cards() const {
  return ReadCards(contactsPath);
}

std::optional<CardView> StoreFiles::CardNamed(const std::string& fileAs) const {
  for (CardView& card : Cards()) {
    if (card["FileAs"] == fileAs) {
      return card;
    }
  }
  return std::nullopt;
}

std::vector<std::string> StoreFiles::LogLines() const {
  return ReadCrLfLines(logPath);
}

std::map<std::string, std::string> StoreFiles::Snapshot() const {
  std::map<std::string, std::string> files;
  for (const auto& entry : std::filesystem::recursive_directory_iterator(data)) {
    if (entry.is_regular_file()) {
      files[std::filesystem::relative(entry.path(), data).string()] =
          ReadFile(entry.path().string());
    }
  }
  return files;
}

}  // namespace twinbook::testing
