#include "engine/deletion_check.h"

#include <string>

#include "environment/activity_log.h"

namespace twinbook {

namespace {

int CountFlagged(const SyncSet& set) {
  int count = 0;
  for (const SyncObject& record : set) {
    if (record.Flag == "D") {
      ++count;
    }
  }
  return count;
}

// Puts one side's deletions to the user; true for Delete.
bool AskAboutSide(RunContext& context, int deletions, int syncRows, const std::string& side,
                  const std::string& reason) {
  const std::string text = "This synchronization would delete " + std::to_string(deletions) +
                           " of your " + std::to_string(syncRows) + " contacts " + side +
                           ", because " + reason + ". Delete them?";
  {
    LogFile log(context.settings().LogPath, LogFile::Mode::Append);
    log.WriteLine("Confirm Deletions: " + text);
    log.Close();
  }
  const bool confirmed = context.view.Confirm({"Confirm Deletions", text, "&Delete", "&Stop"});
  context.StopIfQuitting();
  LogFile log(context.settings().LogPath, LogFile::Mode::Append);
  log.WriteLine(confirmed ? "... Answer: Delete." : "... Answer: Stop.");
  log.Close();
  return confirmed;
}

}  // namespace

DeletionCounts CountDeletions(const RunState& state) {
  // The deciding phases flag a contact gone from the desktop "D" in the
  // PhoneBook set, and one gone from the PhoneBook "D" in the desktop set;
  // one gone from both is flagged in the sync set only.
  return {CountFlagged(state.PhoneBookSet), CountFlagged(state.OutlookSet)};
}

bool IsMassDeletion(int deletions, int syncRows) {
  constexpr int kFewestAsked = 5;
  return deletions >= kFewestAsked && 2 * deletions > syncRows;
}

bool DeletionsConfirmed(RunContext& context, int syncRows) {
  const DeletionCounts counts = CountDeletions(context.state);
  const Settings& settings = context.settings();
  bool confirmed = true;
  if (IsMassDeletion(counts.fromPhoneBook, syncRows)) {
    confirmed = AskAboutSide(context, counts.fromPhoneBook, syncRows, "from the PhoneBook",
                             "they are no longer among the desktop contacts marked for "
                             "synchronization in " +
                                 settings.ContactsPath);
  }
  if (confirmed && IsMassDeletion(counts.fromDesktop, syncRows)) {
    confirmed = AskAboutSide(context, counts.fromDesktop, syncRows,
                             "from the desktop contacts in " + settings.ContactsPath,
                             "they are no longer in the PhoneBook " + settings.PhoneBookPath);
  }
  if (!confirmed) {
    LogFile log(settings.LogPath, LogFile::Mode::Append);
    log.WriteLine("Synchronization stopped: the deletions were not confirmed.");
    log.Close();
    context.view.SetStatus(kStatusStopped);
  }
  return confirmed;
}

}  // namespace twinbook
