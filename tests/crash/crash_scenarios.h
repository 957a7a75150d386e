#pragma once

#include <functional>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "support/faulty_platform.h"
#include "support/store_files.h"

namespace twinbook::testing {

// Answers every dialog the way one user would, run after run: a conflict by
// the side `keep` gives for the name the Outlook side shows (the PhoneBook's
// for any other name), a name prompt with what it proposes. Each conflict
// asked is kept as text in `questions`.
class AnsweringView : public ScriptedView {
 public:
  explicit AnsweringView(std::map<std::string, ConflictAnswer::Keep> keep)
      : keep_(std::move(keep)) {}
  std::optional<ConflictAnswer> AskConflict(const ConflictQuestion& question) override;
  std::optional<NameValues> AskNewName(const NameValues& proposal, const std::string&) override {
    return proposal;
  }
  std::set<std::string> questions;

 private:
  std::map<std::string, ConflictAnswer::Keep> keep_;
};

struct Scenario {
  std::string name;
  std::function<void(StoreFiles&)> seed;  // fills the empty stores of a fresh StoreFiles
  std::map<std::string, ConflictAnswer::Keep> keep;
};

// Stores in step, then changed on both sides in every way a run handles;
// the first run over the sample Data folder.
std::vector<Scenario> CrashScenarios();

// One StartSync over the stores of `files`; with a plan, through crashing
// wrappers around stores of its own, as a program started afresh has them.
// True when the run completed without a message.
bool RunWith(StoreFiles& files, AnsweringView& view, CrashPlan* plan = nullptr);

// Replaces the Data folder `to` by a copy of `from`, hidden files included.
void CopyDataFolder(const std::string& from, const std::string& to);

// The three stores as sorted lines of text: every PhoneBook row with every
// column, every sync row, every card's type and mapped properties and every
// card moved to the deleted cards. Throws when a card cannot be read.
std::vector<std::string> StoreLines(const StoreFiles& files);

}  // namespace twinbook::testing
