#include "reference_engine.h"

#include <vector>

#include "engine/change_flags.h"
#include "engine/conflict.h"
#include "engine/phonebook_names.h"
#include "engine/reconcile.h"
#include "environment/activity_log.h"
#include "stores/speed_tags.h"

namespace twinbook::reference {

#define TB_ENTRY(kind) \
  { &SyncObject::kind##Number, &SyncObject::kind##Speed }
const std::pair<Field, Field> kEntries[9] = {
    TB_ENTRY(DC),     TB_ENTRY(Fax),   TB_ENTRY(Home),
    TB_ENTRY(Mobile), TB_ENTRY(Other), TB_ENTRY(Pager),
    TB_ENTRY(Work1),  TB_ENTRY(Work2), {&SyncObject::EmailAddress, &SyncObject::EmailSpeed}};
#undef TB_ENTRY

namespace {

struct Run {
  explicit Run(RunContext& context) : c(context) {}
  RunContext& c;
  SyncSet& ol = c.state.OutlookSet;
  SyncSet& pb = c.state.PhoneBookSet;
  SyncSet& sy = c.state.SyncDatabaseSet;
  std::vector<int> open;  // sync positions of conflicts left without a choice

  static void MarkM(SyncObject* r) { r->Flag = r->Flag.empty() ? "M" : r->Flag; }

  void Log(const std::string& line) {
    LogFile log(c.settings().LogPath, LogFile::Mode::Append);
    log.WriteLine(line);
    log.Close();
  }
  // The lowest number that `owner` finds in none of the three sets.
  std::string Free(int (*owner)(const std::string&, const SyncSet&)) {
    long long n = 1;
    while (owner(std::to_string(n), ol) || owner(std::to_string(n), pb) ||
           owner(std::to_string(n), sy)) {
      ++n;
    }
    return std::to_string(n);
  }
  void Reconciled(SyncObject& y) {
    Log("... " + y.ContactName + (y.Flag == "N" ? " will be added to" : " will be modified in") +
        " the sync database.");
    y.Flag = y.Flag == "N" ? "C" : "W";
  }
  void HandOver(const std::string& name, int o, int p, int y) {
    Log("... Conflict detected for " + name);
    c.state.ConflictOutlookIndex = o;
    c.state.ConflictPhoneBookIndex = p;
    c.state.ConflictSyncIndex = y;
    const auto answer = c.view.AskConflict({BoxesOf(ol.Item(o)), BoxesOf(pb.Item(p))});
    c.StopIfQuitting();
    answer ? ApplyConflictChoice(c, *answer) : open.push_back(y);
  }
  void HoldBack() {
    for (int y : open) {
      if (sy.Item(y).Flag == "N") {
        sy.Item(y).Flag = "";
        Log("... " + sy.Item(y).ContactName +
            " will not be added to the sync database until its conflict is resolved.");
      }
    }
  }

  void AssignContactIDs() {
    Log("Verifying that all Outlook Contact items contain a contact ID.");
    for (SyncObject& o : ol) {
      if (!o.ContactID.empty())
        continue;
      const int p = FindByContactName(o.ContactName, pb);
      if (p > 0 && FindByContactID(pb.Item(p).ContactID, ol) == 0) {
        o.ContactID = pb.Item(p).ContactID;
        Log("... " + o.ContactName + " in Outlook has been matched with " + pb.Item(p).ContactName +
            " in the PhoneBook and assigned a contact ID of " + o.ContactID + ".");
      } else {
        o.ContactID = Free(FindByContactID);
        Log("... " + o.ContactName + " has been assigned a new contact ID of " + o.ContactID + ".");
      }
      if (o.Flag.empty()) {
        o.Flag = "I";
        Log("... " + o.ContactName + " will be modified in Outlook.");
      }
    }
  }

  void FlagDeletedItems() {
    Log("Checking for items that have been deleted.");
    for (SyncObject& y : sy) {
      const int p = FindByContactID(y.ContactID, pb), o = FindByContactID(y.ContactID, ol);
      if (p == 0 || o == 0) {
        y.Flag = "D";
        SyncObject& survivor = p > 0 ? pb.Item(p) : o > 0 ? ol.Item(o) : y;
        survivor.Flag = "D";
        Log("... " + survivor.ContactName + " has been deleted from " +
            (p > 0   ? "Outlook."
             : o > 0 ? "the PhoneBook."
                     : "both Outlook and the PhoneBook."));
      }
    }
  }

  void FlagNewIn(bool outlookSide) {
    SyncSet& own = outlookSide ? ol : pb;
    SyncSet& other = outlookSide ? pb : ol;
    Log(outlookSide ? "Checking for new items in Outlook."
                    : "Checking for new items in the PhoneBook.");
    for (SyncObject& r : own) {
      if (r.Flag != "D" && FindByContactID(r.ContactID, other) == 0) {
        other.CloneNew(r);
        Log("... " + r.ContactName + " is new to " + (outlookSide ? "the PhoneBook." : "Outlook."));
      }
      if (r.Flag != "D" && FindByContactID(r.ContactID, sy) == 0) {
        sy.CloneNew(r);
        Log("... " + r.ContactName + " is new to the sync database.");
      }
    }
  }
  // Both sides in turn; conflicts left open hold back their new sync records.
  void Sides(void (Run::*side)(bool), const std::string& heading = "") {
    if (!heading.empty()) {
      Log(heading);
    }
    (this->*side)(true);
    (this->*side)(false);
    HoldBack();
  }

  void AssignSpeedDials() {
    for (SyncObject& o : ol) {
      for (auto [value, speed] : kEntries) {
        if (o.Flag == "D" || (o.*value).empty() || !(o.*speed).empty())
          continue;
        const int p = FindByContactID(o.ContactID, pb), y = FindByContactID(o.ContactID, sy);
        SyncObject* phone = p > 0 ? &pb.Item(p) : nullptr;
        SyncObject* sync = y > 0 ? &sy.Item(y) : nullptr;
        if (phone != nullptr && !(phone->*speed).empty()) {  // the phone's slot is adopted
          o.*speed = phone->*speed;
          if (sync != nullptr && sync->*speed != o.*speed) {
            sync->*speed = o.*speed;
            MarkM(sync);
          }
          continue;
        }
        o.*speed = Free(reference::FindSpeedDialOwner);
        for (SyncObject* r : {phone, sync}) {
          if (r != nullptr) {
            r->*speed = (r->*value).empty() ? "" : o.*speed;
            MarkM(r);
          }
        }
      }
    }
  }

  void FlagModifiedItems() {
    Log("Checking for items that have been modified.");
    for (SyncObject& y : sy) {
      const int o = FindByContactID(y.ContactID, ol), p = FindByContactID(y.ContactID, pb);
      if (y.Flag == "D")
        continue;
      if (o > 0 && !ContactsMatch(y, ol.Item(o))) {
        MarkM(&pb.Item(p));
        MarkM(&y);
        Log("... " + y.ContactName + " has been modified in Outlook.");
      }
      if (p > 0 && !PhoneBookRecordMatches(pb.Item(p), y)) {
        MarkM(&ol.Item(o));
        if (y.Flag == "N") {  // took the Outlook data: ask now
          MarkM(&pb.Item(p));
        }
        MarkM(&y);
        Log("... " + y.ContactName + " has been modified in the PhoneBook.");
      }
    }
  }

  void SyncModifiedIn(bool outlookSide) {
    SyncSet& own = outlookSide ? ol : pb;
    SyncSet& other = outlookSide ? pb : ol;
    const std::string mine = outlookSide ? "Outlook" : "PhoneBook";
    const std::string theirs = outlookSide ? "PhoneBook" : "Outlook";
    for (int k = 1; k <= own.Count(); ++k) {
      if (own.Item(k).Flag != "M")
        continue;
      SyncObject& r = own.Item(k);
      const int x = FindByContactID(r.ContactID, other), y = FindByContactID(r.ContactID, sy);
      SyncObject& counterpart = other.Item(x);
      SyncObject& sync = sy.Item(y);
      SyncObject& phone = outlookSide ? counterpart : r;
      SyncObject& card = outlookSide ? r : counterpart;
      auto copy = [&](SyncObject& to, bool fromPhone, const std::string& toName) {
        fromPhone ? CopyFromPhoneBook(to, phone) : CopyContact(to, card);
        Log("... Information for " + r.ContactName + " has been copied from the " +
            (fromPhone ? "PhoneBook" : "Outlook") + " data to the " + toName + " data.");
      };
      if (counterpart.Flag.empty()) {
        if (!outlookSide && SpeedTagText(card) != SpeedTagText(phone)) {  // card's tags rewritten
          ApplySpeedTagText(card, SpeedTagText(card));
          card.Flag = "S";
          Log("... The speed dial values for " + card.ContactName +
              " will be modified in Outlook.");
        }
        copy(r, outlookSide, mine);
        copy(sync, outlookSide, "sync");
        r.Flag = "W";
        Log("... " + r.ContactName + " will be modified in " +
            (outlookSide ? "Outlook." : "the PhoneBook."));
        Reconciled(sync);
      } else if (!PhoneBookRecordMatches(phone, card)) {
        HandOver(r.ContactName, outlookSide ? k : x, outlookSide ? x : k, y);
      } else {
        Log("... Identical changes have been detected in the " + mine + " data and the " + theirs +
            " data.");
        copy(sync, !outlookSide, "sync");
        Reconciled(sync);
      }
    }
  }

  void SyncNewIn(bool outlookSide) {
    SyncSet& own = outlookSide ? ol : pb;
    SyncSet& other = outlookSide ? pb : ol;
    for (int k = 1; k <= own.Count(); ++k) {
      if (own.Item(k).Flag != "N")
        continue;
      SyncObject& r = own.Item(k);
      const int x = FindByContactID(r.ContactID, other), y = FindByContactID(r.ContactID, sy);
      SyncObject& counterpart = other.Item(x);
      if (!counterpart.Flag.empty() &&
          !PhoneBookRecordMatches(outlookSide ? counterpart : r, outlookSide ? r : counterpart)) {
        HandOver(r.ContactName, outlookSide ? k : x, outlookSide ? x : k, y);
        continue;
      }
      r.Flag = sy.Item(y).Flag = "C";
      Log("... " + r.ContactName + " will be added to " +
          (outlookSide ? "Outlook." : "the PhoneBook."));
      Log("... " + sy.Item(y).ContactName + " will be added to the sync database.");
    }
  }
};

}  // namespace

const std::array<void (*)(RunContext&), 7> kDecidingPhases = {
    [](RunContext& c) { Run(c).AssignContactIDs(); },
    [](RunContext& c) { Run(c).FlagDeletedItems(); },
    [](RunContext& c) { Run(c).Sides(&Run::FlagNewIn); },
    [](RunContext& c) { Run(c).AssignSpeedDials(); },
    [](RunContext& c) { Run(c).FlagModifiedItems(); },
    [](RunContext& c) { Run(c).Sides(&Run::SyncModifiedIn, "Synchronizing modified items."); },
    [](RunContext& c) { Run(c).Sides(&Run::SyncNewIn, "Synchronizing new items."); }};

int FindSpeedDialOwner(const std::string& speed, const SyncSet& set) {
  int owner = 0;
  for (int k = 1; k <= set.Count(); ++k) {
    for (auto [value, slot] : kEntries) {
      owner = set.Item(k).*slot == speed ? k : owner;
    }
  }
  return owner;
}

}  // namespace twinbook::reference
