#include "generated_stores.h"

#include <sqlite3.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <random>
#include <stdexcept>
#include <string_view>
#include <vector>

#include "data_setup.h"
#include "model/number_kinds.h"
#include "model/sync_object.h"
#include "stores/speed_tags.h"

namespace twinbook::bench {

namespace {

// Shares of the contacts of one side, in percent.
constexpr int kOnBothSides = 85;
// Of the contacts on both sides: the phone's mobile number was changed on the
// phone (a conflict on the first run), or the phone lacks the e-mail address.
constexpr int kPhoneMobileDiffers = 5;
constexpr int kPhoneLacksEmail = 4;

// Name pools. Their sizes multiplied with 26 middle initials give 62,400
// distinct names, enough for 30,000 contacts per side; past that a second
// initial makes 26 more rounds of them. See MakeContact.
constexpr std::array<std::string_view, 40> kFirstNames = {
    "Mary",  "James",  "Anna",   "Robert", "Linda", "Michael", "Zoë",    "David",
    "Renée", "José",   "Sarah",  "Thomas", "Karen", "Daniel",  "Nancy",  "Paul",
    "Lisa",  "Mark",   "Betty",  "Steven", "Helen", "Kevin",   "Sandra", "Brian",
    "Donna", "George", "Carol",  "Edward", "Ruth",  "Ronald",  "Sharon", "Jürgen",
    "Amy",   "Jason",  "D'Arcy", "Ian",    "Eva",   "Olaf",    "Ingrid", "Bo"};
constexpr std::array<std::string_view, 60> kLastNames = {
    "Smith",    "O'Brien",  "Johnson",   "Williams", "Brown",     "Jones",   "Garcia",   "Miller",
    "Davis",    "D'Angelo", "Rodriguez", "Martinez", "Hernández", "Lopez",   "Gonzalez", "Wilson",
    "Anderson", "Thomas",   "Taylor",    "Moore",    "Jackson",   "Martin",  "Lee",      "Perez",
    "Thompson", "White",    "Harris",    "Sánchez",  "Clark",     "Ramirez", "Lewis",    "Robinson",
    "Walker",   "Young",    "Allen",     "King",     "Wright",    "Scott",   "Torres",   "Nguyen",
    "Hill",     "Flores",   "Green",     "Adams",    "Nelson",    "Baker",   "Hall",     "Rivera",
    "Campbell", "Mitchell", "Carter",    "O'Neill",  "Müller",    "Fischer", "Weber",    "Schäfer",
    "Ng",       "Wu",       "D'Souza",   "Åberg"};
// Second parts of long, double-barrelled family names.
constexpr std::array<std::string_view, 6> kSecondLastNames = {
    "Featherstonehaugh", "Montgomery-Whitfield", "Vandenberghe",
    "Oosterhuis",        "Cholmondeley",         "Wolfeschlegelstein"};

constexpr int kNameCombinations = static_cast<int>(kFirstNames.size() * kLastNames.size()) * 26;

std::uint64_t Mix(std::uint64_t x) {
  x += 0x9e3779b97f4a7c15ULL;
  x = (x ^ (x >> 30)) * 0xbf58476d1ce4e5b9ULL;
  x = (x ^ (x >> 27)) * 0x94d049bb133111ebULL;
  return x ^ (x >> 31);
}

// A fixed pseudo-random number for contact `u` and question `salt`.
std::uint64_t Hash(int u, int salt) {
  return Mix(static_cast<std::uint64_t>(u) * 1000003ULL + static_cast<std::uint64_t>(salt));
}

bool Chance(int u, int salt, int percent) {
  return static_cast<int>(Hash(u, salt) % 100) < percent;
}

std::string TenDigits(int u, int salt) {
  return std::to_string(2010000000ULL + Hash(u, salt) % 7989999999ULL);
}

// "(312) 555-0107", as people type numbers into a desktop address book.
std::string Formatted(const std::string& digits) {
  return "(" + digits.substr(0, 3) + ") " + digits.substr(3, 3) + "-" + digits.substr(6);
}

// Letters a-z of `text` in lower case; anything else dropped.
std::string Slug(std::string_view text) {
  std::string slug;
  for (char c : text) {
    if (c >= 'A' && c <= 'Z') {
      slug += static_cast<char>(c - 'A' + 'a');
    } else if (c >= 'a' && c <= 'z') {
      slug += c;
    }
  }
  return slug;
}

// The first `count` characters of UTF-8 `text`.
std::string FirstCharacters(const std::string& text, size_t count) {
  size_t characters = 0;
  for (size_t i = 0; i < text.size(); ++i) {
    const bool continuation = (static_cast<unsigned char>(text[i]) & 0xC0) == 0x80;
    if (!continuation && characters++ == count) {
      return text.substr(0, i);
    }
  }
  return text;
}

enum class Side { Both, OutlookOnly, PhoneBookOnly, NotTakingPart };

struct Contact {
  int u = 0;
  Side side = Side::Both;
  std::string uid;
  std::string first, middle, last;
  std::string emailAsTyped;  // the card's spelling; the record holds it in lower case
  // The contact as the desktop has it (numbers as digits, e-mail in lower
  // case), ContactName its File As.
  SyncObject desktop;
  // The contact as the phone book had it before the first run.
  SyncObject phone;
};

Contact MakeContact(int u, Side side) {
  Contact c;
  c.u = u;
  c.side = side;
  // A bijection of 0..kNameCombinations-1 (7919 is prime to it), so that
  // every contact has a name of its own and neighbours differ in all parts.
  const int round = u / kNameCombinations;
  const int v =
      static_cast<int>((static_cast<long long>(u % kNameCombinations) * 7919) % kNameCombinations);
  c.first = kFirstNames[static_cast<size_t>(v) % kFirstNames.size()];
  c.last = kLastNames[(static_cast<size_t>(v) / kFirstNames.size()) % kLastNames.size()];
  c.middle = std::string(
      1, static_cast<char>('A' + v / static_cast<int>(kFirstNames.size() * kLastNames.size())));
  if (round > 0) {
    c.middle += static_cast<char>('A' + round - 1);
  }
  // A few desktop-only contacts have names longer than the phone keeps.
  if (side == Side::OutlookOnly && Chance(u, 1, 20)) {
    c.last += "-" + std::string(kSecondLastNames[Hash(u, 2) % kSecondLastNames.size()]);
  }
  char uid[40];
  std::snprintf(uid, sizeof uid, "%08llx-%04llx-4%03llx-a%03llx-%012llx",
                static_cast<unsigned long long>(Hash(u, 3) & 0xffffffffULL),
                static_cast<unsigned long long>(Hash(u, 4) & 0xffffULL),
                static_cast<unsigned long long>(Hash(u, 5) & 0xfffULL),
                static_cast<unsigned long long>(Hash(u, 6) & 0xfffULL),
                static_cast<unsigned long long>(Hash(u, 7) & 0xffffffffffffULL));
  c.uid = uid;

  SyncObject& d = c.desktop;
  d.ContactName = c.last + ", " + c.first + " " + c.middle + ".";
  if (Chance(u, 10, 95))
    d.MobileNumber = TenDigits(u, 20);
  if (Chance(u, 11, 65)) {
    d.Work1Number = TenDigits(u, 21);
    if (Chance(u, 12, 15))
      d.Work2Number = TenDigits(u, 22);
  }
  if (Chance(u, 13, 45))
    d.HomeNumber = TenDigits(u, 23);
  if (Chance(u, 14, 8))
    d.FaxNumber = TenDigits(u, 24);
  if (Chance(u, 15, 4))
    d.PagerNumber = TenDigits(u, 25);
  if (Chance(u, 16, 8))
    d.OtherNumber = "1" + TenDigits(u, 26);
  if (Chance(u, 17, 15)) {
    const std::uint64_t h = Hash(u, 27);
    d.DCNumber = std::to_string(100 + h % 900) + "*" + std::to_string(10 + (h >> 12) % 90) + "*" +
                 std::to_string(1000 + (h >> 24) % 9000);
  }
  if (Chance(u, 18, 80)) {
    c.emailAsTyped =
        c.first.substr(0, 1) + c.middle + "." + Slug(c.last) + std::to_string(u) + "@Example.com";
    d.EmailAddress = Slug(c.first.substr(0, 1)) + Slug(c.middle) + "." + Slug(c.last) +
                     std::to_string(u) + "@example.com";
  }
  if (d.MobileNumber.empty() && d.Work1Number.empty() && d.HomeNumber.empty()) {
    d.MobileNumber = TenDigits(u, 20);
  }

  c.phone = d;
  c.phone.ContactName = FirstCharacters(d.ContactName, 22);
  if (side == Side::Both) {
    if (!d.MobileNumber.empty() && Chance(u, 30, kPhoneMobileDiffers)) {
      c.phone.MobileNumber = TenDigits(u, 31);
    }
    if (!d.EmailAddress.empty() && Chance(u, 32, kPhoneLacksEmail)) {
      c.phone.EmailAddress.clear();
    }
  }
  return c;
}

// Escapes a vCard 3.0 text value.
std::string Escape(std::string_view value) {
  std::string escaped;
  for (char c : value) {
    if (c == '\\' || c == ',' || c == ';') {
      escaped += '\\';
    }
    escaped += c;
  }
  return escaped;
}

// One content line, folded at 75 octets (the text here is ASCII where lines
// get that long, but a fold never splits a character anyway).
void AddLine(std::string& card, const std::string& line) {
  size_t start = 0;
  size_t limit = 75;
  while (line.size() - start > limit) {
    size_t cut = start + limit;
    while ((static_cast<unsigned char>(line[cut]) & 0xC0) == 0x80) {
      --cut;
    }
    card.append(line, start, cut - start);
    card += "\r\n ";
    start = cut;
    limit = 74;  // the leading blank counts
  }
  card.append(line, start, std::string::npos);
  card += "\r\n";
}

// The card of `c`. With a non-empty `id` the card also carries what a run
// stores on it: the contact ID and the speed-dial tags. A contact that takes
// no part says so after a run; before one, some do and some are unmarked.
std::string CardText(const Contact& c, bool afterRun, const std::string& id,
                     const std::string& speedTags) {
  const SyncObject& d = c.desktop;
  std::string card;
  AddLine(card, "BEGIN:VCARD");
  AddLine(card, "VERSION:3.0");
  AddLine(card, "UID:" + c.uid);
  AddLine(card, "FN:" + Escape(c.first + " " + c.middle + ". " + c.last));
  AddLine(card, "N:" + Escape(c.last) + ";" + Escape(c.first) + ";" + Escape(c.middle) + ";;");
  AddLine(card, "X-EVOLUTION-FILE-AS:" + Escape(d.ContactName));
  if (!d.Work1Number.empty())
    AddLine(card, "TEL;TYPE=WORK,VOICE:" + Formatted(d.Work1Number));
  if (!d.Work2Number.empty())
    AddLine(card, "TEL;TYPE=WORK,VOICE:" + Formatted(d.Work2Number));
  if (!d.MobileNumber.empty())
    AddLine(card, "TEL;TYPE=CELL:" + Formatted(d.MobileNumber));
  if (!d.HomeNumber.empty())
    AddLine(card, "TEL;TYPE=HOME,VOICE:" + Formatted(d.HomeNumber));
  if (!d.FaxNumber.empty())
    AddLine(card, "TEL;TYPE=WORK,FAX:" + Formatted(d.FaxNumber));
  if (!d.PagerNumber.empty())
    AddLine(card, "TEL;TYPE=PAGER:" + Formatted(d.PagerNumber));
  if (!d.OtherNumber.empty())
    AddLine(card, "TEL;TYPE=VOICE:+" + d.OtherNumber);
  if (!c.emailAsTyped.empty())
    AddLine(card, "EMAIL;TYPE=INTERNET:" + c.emailAsTyped);
  // What the program does not map, as address books carry it.
  if (Chance(c.u, 40, 30)) {
    AddLine(card, "ORG:Example Holdings\\, Inc.;Accounts");
    AddLine(card, "ADR;TYPE=WORK:;;" + std::to_string(100 + c.u % 900) +
                      " Main Street;Springfield;IL;62701;USA");
  }
  if (Chance(c.u, 41, 20)) {
    AddLine(card, "BDAY:19" + std::to_string(50 + c.u % 50) + "-0" + std::to_string(1 + c.u % 9) +
                      "-1" + std::to_string(c.u % 10));
  }
  if (Chance(c.u, 42, 10)) {
    AddLine(card,
            "NOTE:Met at the regional trade fair. Prefers calls in the morning\\, "
            "never on weekends. Ask about the new warehouse order before the end of the quarter.");
  }
  if (!d.DCNumber.empty())
    AddLine(card, "X-TWINBOOK-USER1:" + d.DCNumber);
  if (c.side == Side::NotTakingPart) {
    if (afterRun || c.u % 2 == 0)
      AddLine(card, "X-TWINBOOK-USER2:No");
  } else {
    AddLine(card, "X-TWINBOOK-USER2:YES");
  }
  if (!id.empty()) {
    AddLine(card, "X-TWINBOOK-USER3:" + id);
    AddLine(card, "X-TWINBOOK-USER4:" + speedTags);
  }
  AddLine(card, "END:VCARD");
  return card;
}

std::string GroupCardText(int n, const std::string& name, const std::vector<Contact>& members) {
  std::string card;
  AddLine(card, "BEGIN:VCARD");
  AddLine(card, "VERSION:3.0");
  AddLine(card, "UID:group-" + std::to_string(n));
  AddLine(card, "FN:" + name);
  AddLine(card, "N:" + name + ";;;;");
  AddLine(card, "X-ADDRESSBOOKSERVER-KIND:group");
  for (const Contact& member : members) {
    AddLine(card, "X-ADDRESSBOOKSERVER-MEMBER:urn:uuid:" + member.uid);
  }
  AddLine(card, "END:VCARD");
  return card;
}

void WriteTextFile(const std::filesystem::path& path, const std::string& text) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << text;
  out.close();
  if (!out) {
    throw std::runtime_error("Cannot write " + path.string());
  }
}

// Every contact of a store pair of this size, in a fixed order.
struct Population {
  std::vector<Contact> both, outlookOnly, phoneBookOnly, notTakingPart;
  // Contacts of the phone book in its row order (the manager's order).
  std::vector<const Contact*> phoneBookOrder;
};

Population MakePopulation(int perSide) {
  Population p;
  const int both = perSide * kOnBothSides / 100;
  const int oneSide = perSide - both;
  int u = 0;
  for (int i = 0; i < both; ++i)
    p.both.push_back(MakeContact(u++, Side::Both));
  for (int i = 0; i < oneSide; ++i)
    p.outlookOnly.push_back(MakeContact(u++, Side::OutlookOnly));
  for (int i = 0; i < oneSide; ++i) {
    p.phoneBookOnly.push_back(MakeContact(u++, Side::PhoneBookOnly));
  }
  const int excluded = std::max(2, perSide / 50);
  for (int i = 0; i < excluded; ++i) {
    p.notTakingPart.push_back(MakeContact(u++, Side::NotTakingPart));
  }
  if (u > kNameCombinations * 27) {
    throw std::invalid_argument("Too many contacts for distinct names: " + std::to_string(u));
  }
  for (const Contact& c : p.both)
    p.phoneBookOrder.push_back(&c);
  for (const Contact& c : p.phoneBookOnly)
    p.phoneBookOrder.push_back(&c);
  std::mt19937 random(20240611);
  std::shuffle(p.phoneBookOrder.begin(), p.phoneBookOrder.end(), random);
  return p;
}

// SQLite handles for writing the generated rows.
struct CloseDatabase {
  void operator()(sqlite3* db) const { sqlite3_close(db); }
};
struct FinalizeStatement {
  void operator()(sqlite3_stmt* statement) const { sqlite3_finalize(statement); }
};
using DatabaseHandle = std::unique_ptr<sqlite3, CloseDatabase>;
using StatementHandle = std::unique_ptr<sqlite3_stmt, FinalizeStatement>;

class RowWriter {
 public:
  RowWriter(const std::string& path, const std::string& insert) : path_(path) {
    sqlite3* db = nullptr;
    const int opened = sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READWRITE, nullptr);
    db_.reset(db);
    Check(opened, "open");
    Check(sqlite3_exec(db_.get(), "BEGIN", nullptr, nullptr, nullptr), "begin");
    sqlite3_stmt* statement = nullptr;
    Check(sqlite3_prepare_v2(db_.get(), insert.c_str(), -1, &statement, nullptr), "prepare");
    statement_.reset(statement);
  }

