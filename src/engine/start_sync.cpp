#include "engine/start_sync.h"

#include <exception>
#include <memory>

#include "engine/change_flags.h"
#include "engine/contact_ids.h"
#include "engine/deletion_check.h"
#include "engine/duplicate_ids.h"
#include "engine/reconcile.h"
#include "engine/speed_dials.h"
#include "environment/activity_log.h"
#include "environment/app_info.h"
#include "environment/phonebook_manager.h"
#include "environment/run_backup.h"
#include "stores/outlook_import.h"
#include "stores/outlook_writer.h"
#include "stores/phonebook_import.h"
#include "stores/phonebook_writer.h"
#include "stores/sync_database.h"

namespace twinbook {

namespace {

// Resets the in-progress mark however the run ends.
class RunGuard {
 public:
  explicit RunGuard(RunState& state) : state_(state) { state_.RunInProgress = true; }
  ~RunGuard() { state_.RunInProgress = false; }
  RunGuard(const RunGuard&) = delete;
  RunGuard& operator=(const RunGuard&) = delete;

 private:
  RunState& state_;
};

void RunPhase(RunContext& context, const PhaseRoutines& routines, Phase phase) {
  context.view.ShowPhaseStart(phase);
  routines.phases[static_cast<size_t>(phase)](context);
  context.view.ShowPhaseDone(phase);
}

// The capacity stop: three log lines, the error status and a message box.
void StopForCapacity(RunContext& context, int count, const char* what, int limit) {
  std::string sentence = std::to_string(count) + what + std::to_string(limit) + ".";
  {
    LogFile log(context.settings().LogPath, LogFile::Mode::Append);
    log.WriteLine("Synchronization cannot continue.");
    log.WriteLine("... The " + sentence);
    log.WriteLine(
        "... If your phone is actually capable of this capacity, please check the settings "
        "from the main menu.");
    log.Close();
  }
  context.view.SetStatus(kStatusError);
  context.view.ShowMessage("The " + sentence);
}

// Whether the counted names and numbers fit the phone; reports a stop.
bool CapacityAllowsWriting(RunContext& context) {
  const Settings& settings = context.settings();
  const int names = context.state.OutlookSet.Count();
  const int numbers = CountPhoneNumbers(context.state.OutlookSet);
  const bool namesPass = names <= settings.NameLimit || settings.NameLimit == 0;
  if (namesPass) {
    if (numbers <= settings.NumberLimit) {
      return true;
    }
    StopForCapacity(context, numbers, " phone numbers in Outlook exceeds your phone's capacity of ",
                    settings.NumberLimit);
    return false;
  }
  if (names != 0) {
    StopForCapacity(context, names, " names in Outlook exceeds your phone's capacity of ",
                    settings.NameLimit);
  }
  // With a negative name limit even an empty contact list fails; there is
  // nothing sensible to report, and nothing is written.
  return false;
}

// `backup`: the backup of this run, whose platform `context` writes
// through; null when the platform keeps no backups.
void Synchronize(RunContext& context, const PhaseRoutines& routines, RunBackup* backup) {
  RunState& state = context.state;
  UserView& view = context.view;

  view.HidePhaseLabels();
  if (state.settings.PMBefore) {
    view.SetStatus(kStatusWaiting);
    RunPhoneBookManager(context, true);
  }
  view.SetStatus(kStatusInProgress);

  {
    LogFile log(state.settings.LogPath, LogFile::Mode::Replace);
    log.WriteLine(TitleAndVersionLine());
    log.WriteLine(kNotice);
    log.WriteLine("Activity Log");
    log.WriteLine("");
    log.WriteLine(kStatusInProgress);
    RunPhase(context, routines, Phase::LoadingOutlook);
    log.WriteLine("Loaded Outlook contacts.");
    RunPhase(context, routines, Phase::LoadingPhoneBook);
    log.WriteLine("Loaded PhoneBook records from " + state.settings.PhoneBookPath);
    RunPhase(context, routines, Phase::LoadingSync);
    log.WriteLine("Loaded previous sync data from " + state.settings.SyncPath);
    log.Close();
  }
  // Before the deciding phases add the new contacts to it.
  const int syncRowsLoaded = state.SyncDatabaseSet.Count();
  // Only now that every store has loaded without error may the loading
  // touch a store.
  routines.afterLoading(context);
  // Contacts sharing an ID would be confused by every decision; stop before
  // any conflict is put to the user for a run that cannot be written.
  if (!ContactIDsAllowRun(context)) {
    return;
  }

  RunPhase(context, routines, Phase::AssignIDs);
  RunPhase(context, routines, Phase::FlaggingDeleted);
  RunPhase(context, routines, Phase::FlaggingNew);
  RunPhase(context, routines, Phase::AssignSpeeds);
  RunPhase(context, routines, Phase::FlaggingModified);
  RunPhase(context, routines, Phase::SyncingModified);
  RunPhase(context, routines, Phase::SyncingNew);

  if (!CapacityAllowsWriting(context)) {
    return;
  }
  if (!DeletionsConfirmed(context, syncRowsLoaded)) {
    return;
  }

  RunPhase(context, routines, Phase::WritingOutlook);
  RunPhase(context, routines, Phase::WritingPhoneBook);
  RunPhase(context, routines, Phase::WritingSync);
  // What Undo compares with, before the PhoneBook Manager may change it.
  if (backup != nullptr) {
    backup->Seal();
  }

  if (state.settings.PMAfter) {
    view.SetStatus(kStatusWaiting);
    RunPhoneBookManager(context, true);
  }
  view.SetStatus(kStatusComplete);
}

// An error ended the run: say so in the log (when it can still be written),
// in the status and in a message box.
void ReportRunError(RunContext& context, const std::string& message) {
  try {
    LogFile log(context.settings().LogPath, LogFile::Mode::Append);
    log.WriteLine("Synchronization stopped by an error: " + message);
    log.Close();
  } catch (const std::exception&) {
    // The log itself may be what failed; the message box still names it.
  }
  context.view.SetStatus(kStatusError);
  context.view.ShowMessage("Synchronization stopped by an error: " + message);
}

}  // namespace

int CountPhoneNumbers(const SyncSet& outlookSet) {
  int count = 0;
  for (const SyncObject& record : outlookSet) {
    if (record.Flag == "D") {
      continue;
    }
    for (const RecordText* value :
         {&record.DCNumber, &record.EmailAddress, &record.FaxNumber, &record.HomeNumber,
          &record.MobileNumber, &record.OtherNumber, &record.PagerNumber, &record.Work1Number,
          &record.Work2Number}) {
      if (!value->empty()) {
        ++count;
      }
    }
  }
  return count;
}

const PhaseRoutines& StandardPhases() {
  static const PhaseRoutines standard{
      {LoadOutlookContacts, LoadPhoneBookRecords, LoadSyncRecords, AssignContactIDs,
       FlagDeletedItems, FlagNewItems, AssignSpeedDials, FlagModifiedItems, SyncModifiedItems,
       SyncNewItems, WriteOutlookContacts, WritePhoneBookDatabase, WriteSyncDatabase},
      RewriteExcludedContacts};
  return standard;
}

void StartSync(RunContext& context, const PhaseRoutines& routines) {
  if (context.state.RunInProgress) {
    return;
  }
  RunGuard guard(context.state);
  // Declared before the backup: the lock is given up after the backup is
  // sealed, whatever way the run ends.
  std::unique_ptr<FileLock> lock;
  std::unique_ptr<RunBackup> backup;
  try {
    ResetSyncState(context.state, context.platform.settings);
    if (context.platform.files == nullptr) {
      Synchronize(context, routines, nullptr);
    } else {
      lock = context.platform.files->TryLock(LockPathFor(context.settings().SyncPath));
      if (!lock) {
        context.view.ShowMessage(kAnotherRunMessage);
        ResetSyncState(context.state, context.platform.settings);
        return;
      }
      backup = std::make_unique<RunBackup>(context.platform, context.settings());
      RunContext recorded{context.state, context.view, backup->platform()};
      Synchronize(recorded, routines, backup.get());
      // A run stopped before its writers may have rewritten excluded cards.
      backup->Seal();
    }
  } catch (const RunAborted&) {
    // The user is ending the program: write nothing more, not even the log
    // or the backup's record. Such a run cannot be undone.
  } catch (const std::exception& error) {
    // What the run wrote before the error can be undone like any run's.
    std::string message = error.what();
    if (backup) {
      try {
        backup->Seal();
      } catch (const std::exception& sealError) {
        message +=
            " (and its backup could not be completed: " + std::string(sealError.what()) + ")";
      }
    }
    ReportRunError(context, message);
  }
  ResetSyncState(context.state, context.platform.settings);
}

}  // namespace twinbook
