#include "engine/conflict.h"

#include <cstdint>

#include "engine/phonebook_names.h"
#include "environment/activity_log.h"
#include "environment/user_view.h"

namespace twinbook {

namespace {

void SetValues(SyncObject& record, const ConflictBoxes& values) {
  record.ContactName = values.ContactName;
  record.Work2Number = values.Work2Number;
  record.Work2Speed = values.Work2Speed;
  record.DCNumber = values.DCNumber;
  record.DCSpeed = values.DCSpeed;
  record.HomeNumber = values.HomeNumber;
  record.HomeSpeed = values.HomeSpeed;
  record.Work1Number = values.Work1Number;
  record.Work1Speed = values.Work1Speed;
  record.MobileNumber = values.MobileNumber;
  record.MobileSpeed = values.MobileSpeed;
  record.FaxNumber = values.FaxNumber;
  record.FaxSpeed = values.FaxSpeed;
  record.PagerNumber = values.PagerNumber;
  record.PagerSpeed = values.PagerSpeed;
  record.OtherNumber = values.OtherNumber;
  record.OtherSpeed = values.OtherSpeed;
  record.EmailAddress = values.EmailAddress;
  record.EmailSpeed = values.EmailSpeed;
}

// The values as they go into a record other than the PhoneBook's: when they
// come from the PhoneBook side, a name that is the shortened form of the
// record's own whole name leaves it that whole name.
ConflictBoxes ValuesFor(const SyncObject& record, const ConflictAnswer& answer) {
  ConflictBoxes values = answer.values;
  if (answer.keep == ConflictAnswer::Keep::PhoneBook &&
      SamePhoneBookName(values.ContactName, record.ContactName)) {
    values.ContactName = record.ContactName;
  }
  return values;
}

}  // namespace

void ApplyConflictChoice(RunContext& context, const ConflictAnswer& answer) {
  RunState& state = context.state;
  SyncObject& outlook = state.OutlookSet.Item(state.ConflictOutlookIndex);
  SyncObject& phoneBook = state.PhoneBookSet.Item(state.ConflictPhoneBookIndex);
  SyncObject& sync = state.SyncDatabaseSet.Item(state.ConflictSyncIndex);

  LogFile log(context.settings().LogPath, LogFile::Mode::Append);
  if (answer.keep == ConflictAnswer::Keep::Outlook) {
    log.WriteLine("... Conflict resolution for " + outlook.ContactName +
                  ": Outlook data will overwrite PhoneBook data.");
  } else {
    log.WriteLine("... Conflict resolution for " + phoneBook.ContactName +
                  ": PhoneBook data will overwrite Outlook data.");
  }

  const ConflictBoxes outlookBefore = BoxesOf(outlook);
  SetValues(outlook, ValuesFor(outlook, answer));
  if (outlook.Flag == "M") {
    outlook.Flag = "W";
    log.WriteLine("... " + outlook.ContactName + " will be modified in Outlook.");
  } else if (outlook.Flag == "N") {
    outlook.Flag = "C";
    log.WriteLine("... " + outlook.ContactName + " will be added to Outlook.");
  } else if ((outlook.Flag == "I" || outlook.Flag == "S") && BoxesOf(outlook) != outlookBefore) {
    // "W" rewrites the whole card, the contact ID and speed dials included.
    outlook.Flag = "W";
    log.WriteLine("... " + outlook.ContactName + " will be modified in Outlook.");
  }

  SetValues(phoneBook, answer.values);
  if (phoneBook.Flag == "M") {
    phoneBook.Flag = "W";
    log.WriteLine("... " + phoneBook.ContactName + " will be modified in the PhoneBook.");
  } else if (phoneBook.Flag == "N") {
    phoneBook.Flag = "C";
    log.WriteLine("... " + phoneBook.ContactName + " will be added to the PhoneBook.");
  }

  SetValues(sync, ValuesFor(sync, answer));
  if (sync.Flag == "M") {
    sync.Flag = "W";
    log.WriteLine("... " + sync.ContactName + " will be modified in the sync database.");
  } else if (sync.Flag == "N") {
    sync.Flag = "C";
    log.WriteLine("... " + sync.ContactName + " will be added to the sync database.");
  }
  log.Close();
}

bool HandOverConflict(RunContext& context, PhaseLog& log, const std::string& visitedName,
                      int outlookPosition, int phoneBookPosition, int syncPosition) {
  RunState& state = context.state;
  log.Write("... Conflict detected for " + visitedName);
  log.Suspend();
  state.ConflictOutlookIndex = outlookPosition;
  state.ConflictPhoneBookIndex = phoneBookPosition;
  state.ConflictSyncIndex = syncPosition;

  const ConflictQuestion question{BoxesOf(state.OutlookSet.Item(state.ConflictOutlookIndex)),
                                  BoxesOf(state.PhoneBookSet.Item(state.ConflictPhoneBookIndex))};
  const std::optional<ConflictAnswer> answer = context.view.AskConflict(question);
  context.StopIfQuitting();
  if (answer) {
    ApplyConflictChoice(context, *answer);
  }
  log.Resume();
  return answer.has_value();
}

void HoldBackOpenConflicts(RunContext& context, PhaseLog& log,
                           const std::vector<int>& openSyncPositions) {
  for (int position : openSyncPositions) {
    SyncObject& sync = context.state.SyncDatabaseSet.Item(position);
    if (sync.Flag == "N") {
      sync.Flag = "";
      log.Write("... " + sync.ContactName +
                " will not be added to the sync database until its conflict is resolved.");
    }
  }
}

}  // namespace twinbook