  void Text(int column, const std::string& value) {
    Check(sqlite3_bind_text(statement_.get(), column, value.c_str(), static_cast<int>(value.size()),
                            SQLITE_TRANSIENT),
          "bind");
  }
  void Number(int column, long long value) {
    Check(sqlite3_bind_int64(statement_.get(), column, value), "bind");
  }
  void Insert() {
    if (sqlite3_step(statement_.get()) != SQLITE_DONE) {
      Check(SQLITE_ERROR, "insert");
    }
    sqlite3_reset(statement_.get());
  }
  void Commit() {
    statement_.reset();
    Check(sqlite3_exec(db_.get(), "COMMIT", nullptr, nullptr, nullptr), "commit");
  }

 private:
  void Check(int code, const char* what) {
    if (code != SQLITE_OK) {
      throw std::runtime_error(path_ + ": cannot " + what + ": " +
                               (db_ ? sqlite3_errmsg(db_.get()) : sqlite3_errstr(code)));
    }
  }

  std::string path_;
  DatabaseHandle db_;
  StatementHandle statement_;
};

// The manager's code for the length of a number.
int LengthCode(int type, const std::string& number) {
  if (type == 1 || type == 10)
    return 255;
  if (number.size() == 10)
    return 6;
  if (number.size() == 11)
    return 7;
  return 0;
}

