#include "stores/outlook_writer.h"

#include <set>
#include <vector>

#include "environment/activity_log.h"
#include "stores/masking.h"
#include "stores/name_prompt.h"
#include "stores/outlook_import.h"
#include "stores/speed_tags.h"

namespace twinbook {

namespace {

constexpr const char* kIncluded = "' and ([User2] = 'Y' or [User2]='YES')";

// A number or address of a record and the contact property it goes to, in
// the order both the update and the create step handle them.
struct PhoneRow {
  RecordText SyncObject::*value;
  ContactProperty property;
  bool isPhone;  // compared by its digits and written masked
  const char* updateBegins;
  const char* createBegins;
  RecordText SyncObject::*speed;
};

constexpr PhoneRow kPhoneRows[] = {
    {&SyncObject::DCNumber, ContactProperty::User1, false, "... The direct connect number for ",
     "........ Direct connect number: ", &SyncObject::DCSpeed},
    {&SyncObject::EmailAddress, ContactProperty::Email1Address, false, "... The email address for ",
     "........ Email address: ", &SyncObject::EmailSpeed},
    {&SyncObject::FaxNumber, ContactProperty::BusinessFaxNumber, true, "... The FAX number for ",
     "........ FAX number: ", &SyncObject::FaxSpeed},
    {&SyncObject::HomeNumber, ContactProperty::HomeTelephoneNumber, true,
     "... The home number for ", "........ Home number: ", &SyncObject::HomeSpeed},
    {&SyncObject::MobileNumber, ContactProperty::MobileTelephoneNumber, true,
     "... The mobile number for ", "........ Mobile number: ", &SyncObject::MobileSpeed},
    {&SyncObject::OtherNumber, ContactProperty::OtherTelephoneNumber, true,
     "... The 'other' number for ", "........ 'Other' number: ", &SyncObject::OtherSpeed},
    {&SyncObject::PagerNumber, ContactProperty::PagerNumber, true, "... The pager number for ",
     "........ Pager number: ", &SyncObject::PagerSpeed},
    {&SyncObject::Work1Number, ContactProperty::BusinessTelephoneNumber, true,
     "... The work number for ", "........ Work number: ", &SyncObject::Work1Speed},
    {&SyncObject::Work2Number, ContactProperty::Business2TelephoneNumber, true,
     "... The secondary work number for ",
     "........ Secondary work number: ", &SyncObject::Work2Speed},
};

// The speed dials a tag text holds, each as the slot's text.
std::set<std::string> SlotsOf(const std::string& tagText) {
  SyncObject speeds;
  ApplySpeedTagText(speeds, tagText);
  std::set<std::string> slots;
  for (const RecordText* speed : {&speeds.DCSpeed, &speeds.EmailSpeed, &speeds.FaxSpeed,
                                  &speeds.HomeSpeed, &speeds.MobileSpeed, &speeds.OtherSpeed,
                                  &speeds.PagerSpeed, &speeds.Work1Speed, &speeds.Work2Speed}) {
    if (!speed->empty()) {
      slots.insert(*speed);
    }
  }
  return slots;
}

std::string SpeedLine(const SyncObject& record) {
  return "... The new speed dial values for " + record.ContactName + " have been saved.";
}

// Carries the flags of OutlookSet into the folder, one record at a time.
//
// Each contact is saved once, after all its changes, and its log lines are
// written after that save. A contact saved halfway (its new name with its
// old numbers) would read on the next run as a different change on each
// side and be put to the user as a conflict; saved whole, a crash leaves it
// as it was or as it should be, and the next run finishes the job.
class OutlookWriter {
 public:
  OutlookWriter(RunContext& context, LogFile& log)
      : context_(context),
        log_(log),
        nameField_(context.settings().NameField),
        maskOption_(context.settings().MaskOption) {}

