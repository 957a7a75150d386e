#include "engine/change_flags.h"

#include <algorithm>
#include <array>
#include <string>
#include <string_view>

#include "engine/indexed_set.h"
#include "engine/phase_log.h"
#include "engine/phonebook_names.h"

namespace twinbook {

namespace {

// Calls visit(record, inA, inB) for every record of `records` in order, with
// the positions of its ID in `a` and in `b` (as FindContactID answers). Over
// tens of thousands of contacts each lookup and each counterpart read waits
// for memory; here the IDs of a group of records are looked up together and,
// with `fetchCounterparts`, the records found are fetched ahead of `visit`.
// So `visit` must change no ID and no set's membership.
template <typename Visit>
void ForEachWithCounterparts(SyncSet& records, IndexedSet& a, IndexedSet& b, bool fetchCounterparts,
                             Visit visit) {
  constexpr int kGroup = 32;
  std::array<std::string_view, kGroup> ids{};
  std::array<int, kGroup> inA{};
  std::array<int, kGroup> inB{};
  const int count = records.Count();
  for (int first = 1; first <= count; first += kGroup) {
    const int size = std::min(kGroup, count - first + 1);
    const auto group = static_cast<size_t>(size);
    for (int i = 0; i < size; ++i) {
      ids[i] = records.Item(first + i).ContactID;
    }
    a.FindContactIDs({ids.data(), group}, {inA.data(), group});
    b.FindContactIDs({ids.data(), group}, {inB.data(), group});
    if (fetchCounterparts) {
      for (int i = 0; i < size; ++i) {
        for (const SyncObject* found :
             {inA[i] > 0 ? &a.Item(inA[i]) : nullptr, inB[i] > 0 ? &b.Item(inB[i]) : nullptr}) {
          if (found != nullptr) {
            const char* bytes = reinterpret_cast<const char*>(found);
            for (size_t offset = 0; offset < sizeof(SyncObject); offset += 64) {
              __builtin_prefetch(bytes + offset);
            }
          }
        }
      }
    }
    for (int i = 0; i < size; ++i) {
      visit(records.Item(first + i), inA[i], inB[i]);
    }
  }
}

}  // namespace

bool ContactsMatch(const SyncObject& a, const SyncObject& b) {
  return a.ContactName == b.ContactName && DetailsMatch(a, b);
}

bool DetailsMatch(const SyncObject& a, const SyncObject& b) {
  return a.DCNumber == b.DCNumber && a.DCSpeed == b.DCSpeed && a.EmailAddress == b.EmailAddress &&
         a.EmailSpeed == b.EmailSpeed && a.FaxNumber == b.FaxNumber && a.FaxSpeed == b.FaxSpeed &&
         a.HomeNumber == b.HomeNumber && a.HomeSpeed == b.HomeSpeed &&
         a.MobileNumber == b.MobileNumber && a.MobileSpeed == b.MobileSpeed &&
         a.OtherNumber == b.OtherNumber && a.OtherSpeed == b.OtherSpeed &&
         a.PagerNumber == b.PagerNumber && a.PagerSpeed == b.PagerSpeed &&
         a.Work1Number == b.Work1Number && a.Work1Speed == b.Work1Speed &&
         a.Work2Number == b.Work2Number && a.Work2Speed == b.Work2Speed;
}

void FlagDeletedItems(RunContext& context) {
  RunState& state = context.state;
  PhaseLog log(context.settings().LogPath);
  log.Write("Checking for items that have been deleted.");

  IndexedSet outlook(state.OutlookSet);
  IndexedSet phoneBook(state.PhoneBookSet);
  // Only flags change here.
  ForEachWithCounterparts(
      state.SyncDatabaseSet, phoneBook, outlook, false, [&](SyncObject& sync, int pb, int ol) {
        if (pb != 0 && ol != 0) {
          return;
        }
        sync.Flag = "D";
        if (pb > 0) {
          SyncObject& survivor = phoneBook.Item(pb);
          survivor.Flag = "D";
          log.Write("... " + survivor.ContactName + " has been deleted from Outlook.");
        }
        if (ol > 0) {
          SyncObject& survivor = outlook.Item(ol);
          survivor.Flag = "D";
          log.Write("... " + survivor.ContactName + " has been deleted from the PhoneBook.");
        }
        if (pb == 0 && ol == 0) {
          log.Write("... " + sync.ContactName +
                    " has been deleted from both Outlook and the PhoneBook.");
        }
      });
  log.Close();
}

void FlagNewItems(RunContext& context) {
  RunState& state = context.state;
  PhaseLog log(context.settings().LogPath);
  IndexedSet outlook(state.OutlookSet);
  IndexedSet phoneBook(state.PhoneBookSet);
  IndexedSet sync(state.SyncDatabaseSet);

  // Each loop appends only to the other two sets, never to the one it walks.
  log.Write("Checking for new items in Outlook.");
  for (int position = 1; position <= outlook.Count(); ++position) {
    const SyncObject& record = outlook.Item(position);
    if (record.Flag == "D") {
      continue;
    }
    const int pb = phoneBook.FindContactID(record.ContactID);
    const int sy = sync.FindContactID(record.ContactID);
    if (pb == 0) {
      phoneBook.CloneNew(record);
      log.Write("... " + record.ContactName + " is new to the PhoneBook.");
    }
    if (sy == 0) {
      sync.CloneNew(record);
      log.Write("... " + record.ContactName + " is new to the sync database.");
    }
  }

  log.Write("Checking for new items in the PhoneBook.");
  for (int position = 1; position <= phoneBook.Count(); ++position) {
    const SyncObject& record = phoneBook.Item(position);
    if (record.Flag == "D") {
      continue;
    }
    const int ol = outlook.FindContactID(record.ContactID);
    const int sy = sync.FindContactID(record.ContactID);
    if (ol == 0) {
      outlook.CloneNew(record);
      log.Write("... " + record.ContactName + " is new to Outlook.");
    }
    if (sy == 0) {
      sync.CloneNew(record);
      log.Write("... " + record.ContactName + " is new to the sync database.");
    }
  }
  log.Close();
}

void FlagModifiedItems(RunContext& context) {
  RunState& state = context.state;
  PhaseLog log(context.settings().LogPath);
  log.Write("Checking for items that have been modified.");

  IndexedSet outlook(state.OutlookSet);
  IndexedSet phoneBook(state.PhoneBookSet);
  // Only flags change here, and no comparison reads them.
  ForEachWithCounterparts(
      state.SyncDatabaseSet, outlook, phoneBook, true, [&](SyncObject& sync, int ol, int pb) {
        if (sync.Flag == "D") {
          return;
        }
        const bool outlookUnchanged = ol > 0 && ContactsMatch(sync, outlook.Item(ol));
        const bool phoneBookUnchanged = pb > 0 && PhoneBookRecordMatches(phoneBook.Item(pb), sync);

        if (ol > 0 && !outlookUnchanged) {
          SyncObject& other = phoneBook.Item(pb);
          if (other.Flag.empty()) {
            other.Flag = "M";
          }
          if (sync.Flag.empty()) {
            sync.Flag = "M";
          }
          log.Write("... " + sync.ContactName + " has been modified in Outlook.");
        }
        if (pb > 0 && !phoneBookUnchanged) {
          SyncObject& other = outlook.Item(ol);
          if (other.Flag.empty()) {
            other.Flag = "M";
          }
          // A sync record made in this run is a copy of the Outlook record: the
          // contact was on both sides but unknown to the sync database (matched
          // by name, or the sync database replaced). Its two sides differ, so
          // the user is asked now; left alone, the sync record would take the
          // Outlook data and the next run would overwrite them with the
          // PhoneBook's.
          if (sync.Flag == "N") {
            SyncObject& self = phoneBook.Item(pb);
            if (self.Flag.empty()) {
              self.Flag = "M";
            }
          }
          if (sync.Flag.empty()) {
            sync.Flag = "M";
          }
          log.Write("... " + sync.ContactName + " has been modified in the PhoneBook.");
        }
      });
  log.Close();
}

}  // namespace twinbook