// One row per number of each record, in the kinds' code order.
void WritePhoneBook(const std::string& path, const std::vector<SyncObject>& records) {
  RowWriter rows(path,
                 "INSERT INTO tblContactList (ContactID, ContactName, Number, NumberType, "
                 "SpeedDial, PhoneNumberLength) VALUES (?, ?, ?, ?, ?, ?)");
  for (const SyncObject& record : records) {
    for (const NumberKind& kind : NumberKinds()) {
      const std::string& number = record.*kind.number;
      if (number.empty())
        continue;
      rows.Number(1, std::stoll(record.ContactID));
      rows.Text(2, record.ContactName);
      rows.Text(3, number);
      rows.Number(4, kind.code);
      rows.Number(5, std::stoll(record.*kind.speed));
      rows.Number(6, LengthCode(kind.code, number));
      rows.Insert();
    }
  }
  rows.Commit();
}

void WriteSyncRows(const std::string& path, const std::vector<SyncObject>& records) {
  RowWriter rows(path,
                 "INSERT INTO SyncContacts (ContactID, Name, Work2, DirectConnect, Home, Work1, "
                 "Mobile, Fax, Pager, Other, Email, SpeedDial) "
                 "VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)");
  for (const SyncObject& r : records) {
    rows.Number(1, std::stoll(r.ContactID));
    int column = 2;
    for (const RecordText* value :
         {&r.ContactName, &r.Work2Number, &r.DCNumber, &r.HomeNumber, &r.Work1Number,
          &r.MobileNumber, &r.FaxNumber, &r.PagerNumber, &r.OtherNumber, &r.EmailAddress}) {
      rows.Text(column++, *value);
    }
    rows.Text(column, SpeedTagText(r));
    rows.Insert();
  }
  rows.Commit();
}