  // Whether saving the record's contact takes a number, an address or a
  // speed dial off the card ("W" writes the record's numbers and tags, "S"
  // its tags). Each of them may hold a slot that this run counted as in use.
  bool GivesUpSpeedDial(const SyncObject& record) {
    if (record.Flag != "W" && record.Flag != "S") {
      return false;
    }
    std::unique_ptr<ContactItem> item = FindQuietly(record);
    if (!item) {
      return false;
    }
    if (record.Flag == "W") {
      for (const PhoneRow& row : kPhoneRows) {
        if ((record.*row.value).empty() && !item->Get(row.property).empty()) {
          return true;
        }
      }
    }
    const std::set<std::string> kept = SlotsOf(SpeedTagText(record));
    for (const std::string& slot : SlotsOf(item->Get(ContactProperty::User4))) {
      if (!kept.contains(slot)) {
        return true;
      }
    }
    return false;
  }

  void Write(const SyncObject& record) {
    const std::string& flag = record.Flag;
    if (flag == "D") {
      Delete(record);
    } else if (flag == "W") {
      Update(record);
    } else if (flag == "C") {
      Create(record);
    } else if (flag == "S") {
      SaveSpeedDials(record);
    } else if (flag == "I") {
      SaveContactID(record);
    }
  }

  void Delete(const SyncObject& record) {
    std::unique_ptr<ContactItem> item = FindByID(record);
    if (!item) {
      log_.WriteLine("... " + record.ContactName + " was not found to be deleted.");
      return;
    }
    item->Delete();
    log_.WriteLine("... " + record.ContactName + " has been deleted.");
  }

  void SaveSpeedDials(const SyncObject& record) {
    std::unique_ptr<ContactItem> item = Find(record);
    if (!item) {
      return;
    }
    item->Set(ContactProperty::User4, SpeedTagText(record));
    item->Save();
    log_.WriteLine(SpeedLine(record));
  }

  void SaveContactID(const SyncObject& record) {
    std::unique_ptr<ContactItem> item = Find(record);
    if (!item) {
      return;
    }
    item->Set(ContactProperty::User3, record.ContactID);
    item->Set(ContactProperty::User4, SpeedTagText(record));
    item->Save();
    log_.WriteLine("... " + record.ContactName + " has been assigned a contact ID of " +
                   record.ContactID + ".");
    log_.WriteLine(SpeedLine(record));
  }

  void Update(const SyncObject& record) {
    std::unique_ptr<ContactItem> item = Find(record);
    if (!item) {
      return;
    }
    const std::string currentName = CurrentName(*item);
    const std::string currentSpeeds = item->Get(ContactProperty::User4);
    std::vector<std::string> lines;

    item->Set(ContactProperty::User3, record.ContactID);

    if (record.ContactName != currentName) {
      const NameValues current{
          item->Get(ContactProperty::FirstName), item->Get(ContactProperty::LastName),
          item->Get(ContactProperty::FullName), item->Get(ContactProperty::FileAs)};
      const NameValues chosen = AskNewName(record, current);
      const std::string nickname = NewNickname(record);
      item->Set(ContactProperty::FileAs, chosen.FileAs);
      item->Set(ContactProperty::FullName, chosen.FullName);
      if (!nickname.empty()) {
        item->Set(ContactProperty::NickName, nickname);
      }
      item->Set(ContactProperty::LastName, chosen.LastName);
      item->Set(ContactProperty::FirstName, chosen.FirstName);
      lines.push_back("... The following name changes for " + currentName + " have been made:");
      AddDetail(lines, "........ First name: ", chosen.FirstName);
      AddDetail(lines, "........ Last name: ", chosen.LastName);
      AddDetail(lines, "........ Full name: ", chosen.FullName);
      AddDetail(lines, "........ Nick name: ", nickname);
      AddDetail(lines, "........ File as: ", chosen.FileAs);
    }

    for (const PhoneRow& row : kPhoneRows) {
      const std::string stored = item->Get(row.property);
      const std::string old = row.isPhone ? DigitsOnly(stored) : stored;
      const std::string wanted =
          row.isPhone ? DigitsOnly(record.*row.value) : (record.*row.value).str();
      if (wanted == old) {
        continue;
      }
      const std::string written = row.isPhone ? MaskPhoneNumber(wanted, maskOption_) : wanted;
      item->Set(row.property, written);
      if (row.property == ContactProperty::Email1Address && written.empty()) {
        item->Set(ContactProperty::Email1DisplayName, "");
      }
      if (written.empty()) {
        lines.push_back(row.updateBegins + record.ContactName + " has been deleted.");
      } else {
        lines.push_back(row.updateBegins + record.ContactName + " has been changed from " + old +
                        " to " + written + ".");
      }
    }

    const std::string speeds = SpeedTagText(record);
    if (speeds != currentSpeeds) {
      item->Set(ContactProperty::User4, speeds);
      lines.push_back(SpeedLine(record));
    }

    // Also stores User3 when nothing else changed; an unchanged card is
    // not written at all.
    item->Save();
    for (const std::string& line : lines) {
      log_.WriteLine(line);
    }
  }

