#include "reference_engine.h"

#include <array>
#include <vector>

#include "engine/change_flags.h"
#include "engine/conflict.h"
#include "engine/phonebook_names.h"
#include "engine/reconcile.h"
#include "environment/activity_log.h"
#include "stores/speed_tags.h"

namespace twinbook::reference {

namespace {

LogFile OpenLog(RunContext& context) {
  return LogFile(context.settings().LogPath, LogFile::Mode::Append);
}

}  // namespace

void AssignContactIDs(RunContext& context) {
  SyncSet& outlookSet = context.state.OutlookSet;
  SyncSet& phoneBookSet = context.state.PhoneBookSet;
  SyncSet& syncSet = context.state.SyncDatabaseSet;
  LogFile log = OpenLog(context);
  log.WriteLine("Verifying that all Outlook Contact items contain a contact ID.");
  for (SyncObject& o : outlookSet) {
    if (o.ContactID != "") {
      continue;
    }
    const int p = FindByContactName(o.ContactName, phoneBookSet);
    int q = 0;
    if (p > 0) {
      q = FindByContactID(phoneBookSet.Item(p).ContactID, outlookSet);
    }
    if (p > 0 && q == 0) {
      o.ContactID = phoneBookSet.Item(p).ContactID;
      log.WriteLine("... " + o.ContactName + " in Outlook has been matched with " +
                    phoneBookSet.Item(p).ContactName +
                    " in the PhoneBook and assigned a contact ID of " + o.ContactID + ".");
    } else {
      long long n = 1;
      while (FindByContactID(std::to_string(n), phoneBookSet) != 0 ||
             FindByContactID(std::to_string(n), outlookSet) != 0 ||
             FindByContactID(std::to_string(n), syncSet) != 0) {
        ++n;
      }
      o.ContactID = std::to_string(n);
      log.WriteLine("... " + o.ContactName + " has been assigned a new contact ID of " +
                    o.ContactID + ".");
    }
    if (o.Flag == "") {
      o.Flag = "I";
      log.WriteLine("... " + o.ContactName + " will be modified in Outlook.");
    }
  }
  log.Close();
}

void FlagDeletedItems(RunContext& context) {
  SyncSet& outlookSet = context.state.OutlookSet;
  SyncSet& phoneBookSet = context.state.PhoneBookSet;
  LogFile log = OpenLog(context);
  log.WriteLine("Checking for items that have been deleted.");
  for (SyncObject& s : context.state.SyncDatabaseSet) {
    const int pb = FindByContactID(s.ContactID, phoneBookSet);
    const int ol = FindByContactID(s.ContactID, outlookSet);
    if (pb == 0 || ol == 0) {
      s.Flag = "D";
    } else {
      continue;
    }
    if (pb > 0) {
      phoneBookSet.Item(pb).Flag = "D";
      log.WriteLine("... " + phoneBookSet.Item(pb).ContactName + " has been deleted from Outlook.");
    }
    if (ol > 0) {
      outlookSet.Item(ol).Flag = "D";
      log.WriteLine("... " + outlookSet.Item(ol).ContactName +
                    " has been deleted from the PhoneBook.");
    }
    if (pb == 0 && ol == 0) {
      log.WriteLine("... " + s.ContactName +
                    " has been deleted from both Outlook and the PhoneBook.");
    }
  }
  log.Close();
}

void FlagNewItems(RunContext& context) {
  SyncSet& outlookSet = context.state.OutlookSet;
  SyncSet& phoneBookSet = context.state.PhoneBookSet;
  SyncSet& syncSet = context.state.SyncDatabaseSet;
  LogFile log = OpenLog(context);
  log.WriteLine("Checking for new items in Outlook.");
  for (SyncObject& o : outlookSet) {
    if (o.Flag == "D") {
      continue;
    }
    const int pb = FindByContactID(o.ContactID, phoneBookSet);
    const int sy = FindByContactID(o.ContactID, syncSet);
    if (pb == 0) {
      phoneBookSet.CloneNew(o);
      log.WriteLine("... " + o.ContactName + " is new to the PhoneBook.");
    }
    if (sy == 0) {
      syncSet.CloneNew(o);
      log.WriteLine("... " + o.ContactName + " is new to the sync database.");
    }
  }
  log.WriteLine("Checking for new items in the PhoneBook.");
  for (SyncObject& p : phoneBookSet) {
    if (p.Flag == "D") {
      continue;
    }
    const int ol = FindByContactID(p.ContactID, outlookSet);
    const int sy = FindByContactID(p.ContactID, syncSet);
    if (ol == 0) {
      outlookSet.CloneNew(p);
      log.WriteLine("... " + p.ContactName + " is new to Outlook.");
    }
    if (sy == 0) {
      syncSet.CloneNew(p);
      log.WriteLine("... " + p.ContactName + " is new to the sync database.");
    }
  }
  log.Close();
}

int FindSpeedDialOwner(const std::string& speed, const SyncSet& set) {
  int answer = 0;
  int counter = 1;
  for (const SyncObject& r : set) {
    if (r.DCSpeed == speed || r.EmailSpeed == speed || r.FaxSpeed == speed ||
        r.HomeSpeed == speed || r.MobileSpeed == speed || r.OtherSpeed == speed ||
        r.PagerSpeed == speed || r.Work1Speed == speed || r.Work2Speed == speed) {
      answer = counter;
    }
    ++counter;
  }
  return answer;
}

void AssignSpeedDials(RunContext& context) {
  SyncSet& outlookSet = context.state.OutlookSet;
  SyncSet& phoneBookSet = context.state.PhoneBookSet;
  SyncSet& syncSet = context.state.SyncDatabaseSet;
  using Field = std::string SyncObject::*;
  const std::array<std::pair<Field, Field>, 9> kinds = {{
      {&SyncObject::DCNumber, &SyncObject::DCSpeed},
      {&SyncObject::FaxNumber, &SyncObject::FaxSpeed},
      {&SyncObject::HomeNumber, &SyncObject::HomeSpeed},
      {&SyncObject::MobileNumber, &SyncObject::MobileSpeed},
      {&SyncObject::OtherNumber, &SyncObject::OtherSpeed},
      {&SyncObject::PagerNumber, &SyncObject::PagerSpeed},
      {&SyncObject::Work1Number, &SyncObject::Work1Speed},
      {&SyncObject::Work2Number, &SyncObject::Work2Speed},
      {&SyncObject::EmailAddress, &SyncObject::EmailSpeed},
  }};
  for (SyncObject& o : outlookSet) {
    if (o.Flag == "D") {
      continue;
    }
    for (auto [value, speed] : kinds) {
      if (o.*value == "" || o.*speed != "") {
        continue;
      }
      const int pb = FindByContactID(o.ContactID, phoneBookSet);
      const int sy = FindByContactID(o.ContactID, syncSet);
      SyncObject* p = pb > 0 ? &phoneBookSet.Item(pb) : nullptr;
      SyncObject* s = sy > 0 ? &syncSet.Item(sy) : nullptr;
      if (p != nullptr && p->*speed != "") {
        o.*speed = p->*speed;
        if (s != nullptr && s->*speed != p->*speed) {
          s->*speed = p->*speed;
          if (s->Flag == "") {
            s->Flag = "M";
          }
        }
        continue;
      }
      long long n = 1;
      while (FindSpeedDialOwner(std::to_string(n), outlookSet) != 0 ||
             FindSpeedDialOwner(std::to_string(n), phoneBookSet) != 0 ||
             FindSpeedDialOwner(std::to_string(n), syncSet) != 0) {
        ++n;
      }
      const std::string d = std::to_string(n);
      o.*speed = d;
      if (p != nullptr) {
        p->*speed = p->*value != "" ? d : "";
        if (p->Flag == "") {
          p->Flag = "M";
        }
      }
      if (s != nullptr) {
        s->*speed = s->*value != "" ? d : "";
        if (s->Flag == "") {
          s->Flag = "M";
        }
      }
    }
  }
}

void FlagModifiedItems(RunContext& context) {
  SyncSet& outlookSet = context.state.OutlookSet;
  SyncSet& phoneBookSet = context.state.PhoneBookSet;
  LogFile log = OpenLog(context);
  log.WriteLine("Checking for items that have been modified.");
  for (SyncObject& s : context.state.SyncDatabaseSet) {
    if (s.Flag == "D") {
      continue;
    }
    const int ol = FindByContactID(s.ContactID, outlookSet);
    const int pb = FindByContactID(s.ContactID, phoneBookSet);
    const bool outlookUnchanged = ol > 0 ? ContactsMatch(s, outlookSet.Item(ol)) : false;
    const bool phoneBookUnchanged =
        pb > 0 ? PhoneBookRecordMatches(phoneBookSet.Item(pb), s) : false;
    if (ol > 0 && !outlookUnchanged) {
      if (phoneBookSet.Item(pb).Flag == "") {
        phoneBookSet.Item(pb).Flag = "M";
      }
      if (s.Flag == "") {
        s.Flag = "M";
      }
      log.WriteLine("... " + s.ContactName + " has been modified in Outlook.");
    }
    if (pb > 0 && !phoneBookUnchanged) {
      if (outlookSet.Item(ol).Flag == "") {
        outlookSet.Item(ol).Flag = "M";
      }
      if (s.Flag == "N" && phoneBookSet.Item(pb).Flag == "") {
        phoneBookSet.Item(pb).Flag = "M";
      }
      if (s.Flag == "") {
        s.Flag = "M";
      }
      log.WriteLine("... " + s.ContactName + " has been modified in the PhoneBook.");
    }
  }
  log.Close();
}

namespace {

void SyncFlagRule(SyncObject& s, LogFile& log) {
  if (s.Flag == "N") {
    s.Flag = "C";
    log.WriteLine("... " + s.ContactName + " will be added to the sync database.");
  } else {
    s.Flag = "W";
    log.WriteLine("... " + s.ContactName + " will be modified in the sync database.");
  }
}

// Returns false when the dialog was closed without a choice.
bool HandOver(RunContext& context, std::optional<LogFile>& log, const std::string& name, int ol,
              int pb, int sy) {
  RunState& state = context.state;
  log->WriteLine("... Conflict detected for " + name);
  log->Close();
  log.reset();
  state.ConflictOutlookIndex = ol;
  state.ConflictPhoneBookIndex = pb;
  state.ConflictSyncIndex = sy;
  std::optional<ConflictAnswer> answer =
      context.view.AskConflict({BoxesOf(state.OutlookSet.Item(state.ConflictOutlookIndex)),
                                BoxesOf(state.PhoneBookSet.Item(state.ConflictPhoneBookIndex))});
  context.StopIfQuitting();
  if (answer) {
    ApplyConflictChoice(context, *answer);
  }
  log.emplace(context.settings().LogPath, LogFile::Mode::Append);
  return answer.has_value();
}

void HoldBack(RunContext& context, LogFile& log, const std::vector<int>& open) {
  for (int sy : open) {
    SyncObject& s = context.state.SyncDatabaseSet.Item(sy);
    if (s.Flag == "N") {
      s.Flag = "";
      log.WriteLine("... " + s.ContactName +
                    " will not be added to the sync database until its conflict is resolved.");
    }
  }
}

}  // namespace

void SyncModifiedItems(RunContext& context) {
  SyncSet& outlookSet = context.state.OutlookSet;
  SyncSet& phoneBookSet = context.state.PhoneBookSet;
  SyncSet& syncSet = context.state.SyncDatabaseSet;
  std::optional<LogFile> log;
  log.emplace(context.settings().LogPath, LogFile::Mode::Append);
  log->WriteLine("Synchronizing modified items.");
  std::vector<int> open;

  int k = 1;
  for (SyncObject& o : outlookSet) {
    if (o.Flag == "M") {
      const int pb = FindByContactID(o.ContactID, phoneBookSet);
      const int sy = FindByContactID(o.ContactID, syncSet);
      SyncObject& p = phoneBookSet.Item(pb);
      SyncObject& s = syncSet.Item(sy);
      if (p.Flag == "") {
        CopyFromPhoneBook(o, p);
        log->WriteLine("... Information for " + o.ContactName +
                       " has been copied from the PhoneBook data to the Outlook data.");
        CopyFromPhoneBook(s, p);
        log->WriteLine("... Information for " + o.ContactName +
                       " has been copied from the PhoneBook data to the sync data.");
        o.Flag = "W";
        log->WriteLine("... " + o.ContactName + " will be modified in Outlook.");
        SyncFlagRule(s, *log);
      } else if (!PhoneBookRecordMatches(p, o)) {
        if (!HandOver(context, log, o.ContactName, k, pb, sy)) {
          open.push_back(sy);
        }
      } else {
        log->WriteLine(
            "... Identical changes have been detected in the Outlook data and the PhoneBook "
            "data.");
        CopyContact(s, o);
        log->WriteLine("... Information for " + o.ContactName +
                       " has been copied from the Outlook data to the sync data.");
        SyncFlagRule(s, *log);
      }
    }
    ++k;
  }

  k = 1;
  for (SyncObject& p : phoneBookSet) {
    if (p.Flag == "M") {
      const int ol = FindByContactID(p.ContactID, outlookSet);
      const int sy = FindByContactID(p.ContactID, syncSet);
      SyncObject& o = outlookSet.Item(ol);
      SyncObject& s = syncSet.Item(sy);
      if (o.Flag == "") {
        if (SpeedTagText(o) != SpeedTagText(p)) {
          ApplySpeedTagText(o, SpeedTagText(o));
          o.Flag = "S";
          log->WriteLine("... The speed dial values for " + o.ContactName +
                         " will be modified in Outlook.");
        }
        CopyContact(p, o);
        log->WriteLine("... Information for " + p.ContactName +
                       " has been copied from the Outlook data to the PhoneBook data.");
        CopyContact(s, o);
        log->WriteLine("... Information for " + p.ContactName +
                       " has been copied from the Outlook data to the sync data.");
        p.Flag = "W";
        log->WriteLine("... " + p.ContactName + " will be modified in the PhoneBook.");
        SyncFlagRule(s, *log);
      } else if (!PhoneBookRecordMatches(p, o)) {
        if (!HandOver(context, log, p.ContactName, ol, k, sy)) {
          open.push_back(sy);
        }
      } else {
        log->WriteLine(
            "... Identical changes have been detected in the PhoneBook data and the Outlook "
            "data.");
        CopyFromPhoneBook(s, p);
        log->WriteLine("... Information for " + p.ContactName +
                       " has been copied from the PhoneBook data to the sync data.");
        SyncFlagRule(s, *log);
      }
    }
    ++k;
  }
  HoldBack(context, *log, open);
  log->Close();
}

void SyncNewItems(RunContext& context) {
  SyncSet& outlookSet = context.state.OutlookSet;
  SyncSet& phoneBookSet = context.state.PhoneBookSet;
  SyncSet& syncSet = context.state.SyncDatabaseSet;
  std::optional<LogFile> log;
  log.emplace(context.settings().LogPath, LogFile::Mode::Append);
  log->WriteLine("Synchronizing new items.");
  std::vector<int> open;

  int k = 1;
  for (SyncObject& o : outlookSet) {
    if (o.Flag == "N") {
      const int pb = FindByContactID(o.ContactID, phoneBookSet);
      const int sy = FindByContactID(o.ContactID, syncSet);
      SyncObject& p = phoneBookSet.Item(pb);
      SyncObject& s = syncSet.Item(sy);
      if (p.Flag != "" && !PhoneBookRecordMatches(p, o)) {
        if (!HandOver(context, log, o.ContactName, k, pb, sy)) {
          open.push_back(sy);
        }
      } else {
        o.Flag = "C";
        log->WriteLine("... " + o.ContactName + " will be added to Outlook.");
        s.Flag = "C";
        log->WriteLine("... " + s.ContactName + " will be added to the sync database.");
      }
    }
    ++k;
  }

  k = 1;
  for (SyncObject& p : phoneBookSet) {
    if (p.Flag == "N") {
      const int ol = FindByContactID(p.ContactID, outlookSet);
      const int sy = FindByContactID(p.ContactID, syncSet);
      SyncObject& o = outlookSet.Item(ol);
      SyncObject& s = syncSet.Item(sy);
      if (o.Flag != "" && !PhoneBookRecordMatches(p, o)) {
        if (!HandOver(context, log, p.ContactName, ol, k, sy)) {
          open.push_back(sy);
        }
      } else {
        p.Flag = "C";
        log->WriteLine("... " + p.ContactName + " will be added to the PhoneBook.");
        s.Flag = "C";
        log->WriteLine("... " + s.ContactName + " will be added to the sync database.");
      }
    }
    ++k;
  }
  HoldBack(context, *log, open);
  log->Close();
}

}  // namespace twinbook::reference