// Gives every number of `record` the next speed dial.
void GiveSpeedDials(SyncObject& record, int& nextSpeed) {
  for (const NumberKind& kind : NumberKinds()) {
    if (!(record.*kind.number).empty()) {
      record.*kind.speed = std::to_string(nextSpeed++);
    }
  }
}

struct DataFolder {
  std::filesystem::path root, contacts;
  std::string phoneBook, sync;
};

DataFolder MakeDataFolder(const std::string& dataFolder) {
  DataFolder folder;
  folder.root = dataFolder;
  if (std::filesystem::exists(folder.root)) {
    throw std::invalid_argument("The data folder exists already: " + dataFolder);
  }
  folder.contacts = folder.root / "Contacts";
  std::filesystem::create_directories(folder.contacts);
  folder.phoneBook = (folder.root / "PhoneBook.mdb").string();
  folder.sync = (folder.root / "Twinbook.mdb").string();
  CreatePhoneBookDatabase(folder.phoneBook);
  CreateSyncDatabase(folder.sync);
  return folder;
}

void WriteCard(const DataFolder& folder, const Contact& c, bool afterRun,
               const std::string& id = "", const std::string& speedTags = "") {
  WriteTextFile(folder.contacts / (c.uid + ".vcf"), CardText(c, afterRun, id, speedTags));
}

