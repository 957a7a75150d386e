#pragma once

#include <array>
#include <string_view>

namespace twinbook {

// The thirteen phases of a run, in run order.
enum class Phase {
  LoadingOutlook,
  LoadingPhoneBook,
  LoadingSync,
  AssignIDs,
  FlaggingDeleted,
  FlaggingNew,
  AssignSpeeds,
  FlaggingModified,
  SyncingModified,
  SyncingNew,
  WritingOutlook,
  WritingPhoneBook,
  WritingSync,
};

inline constexpr int kPhaseCount = 13;

struct PhaseInfo {
  Phase phase;
  std::string_view startLabel;  // object name of the start label
  std::string_view doneLabel;   // object name of the done label
  std::string_view caption;     // caption of the start label
};

inline constexpr std::string_view kPhaseDoneCaption = "Done.";

inline constexpr std::array<PhaseInfo, kPhaseCount> kPhases = {{
    {Phase::LoadingOutlook, "LoadingOutlook", "LoadingOutlookDone",
     "Loading Outlook contacts . . ."},
    {Phase::LoadingPhoneBook, "LoadingPhoneBook", "LoadingPhoneBookDone",
     "Loading PhoneBook records . . ."},
    {Phase::LoadingSync, "LoadingSync", "LoadingSyncDone",
     "Loading records from previous sync . . ."},
    {Phase::AssignIDs, "AssignIDs", "AssignIDsDone",
     "Verifying that each Outlook contact has a contact ID . . ."},
    {Phase::FlaggingDeleted, "FlaggingDeleted", "FlaggingDeletedDone",
     "Flagging deleted items . . ."},
    {Phase::FlaggingNew, "FlaggingNew", "FlaggingNewDone", "Flagging new items . . ."},
    {Phase::AssignSpeeds, "AssignSpeeds", "AssignSpeedsDone",
     "Verifying that each phone number has a speed dial . . ."},
    {Phase::FlaggingModified, "FlaggingModified", "FlaggingModifiedDone",
     "Flagging modified items . . ."},
    {Phase::SyncingModified, "SyncingModified", "SyncingModifiedDone",
     "Synchronizing modified items . . ."},
    {Phase::SyncingNew, "SyncingNew", "SyncingNewDone", "Synchronizing new items . . ."},
    {Phase::WritingOutlook, "WritingOutlook", "WritingOutlookDone",
     "Writing changes to Outlook . . ."},
    {Phase::WritingPhoneBook, "WritingPhoneBook", "WritingPhoneBookDone",
     "Writing changes to PhoneBook . . ."},
    {Phase::WritingSync, "WritingSync", "WritingSyncDone",
     "Writing changes to Sync database . . ."},
}};

inline constexpr const PhaseInfo& InfoOf(Phase phase) {
  return kPhases[static_cast<size_t>(phase)];
}

}  // namespace twinbook
