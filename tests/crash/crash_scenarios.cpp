#include "crash/crash_scenarios.h"

#include <algorithm>
#include <filesystem>
#include <stdexcept>

#include "data_setup.h"
#include "engine/start_sync.h"
#include "platform/vcard/vcard_contact_store.h"

namespace twinbook::testing {

namespace {

using P = ContactProperty;
using Keep = ConflictAnswer::Keep;

// Every row of `sql` over the file at `path`, each as "column=value" texts.
std::vector<std::string> QueryLines(const std::string& path, const std::string& sql) {
  std::vector<std::string> lines;
  for (const std::vector<SqlValue>& row : QueryRows(path, sql)) {
    std::string& line = lines.emplace_back();
    for (const SqlValue& value : row) {
      line += (line.empty() ? "" : "; ") + value.column + "=" + value.text;
    }
  }
  return lines;
}

// Each card of the folder at `path` as one line, read by a store of its own.
std::vector<std::string> CardLines(const std::string& path, const std::string& prefix) {
  std::vector<std::string> lines;
  for (const CardView& card : ReadCards(path)) {
    std::string& line = lines.emplace_back(prefix + " " + card.typeName + ":");
    for (const auto& [name, value] : card.properties) {
      line += " " + name + "=" + value + ";";
    }
  }
  return lines;
}

// One side of a conflict as text. The speed dial of an empty entry is left
// out: a card whose number was removed in another client keeps its tag
// until the program rewrites the card, so the same conflict asked again
// after the rewrite differs only there.
std::string Boxes(const ConflictBoxes& b) {
  std::string text = b.ContactName + " |";
  for (const auto& [number, speed] : {std::pair{&b.Work2Number, &b.Work2Speed},
                                      {&b.DCNumber, &b.DCSpeed},
                                      {&b.HomeNumber, &b.HomeSpeed},
                                      {&b.Work1Number, &b.Work1Speed},
                                      {&b.MobileNumber, &b.MobileSpeed},
                                      {&b.FaxNumber, &b.FaxSpeed},
                                      {&b.PagerNumber, &b.PagerSpeed},
                                      {&b.OtherNumber, &b.OtherSpeed},
                                      {&b.EmailAddress, &b.EmailSpeed}}) {
    text += " " + *number + ":" + (number->empty() ? "" : *speed);
  }
  return text;
}

std::string FourDigits(int i) {
  std::string text = std::to_string(i);
  return std::string(text.size() < 4 ? 4 - text.size() : 0, '0') + text;
}

const char* const kGroupCard =
    "BEGIN:VCARD\r\nVERSION:4.0\r\nUID:club\r\nKIND:group\r\nFN:Book Club\r\nN:;;;;\r\n"
    "MEMBER:urn:uuid:ann\r\nEND:VCARD\r\n";

// Changes a card as another contacts program would, found by its File As;
// without changes, removes its file.
void EditCard(StoreFiles& files, const std::string& fileAs,
              const std::map<ContactProperty, std::string>& changes) {
  VCardContactStore other;
  std::unique_ptr<ContactsFolder> folder = other.OpenFolder(files.contactsPath);
  std::unique_ptr<ContactItem> item = folder->Find("[FileAs] = " + SqlQuote(fileAs));
  if (!item) {
    throw std::runtime_error("No card filed as " + fileAs);
  }
  if (changes.empty()) {
    std::filesystem::remove(item->Describe());
    return;
  }
  for (const auto& [property, value] : changes) {
    item->Set(property, value);
  }
  item->Save();
}

void RemoveCard(StoreFiles& files, const std::string& fileAs) {
  EditCard(files, fileAs, {});
}

// A run over the stores as they are, which must end complete.
void CleanRun(StoreFiles& files, const Scenario& scenario) {
  AnsweringView view = scenario.MakeView();
  RunWith(files, view, files.platform);
  if (view.status() != kStatusComplete || !view.messages.empty()) {
    throw std::runtime_error("The run that puts the stores in step did not complete: " +
                             (view.messages.empty() ? view.status() : view.messages.front()));
  }
}

void SeedFirstRun(StoreFiles& f) {
  // Matched by name, agreeing.
  f.AddCard({"ann",
             {{P::FileAs, "Lee, Ann"},
              {P::FirstName, "Ann"},
              {P::LastName, "Lee"},
              {P::FullName, "Ann Lee"},
              {P::User2, "Y"},
              {P::MobileTelephoneNumber, "555-111-0000"}}});
  f.AddPhoneBookRow("1", "Lee, Ann", "5551110000", 4, 1);
  f.AddCard({"sue",
             {{P::FileAs, "Uma, Sue"}, {P::User2, "Y"}, {P::MobileTelephoneNumber, "5551212000"}}});
  f.AddPhoneBookRow("7", "Uma, Sue", "5551212000", 4, 7);
  // Matched by name, differing: put to the user.
  f.AddCard(
      {"al", {{P::FileAs, "Ray, Al"}, {P::User2, "Y"}, {P::MobileTelephoneNumber, "5556660000"}}});
  f.AddPhoneBookRow("5", "Ray, Al", "5557770000", 4, 5);
  f.AddCard({"jo",
             {{P::FileAs, "Kim, Jo"},
              {P::User2, "Y"},
              {P::BusinessTelephoneNumber, "5558880000"},
              {P::MobileTelephoneNumber, "5550001111"}}});
  f.AddPhoneBookRow("6", "Kim, Jo", "5558880000", 3, 6);
  // On the desktop only.
  f.AddCard({"bo",
             {{P::FileAs, "Ng, Bo"},
              {P::User2, "yes"},
              {P::HomeTelephoneNumber, "5552220000"},
              {P::Email1Address, "bo@example.org"}}});
  f.AddCard({"tam",
             {{P::FileAs, "Vo, Tam"},
              {P::User2, "YES"},
              {P::MobileTelephoneNumber, "5559990000"},
              {P::BusinessFaxNumber, "5559991111"},
              {P::User1, "123*456*7890"}}});
  // On the phone only.
  f.AddPhoneBookRow("2", "Ox, Cy", "5553330000", 6, 2);
  f.AddPhoneBookRow("3", "Poe, Ed", "5554440000", 2, 3);
  f.AddPhoneBookRow("3", "Poe, Ed", "ed@example.org", 10, 4);
  // Taking no part: two excluded contacts with old IDs, and a list.
  f.AddCard({"dee",
             {{P::FileAs, "Dee"},
              {P::User2, "No"},
              {P::User3, "4"},
              {P::User4, "M:9"},
              {P::MobileTelephoneNumber, "5550009999"}}});
  f.AddCard({"eve",
             {{P::FileAs, "Eve"},
              {P::User2, ""},
              {P::User3, "12"},
              {P::User4, "H:12"},
              {P::HomeTelephoneNumber, "5550008888"}}});
  f.WriteCardFile("club.vcf", kGroupCard);
  // Names longer than the phone keeps, from either side.
  f.AddCard({"max",
             {{P::FileAs, "Montgomery-Smythe, Alexandra"},
              {P::User2, "Y"},
              {P::MobileTelephoneNumber, "5554545000"}}});
  f.AddPhoneBookRow("9", "Fairweather-Lindqvist, Bartholomew", "5555656000", 4, 9);
  // A card in vCard 2.1 with a home number the phone lacks; the conflict is
  // kept on the phone's side, so the card loses the number together with
  // the slot just handed to it.
  f.WriteCardFile("ida.vcf",
                  "BEGIN:VCARD\r\nVERSION:2.1\r\nN:Zed;Ida\r\nFN:Ida Zed\r\n"
                  "TEL;CELL;VOICE:555-818-1000\r\nTEL;HOME:555-818-2000\r\n"
                  "NOTE;ENCODING=QUOTED-PRINTABLE:Met at the =\r\nlibrary\r\n"
                  "X-TWINBOOK-USER2:Y\r\nEND:VCARD\r\n");
  f.AddPhoneBookRow("10", "Zed, Ida", "5558181000", 4, 10);
}

}  // namespace

KeepRule KeepByName(std::map<std::string, ConflictAnswer::Keep> keep,
                    ConflictAnswer::Keep otherwise) {
  return [keep = std::move(keep), otherwise](const std::string& name) {
    const auto chosen = keep.find(name);
    return chosen == keep.end() ? otherwise : chosen->second;
  };
}

std::optional<ConflictAnswer> AnsweringView::AskConflict(const ConflictQuestion& question) {
  conflictsAsked.push_back(question);
  const Keep keep = keep_(question.outlook.ContactName);
  return ConflictAnswer{keep, keep == Keep::Outlook ? question.outlook : question.phoneBook};
}

std::optional<NameValues> AnsweringView::AskNewName(const NameValues& proposal,
                                                    const std::string& nameField) {
  namesAsked.emplace_back(proposal, nameField);
  return proposal;
}

Scenario FirstRunScenario() {
  // A conflict nobody expected keeps the PhoneBook side: were it one left by
  // a contact half written, its missing numbers would then show in the stores.
  return Scenario{
      "FirstRun", SeedFirstRun,
      KeepByName(
          {{"Ray, Al", Keep::PhoneBook}, {"Kim, Jo", Keep::Outlook}, {"Zed, Ida", Keep::PhoneBook}},
          Keep::PhoneBook)};
}

Scenario ChangesScenario() {
  Scenario scenario{
      "Changes", nullptr,
      KeepByName({{"Kim, Jo", Keep::PhoneBook}, {"Uma, Sue", Keep::Outlook}}, Keep::PhoneBook)};
  scenario.seed = [scenario](StoreFiles& f) {
    // Before: the phone's contacts and two desktop ones, put in step.
    std::string sql;
    sql += PhoneBookRowSql("1", "Lee, Ann", "5551110000", 4, 1);
    sql += PhoneBookRowSql("2", "Ng, Bo", "5552220000", 2, 2);
    sql += PhoneBookRowSql("2", "Ng, Bo", "bo@example.org", 10, 3);
    sql += PhoneBookRowSql("3", "Ox, Cy", "5553330000", 6, 4);
    sql += PhoneBookRowSql("4", "Poe, Ed", "5554440000", 2, 5);
    sql += PhoneBookRowSql("5", "Ray, Al", "5556660000", 4, 6);
    sql += PhoneBookRowSql("6", "Kim, Jo", "5558880000", 3, 7);
    sql += PhoneBookRowSql("7", "Uma, Sue", "5551212000", 4, 8);
    sql += PhoneBookRowSql("8", "Tan, Wei", "5553434000", 4, 9);
    sql += PhoneBookRowSql("9", "Lim, Kay", "5556565000", 4, 10);
    sql += PhoneBookRowSql("10", "Ito, Ken", "5552323000", 4, 11);
    sql += PhoneBookRowSql("11", "Fox, Liv", "5552424000", 4, 12);
    sql += PhoneBookRowSql("11", "Fox, Liv", "5552525000", 2, 13);
    f.ExecutePhoneBookSql(sql);
    f.AddCard({"mei",
               {{P::FileAs, "Oda, Mei"},
                {P::User2, "Y"},
                {P::MobileTelephoneNumber, "5557171000"},
                {P::HomeTelephoneNumber, "5557272000"}}});
    f.AddCard({"max",
               {{P::FileAs, "Montgomery-Smythe, Alexandra"},
                {P::User2, "Y"},
                {P::MobileTelephoneNumber, "5554545000"}}});
    f.AddCard(
        {"dee", {{P::FileAs, "Dee"}, {P::User2, "No"}, {P::MobileTelephoneNumber, "5550009999"}}});
    f.WriteCardFile("club.vcf", kGroupCard);
    CleanRun(f, scenario);

    // Changed on the desktop.
    EditCard(f, "Lee, Ann", {{P::MobileTelephoneNumber, "(555) 111-2222"}});
    EditCard(f, "Ng, Bo", {{P::FileAs, "Ng, Bob"}, {P::BusinessFaxNumber, "5552229999"}});
    RemoveCard(f, "Poe, Ed");
    EditCard(f, "Tan, Wei", {{P::User2, "No"}});
    EditCard(f, "Kim, Jo", {{P::BusinessTelephoneNumber, "5558880001"}});
    EditCard(f, "Uma, Sue", {{P::Email1Address, "sue@example.org"}});
    EditCard(f, "Oda, Mei", {{P::HomeTelephoneNumber, ""}});
    EditCard(f, "Ito, Ken", {{P::MobileTelephoneNumber, "5552323111"}});
    // A number that has no speed dial yet, on a contact deleted on the phone.
    EditCard(f, "Ray, Al", {{P::HomeTelephoneNumber, "5556660001"}});
    // The same first 22 characters: the phone's rows keep their name.
    EditCard(f, "Montgomery-Smythe, Alexandra", {{P::FileAs, "Montgomery-Smythe, Alexandria"}});
    f.AddCard({"tam",
               {{P::FileAs, "Vo, Tam"},
                {P::User2, "YES"},
                {P::MobileTelephoneNumber, "5559990000"},
                {P::User1, "123*456*7890"}}});

    // Changed on the phone.
    f.ExecutePhoneBookSql(
        "UPDATE tblContactList SET Number = '5553330001', ContactName = 'Ox, Cyrus' "
        "WHERE ContactID = 3;"
        "DELETE FROM tblContactList WHERE ContactID = 5;"
        "UPDATE tblContactList SET Number = '5558880002' WHERE ContactID = 6;"
        "UPDATE tblContactList SET Number = '5551212999' WHERE ContactID = 7;"
        "UPDATE tblContactList SET SpeedDial = 30 WHERE ContactID = 9;"
        "UPDATE tblContactList SET Number = '5552323111' WHERE ContactID = 10;"
        "DELETE FROM tblContactList WHERE ContactID = 11 AND NumberType = 2;\n" +
        PhoneBookRowSql("9", "Lim, Kay", "5556767000", 2, 31) +
        PhoneBookRowSql("20", "Wu, Lin", "5557878000", 4, 21) +
        PhoneBookRowSql("20", "Wu, Lin", "lin@example.org", 10, 22));
  };
  return scenario;
}

Scenario SampleDataScenario() {
  return Scenario{"SampleData",
                  [](StoreFiles& f) {
                    std::filesystem::remove_all(f.data);
                    InstallSampleData(f.data);
                  },
                  KeepByName({{"Brennan, Thomas", Keep::Outlook}}, Keep::PhoneBook)};
}

Scenario LargeScenario(int count) {
  std::map<std::string, Keep> keep;
  for (int i = 0; i < count; i += 5) {
    keep["Match " + FourDigits(i)] = Keep::Outlook;
  }
  Scenario scenario{"Large", nullptr, KeepByName(keep, Keep::PhoneBook)};
  scenario.seed = [count](StoreFiles& f) {
    std::string sql;
    int speed = 1;
    for (int i = 0; i < count; ++i) {
      const std::string n = FourDigits(i);
      // Matched by name; every fifth one differs and is put to the user.
      const std::string matched = "Match " + n;
      sql += PhoneBookRowSql(std::to_string(i + 1), matched, "555100" + n, 4, speed++);
      f.AddCard({"match" + n,
                 {{P::FileAs, matched},
                  {P::User2, "Y"},
                  {P::MobileTelephoneNumber, (i % 5 == 0 ? "555109" : "555100") + n}}});
      // On the phone only.
      const std::string id = std::to_string(1000 + i);
      sql += PhoneBookRowSql(id, "Phone " + n, "555200" + n, 4, speed++);
      sql += PhoneBookRowSql(id, "Phone " + n, "555300" + n, 2, speed++);
      // On the desktop only.
      f.AddCard({"desk" + n,
                 {{P::FileAs, "Desk " + n},
                  {P::User2, "YES"},
                  {P::MobileTelephoneNumber, "555400" + n},
                  {P::Email1Address, "desk" + n + "@example.org"}}});
    }
    f.ExecutePhoneBookSql(sql);
  };
  return scenario;
}

namespace {

// A kind of number as both sides keep it.
struct Kind {
  int code;
  ContactProperty property;
};

constexpr Kind kKinds[] = {
    {0, P::Business2TelephoneNumber},
    {1, P::User1},
    {2, P::HomeTelephoneNumber},
    {3, P::BusinessTelephoneNumber},
    {4, P::MobileTelephoneNumber},
    {5, P::BusinessFaxNumber},
    {6, P::PagerNumber},
    {9, P::OtherTelephoneNumber},
    {10, P::Email1Address},
};

// A number of this kind in the form both sides keep unchanged: ten digits,
// a direct connect number, an address in small letters.
std::string NumberOf(const Kind& kind, std::mt19937& random) {
  const std::string digits = std::to_string(1000000 + random() % 9000000);
  if (kind.code == 1) {
    return "164*12*" + digits.substr(3);
  }
  if (kind.code == 10) {
    return "x" + digits + "@example.org";
  }
  return "555" + digits;
}

const char* const kFirstNames[] = {"Ann", "Bo",  "Cy",  "Dov", "Eli", "Fay", "Gus", "Hal",
                                   "Ivy", "Jon", "Kai", "Lou", "Max", "Ned", "Ola", "Pat"};

void SeedRandomChanges(StoreFiles& f, const Scenario& scenario, unsigned seed) {
  std::mt19937 random(seed);
  auto chance = [&random](int percent) { return static_cast<int>(random() % 100) < percent; };
  constexpr int kContacts = 8;
  // Before: the phone's contacts, put in step by a clean run.
  std::string sql;
  int speed = 1;
  std::vector<std::string> names;
  for (int id = 1; id <= kContacts; ++id) {
    names.push_back(std::string("Rand, ") + kFirstNames[id - 1]);
    std::vector<Kind> kinds(std::begin(kKinds), std::end(kKinds));
    std::shuffle(kinds.begin(), kinds.end(), random);
    const size_t count = 1 + random() % 3;
    for (size_t k = 0; k < count; ++k) {
      sql += PhoneBookRowSql(std::to_string(id), names.back(), NumberOf(kinds[k], random),
                             kinds[k].code, speed++);
    }
  }
  f.ExecutePhoneBookSql(sql);
  CleanRun(f, scenario);

  sql.clear();
  for (int id = 1; id <= kContacts; ++id) {
    const std::string& name = names[id - 1];
    const std::string where = " WHERE ContactID = " + std::to_string(id);
    // Changed on the desktop.
    bool desktopChanged = true;
    if (chance(10)) {
      RemoveCard(f, name);
    } else if (chance(8)) {
      EditCard(f, name, {{P::User2, "No"}});
    } else {
      std::map<ContactProperty, std::string> changes;
      for (const Kind& kind : kKinds) {
        if (chance(12)) {
          changes[kind.property] = chance(30) ? "" : NumberOf(kind, random);
        }
      }
      if (chance(15)) {
        changes[P::FileAs] = name + "-" + std::to_string(random() % 10);
      }
      desktopChanged = !changes.empty();
      if (desktopChanged) {
        EditCard(f, name, changes);
      }
    }
    // Changed on the phone.
    if (chance(10)) {
      sql += "DELETE FROM tblContactList" + where + ";";
      continue;
    }
    for (const Kind& kind : kKinds) {
      const std::string row = where + " AND NumberType = " + std::to_string(kind.code);
      if (chance(8)) {
        sql += "DELETE FROM tblContactList" + row + ";";
      } else if (chance(10)) {
        sql += "UPDATE tblContactList SET Number = " + SqlQuote(NumberOf(kind, random)) + row + ";";
      } else if (chance(6) && !desktopChanged) {
        // Only where the desktop did not change the contact too: the writer
        // never changes the speed dial of an existing row, so a conflict
        // kept on the desktop's side would leave the phone's speed dials,
        // and the next run would copy them back, crash or no crash.
        sql += "UPDATE tblContactList SET SpeedDial = " + std::to_string(50 + random() % 40) + row +
               ";";
      }
    }
    if (chance(15)) {
      sql +=
          "UPDATE tblContactList SET ContactName = " + SqlQuote(name + "+" + std::to_string(id)) +
          where + ";";
    }
  }
  // New on either side.
  for (int n = 0; n < 2; ++n) {
    const std::string newName = std::string("New, ") + kFirstNames[8 + n];
    if (chance(60)) {
      std::map<ContactProperty, std::string> card{{P::FileAs, newName}, {P::User2, "Y"}};
      const Kind& kind = kKinds[random() % std::size(kKinds)];
      card[kind.property] = NumberOf(kind, random);
      f.AddCard({"new" + std::to_string(n), card});
    }
    if (chance(60)) {
      const Kind& kind = kKinds[random() % std::size(kKinds)];
      sql += PhoneBookRowSql(std::to_string(20 + n), newName + "+", NumberOf(kind, random),
                             kind.code, 40 + n);
    }
  }
  if (!sql.empty()) {
    f.ExecutePhoneBookSql(sql);
  }
}

}  // namespace

Scenario RandomChangesScenario(unsigned seed) {
  // The names a contact may show: its own, renamed on the desktop ("-") or
  // on the phone ("+").
  const KeepRule keep = [](const std::string& name) {
    for (size_t id = 1; id <= std::size(kFirstNames); ++id) {
      if (name.starts_with(std::string("Rand, ") + kFirstNames[id - 1])) {
        return id % 2 == 1 ? Keep::Outlook : Keep::PhoneBook;
      }
    }
    return Keep::Outlook;
  };
  Scenario scenario{"RandomChanges" + std::to_string(seed), nullptr, keep};
  scenario.seed = [scenario, seed](StoreFiles& f) { SeedRandomChanges(f, scenario, seed); };
  return scenario;
}

void RunWith(StoreFiles& files, UserView& view, Platform& platform) {
  RunContext context{files.state, view, platform};
  StartSync(context);
}

void CopyDataFolder(const std::string& from, const std::string& to) {
  std::filesystem::remove_all(to);
  std::filesystem::copy(from, to, std::filesystem::copy_options::recursive);
}

std::vector<std::string> StoreLines(const StoreFiles& files) {
  std::vector<std::string> lines;
  for (std::string& row : QueryLines(files.phoneBookPath, "SELECT * FROM tblContactList")) {
    lines.push_back("phonebook " + std::move(row));
  }
  for (std::string& row : QueryLines(files.syncPath, "SELECT * FROM SyncContacts")) {
    lines.push_back("sync " + std::move(row));
  }
  for (std::string& card : CardLines(files.contactsPath, "card")) {
    lines.push_back(std::move(card));
  }
  const std::string deleted = files.contactsPath + "/.deleted";
  if (std::filesystem::exists(deleted)) {
    for (std::string& card : CardLines(deleted, "deleted card")) {
      lines.push_back(std::move(card));
    }
  }
  std::sort(lines.begin(), lines.end());
  return lines;
}

std::vector<std::string> Difference(const std::vector<std::string>& expected,
                                    const std::vector<std::string>& actual) {
  std::vector<std::string> a = expected;
  std::vector<std::string> b = actual;
  std::sort(a.begin(), a.end());
  std::sort(b.begin(), b.end());
  std::vector<std::string> missing;
  std::vector<std::string> extra;
  std::set_difference(a.begin(), a.end(), b.begin(), b.end(), std::back_inserter(missing));
  std::set_difference(b.begin(), b.end(), a.begin(), a.end(), std::back_inserter(extra));
  std::vector<std::string> difference;
  for (const std::string& line : missing) {
    difference.push_back("- " + line);
  }
  for (const std::string& line : extra) {
    difference.push_back("+ " + line);
  }
  return difference;
}

std::string Joined(const std::vector<std::string>& lines, size_t limit) {
  std::string text;
  for (size_t i = 0; i < lines.size() && i < limit; ++i) {
    text += "\n    " + lines[i];
  }
  if (lines.size() > limit) {
    text += "\n    ... " + std::to_string(lines.size() - limit) + " more";
  }
  return text;
}

std::string IntegrityCheck(const std::string& path) {
  std::string result;
  for (const std::string& line : QueryLines(path, "PRAGMA integrity_check")) {
    result += (result.empty() ? "" : "\n") + line.substr(line.find('=') + 1);
  }
  return result;
}

std::string QuestionText(const ConflictQuestion& question) {
  return "conflict: Outlook " + Boxes(question.outlook) + " / PhoneBook " +
         Boxes(question.phoneBook);
}

std::string QuestionText(const NameValues& proposal) {
  return "name: " + proposal.FirstName + " | " + proposal.LastName + " | " + proposal.FullName +
         " | " + proposal.FileAs;
}

std::vector<std::string> QuestionsAsked(const ScriptedView& view) {
  std::vector<std::string> questions;
  for (const ConflictQuestion& question : view.conflictsAsked) {
    questions.push_back(QuestionText(question));
  }
  for (const auto& [proposal, nameField] : view.namesAsked) {
    questions.push_back(QuestionText(proposal));
  }
  return questions;
}

}  // namespace twinbook::testing
