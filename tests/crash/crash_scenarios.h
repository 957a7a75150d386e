#pragma once

#include <functional>
#include <map>
#include <string>
#include <vector>

#include "support/faulty_platform.h"
#include "support/store_files.h"

namespace twinbook::testing {

// Answers a conflict by the side `keep` gives for the Outlook name (else the
// PhoneBook's), a name prompt with its proposal: the same user run after run.
class AnsweringView : public ScriptedView {
 public:
  explicit AnsweringView(std::map<std::string, ConflictAnswer::Keep> keep)
      : keep_(std::move(keep)) {}
  std::optional<ConflictAnswer> AskConflict(const ConflictQuestion& question) override;
  std::optional<NameValues> AskNewName(const NameValues& proposal, const std::string&) override {
    return proposal;
  }

 private:
  std::map<std::string, ConflictAnswer::Keep> keep_;
};

struct Scenario {
  std::string name;
  std::function<void(StoreFiles&)> seed;  // fills the stores of a fresh StoreFiles
  std::map<std::string, ConflictAnswer::Keep> keep;
};

// Stores in step then changed on both sides in every way a run handles; the
// first run over the sample Data folder.
std::vector<Scenario> CrashScenarios();

// One StartSync over `files`, through crashing wrappers when given a plan.
// True when the run completed without a message.
bool RunWith(StoreFiles& files, AnsweringView& view, CrashPlan* plan = nullptr);
void CopyDataFolder(const std::string& from, const std::string& to);
// Every PhoneBook and sync row and every card (deleted ones too) as sorted
// text; throws when a card cannot be read.
std::vector<std::string> StoreLines(const StoreFiles& files);

}  // namespace twinbook::testing