void WriteOtherCards(const DataFolder& folder, const Population& p, bool afterRun) {
  for (const Contact& c : p.notTakingPart) {
    WriteCard(folder, c, afterRun);
  }
  const std::vector<Contact> family(p.both.begin(),
                                    p.both.begin() + std::min<size_t>(5, p.both.size()));
  WriteTextFile(folder.contacts / "group-1.vcf", GroupCardText(1, "Family", family));
  WriteTextFile(folder.contacts / "group-2.vcf", GroupCardText(2, "Bowling team", p.notTakingPart));
}

}  // namespace

void WriteFirstRunStores(const std::string& dataFolder, int contactsPerSide) {
  const DataFolder folder = MakeDataFolder(dataFolder);
  const Population p = MakePopulation(contactsPerSide);

  for (const Contact& c : p.both)
    WriteCard(folder, c, false);
  for (const Contact& c : p.outlookOnly)
    WriteCard(folder, c, false);
  WriteOtherCards(folder, p, false);

  std::vector<SyncObject> phoneBook;
  int nextSpeed = 1;
  int nextId = 1;
  for (const Contact* c : p.phoneBookOrder) {
    SyncObject record = c->phone;
    record.ContactID = std::to_string(nextId++);
    GiveSpeedDials(record, nextSpeed);
    phoneBook.push_back(std::move(record));
  }
  WritePhoneBook(folder.phoneBook, phoneBook);
}

void WriteInStepStores(const std::string& dataFolder, int contactsPerSide) {
  const DataFolder folder = MakeDataFolder(dataFolder);
  const Population p = MakePopulation(contactsPerSide);

  // The phone book's contacts keep their IDs; the desktop's own follow them.
  std::vector<const Contact*> order = p.phoneBookOrder;
  for (const Contact& c : p.outlookOnly)
    order.push_back(&c);

  std::vector<SyncObject> records;
  std::vector<SyncObject> phoneBook;
  int nextSpeed = 1;
  int nextId = 1;
  for (const Contact* c : order) {
    SyncObject record = c->desktop;
    record.ContactID = std::to_string(nextId++);
    GiveSpeedDials(record, nextSpeed);
    WriteCard(folder, *c, true, record.ContactID, SpeedTagText(record));
    SyncObject phone = record;
    phone.ContactName = FirstCharacters(record.ContactName, 22);
    phoneBook.push_back(std::move(phone));
    records.push_back(std::move(record));
  }
  WriteOtherCards(folder, p, true);
  WritePhoneBook(folder.phoneBook, phoneBook);
  WriteSyncRows(folder.sync, records);
}

}  // namespace twinbook::bench