  void Create(const SyncObject& record) {
    std::unique_ptr<ContactItem> item = Folder().CreateItem();
    const NameValues chosen = AskNewName(record, NameValues{});
    const std::string nickname = NewNickname(record);

    item->Set(ContactProperty::FileAs, chosen.FileAs);
    item->Set(ContactProperty::User3, record.ContactID);
    SetIfNotEmpty(*item, ContactProperty::FirstName, chosen.FirstName);
    SetIfNotEmpty(*item, ContactProperty::LastName, chosen.LastName);
    SetIfNotEmpty(*item, ContactProperty::NickName, nickname);
    SetIfNotEmpty(*item, ContactProperty::FullName, chosen.FullName);
    SetIfNotEmpty(*item, ContactProperty::User1, record.DCNumber);
    if (!record.EmailAddress.empty()) {
      item->Set(ContactProperty::Email1Address, record.EmailAddress);
      item->Set(ContactProperty::Email1AddressType, "SMTP");
    }
    for (const PhoneRow& row : kPhoneRows) {
      if (row.isPhone) {
        SetIfNotEmpty(*item, row.property, MaskPhoneNumber(record.*row.value, maskOption_));
      }
    }
    SetIfNotEmpty(*item, ContactProperty::User4, SpeedTagText(record));
    item->Set(ContactProperty::User2, "YES");
    item->Save();

    // What the folder now holds, read back from the saved contact.
    log_.WriteLine("... " + record.ContactName + " has been added with the following values:");
    log_.WriteLine("........ Contact ID: " + item->Get(ContactProperty::User3));
    log_.WriteLine("........ File as: " + item->Get(ContactProperty::FileAs));
    std::vector<std::string> lines;
    AddDetail(lines, "........ First name: ", item->Get(ContactProperty::FirstName));
    AddDetail(lines, "........ Last name: ", item->Get(ContactProperty::LastName));
    AddDetail(lines, "........ Full name: ", item->Get(ContactProperty::FullName));
    AddDetail(lines, "........ Nickname: ", item->Get(ContactProperty::NickName));
    for (const PhoneRow& row : kPhoneRows) {
      const std::string value = item->Get(row.property);
      if (!value.empty()) {
        const char* speedLabel =
            row.property == ContactProperty::Email1Address ? ", Speed dial:  " : ", Speed dial: ";
        lines.push_back(row.createBegins + value + speedLabel + record.*row.speed);
      }
    }
    for (const std::string& line : lines) {
      log_.WriteLine(line);
    }
  }

 private:
  static void AddDetail(std::vector<std::string>& lines, const char* begins,
                        const std::string& value) {
    if (!value.empty()) {
      lines.push_back(begins + value);
    }
  }

  static void SetIfNotEmpty(ContactItem& item, ContactProperty property, const std::string& value) {
    if (!value.empty()) {
      item.Set(property, value);
    }
  }

  std::string CurrentName(const ContactItem& item) const {
    if (nameField_ == "File As") {
      return item.Get(ContactProperty::FileAs);
    }
    if (nameField_ == "Full Name") {
      return item.Get(ContactProperty::FullName);
    }
    if (nameField_ == "Nickname") {
      return item.Get(ContactProperty::NickName);
    }
    return "";
  }

  // The property part of the name filter, or "" for a name field that
  // names no property.
  std::string NamePrefix() const {
    if (nameField_ == "File As") {
      return "[FileAs] ='";
    }
    if (nameField_ == "Full Name") {
      return "[FullName] ='";
    }
    if (nameField_ == "Nickname") {
      return "[Nickname] ='";
    }
    return "";
  }

