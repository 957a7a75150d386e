#pragma once

#include <functional>
#include <map>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "environment/user_view.h"
#include "platform/platform.h"
#include "support/scripted_view.h"
#include "support/store_files.h"

namespace twinbook::testing {

// Which side the user keeps in a conflict, by the name the Outlook side
// shows.
using KeepRule = std::function<ConflictAnswer::Keep(const std::string& outlookName)>;

// The side given for each name in `keep`, `otherwise` for the rest.
KeepRule KeepByName(std::map<std::string, ConflictAnswer::Keep> keep,
                    ConflictAnswer::Keep otherwise);

// Answers every dialog of a run the way one user would, run after run: a
// conflict by `keep`, a name prompt with what it proposes. Every question is
// recorded, as ScriptedView records them.
class AnsweringView : public ScriptedView {
 public:
  explicit AnsweringView(KeepRule keep) : keep_(std::move(keep)) {}

  std::optional<ConflictAnswer> AskConflict(const ConflictQuestion& question) override;
  std::optional<NameValues> AskNewName(const NameValues& proposal,
                                       const std::string& nameField) override;

 private:
  KeepRule keep_;
};

// Starting stores and the user's answers for a run whose every crash point
// is tried.
struct Scenario {
  std::string name;
  // Fills the empty stores of a fresh StoreFiles.
  std::function<void(StoreFiles&)> seed;
  KeepRule keep;

  AnsweringView MakeView() const { return AnsweringView(keep); }
};

// A first run with both sides filled and an empty sync database: matches by
// name, conflicts kept either way, additions both ways, excluded contacts,
// a distribution list, names longer than the phone keeps, a vCard 2.1 card.
Scenario FirstRunScenario();
// Stores in step after a clean run, then changed on both sides: additions,
// edits of numbers, addresses and speed dials, identical edits, renames,
// deletions (one of a contact given a new number on the other side), a
// contact switched off, conflicts kept either way.
Scenario ChangesScenario();
// The first run over the sample Data folder that the run script installs.
Scenario SampleDataScenario();
// Stores in step after a clean run, then changed on both sides at random
// (fixed by `seed`): numbers, addresses and speed dials edited, added and
// removed, renames, deletions, contacts switched off and new contacts.
// Conflicts keep the Outlook side for odd contact IDs, the PhoneBook side
// for even ones.
Scenario RandomChangesScenario(unsigned seed);
// `count` contacts of each kind of the first two scenarios, for runs long
// enough to be interrupted from outside at random moments.
Scenario LargeScenario(int count);

// One StartSync over the stores of `files` with the given view and platform.
void RunWith(StoreFiles& files, UserView& view, Platform& platform);

// Replaces the Data folder `to` by a copy of `from`, hidden files included.
void CopyDataFolder(const std::string& from, const std::string& to);

// The three stores as lines of text, sorted: every PhoneBook row with every
// column (the manager's own included), every sync row, every card's type and
// mapped properties, and every card moved to the deleted cards. Row order,
// card file names and the log are left out. Reading them fails the calling
// test (by throwing) when a card cannot be read.
std::vector<std::string> StoreLines(const StoreFiles& files);

// The lines only in `expected` ("- ...") and only in `actual` ("+ ..."), as
// multisets; empty when they hold the same lines.
std::vector<std::string> Difference(const std::vector<std::string>& expected,
                                    const std::vector<std::string>& actual);

// The first `limit` lines, each indented on a line of its own, and how many
// more there are.
std::string Joined(const std::vector<std::string>& lines, size_t limit);

// SQLite's own check of a database file: "ok", or its complaints.
std::string IntegrityCheck(const std::string& path);

// A question a view was asked, as text, for comparing runs.
std::string QuestionText(const ConflictQuestion& question);
std::string QuestionText(const NameValues& proposal);
// Every question `view` was asked.
std::vector<std::string> QuestionsAsked(const ScriptedView& view);

}  // namespace twinbook::testing