  // With the name field "Nickname" the synchronised name is the nickname,
  // so a rename must reach it; the prompt has no box for it.
  std::string NewNickname(const SyncObject& record) const {
    return nameField_ == "Nickname" ? record.ContactName : "";
  }

  // Shows the name prompt and returns the values to write, which are also
  // the run's four name results. They are set afresh for every contact: a
  // prompt closed without OK gives the values it was filled with for this
  // contact, never values confirmed for another one.
  NameValues AskNewName(const SyncObject& record, const NameValues& current) {
    const NameValues proposal = ProposeNewName(nameField_, record.ContactName, current);
    std::optional<NameValues> answer = context_.view.AskNewName(proposal, nameField_);
    context_.StopIfQuitting();
    const NameValues chosen = answer.value_or(proposal);
    RunState& state = context_.state;
    state.NewFirstName = chosen.FirstName;
    state.NewLastName = chosen.LastName;
    state.NewFullName = chosen.FullName;
    state.NewFileAs = chosen.FileAs;
    return chosen;
  }

  // Values in filters have their quotes doubled, so that a name such as
  // O'Brien is found and no value can change what a filter means.
  std::unique_ptr<ContactItem> FindByID(const SyncObject& record) {
    return Folder().Find("[User3] ='" + QuoteFilterValue(record.ContactID) + kIncluded);
  }

  // By ID, else by name among the contacts that carry no ID yet: an "I"
  // record's contact has none, and a contact that carries another
  // contact's ID must never be taken for this one.
  std::unique_ptr<ContactItem> Find(const SyncObject& record) {
    std::unique_ptr<ContactItem> item = FindQuietly(record);
    if (!item) {
      log_.WriteLine("... " + record.ContactName + " was not found to be modified.");
    }
    return item;
  }

  std::unique_ptr<ContactItem> FindQuietly(const SyncObject& record) {
    std::unique_ptr<ContactItem> item = FindByID(record);
    const std::string prefix = NamePrefix();
    if (!item && !prefix.empty()) {
      item = Folder().Find("[User3] = '' and " + prefix + QuoteFilterValue(record.ContactName) +
                           kIncluded);
    }
    return item;
  }

  RunContext& context_;
  // Opened when a contact first needs it: a run with nothing to carry
  // into the folder lists it only once, when loading, which at tens of
  // thousands of cards is a good part of such a run.
  ContactsFolder& Folder() {
    if (!folder_) {
      folder_ = context_.platform.contacts.OpenFolder(context_.settings().ContactsPath);
    }
    return *folder_;
  }

  std::unique_ptr<ContactsFolder> folder_;
  LogFile& log_;
  const std::string nameField_;
  const std::uint8_t maskOption_;
};

}  // namespace

void WriteOutlookContacts(RunContext& context) {
  const Settings& settings = context.settings();
  LogFile log(settings.LogPath, LogFile::Mode::Append);
  log.WriteLine("Writing to Outlook Contacts.");
  OutlookWriter writer(context, log);

  // Cards that give up a number, an address or a speed dial are saved after
  // all the others. The slots handed out in this run were numbered around
  // every slot in use when it loaded, the ones of numbers it then drops
  // included (a conflict kept on the PhoneBook's side drops the desktop's
  // new numbers with the slots just given to them). So every card that
  // takes up a new slot must be saved before any slot is given up: were a
  // run interrupted in between, the next run would find the given-up slot
  // free and hand it to a number this run had numbered past it, and the
  // stores would end otherwise than the uninterrupted run leaves them.
  std::vector<const SyncObject*> givingUp;
  for (const SyncObject& record : context.state.OutlookSet) {
    if (writer.GivesUpSpeedDial(record)) {
      givingUp.push_back(&record);
    } else {
      writer.Write(record);
    }
  }
  // Last first: slots are handed out in the set's order, so the later
  // cards give up the higher slots, and a slot given up is then never one
  // below the new slot of a card still to be saved.
  for (auto record = givingUp.rbegin(); record != givingUp.rend(); ++record) {
    writer.Write(**record);
  }
  log.Close();
}

}  // namespace twinbook
