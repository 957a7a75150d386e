#pragma once

#include <deque>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "environment/user_view.h"

namespace twinbook::testing {

// A UserView for tests: records everything shown and answers the dialogs
// from scripts. A dialog asked for with an empty script counts as closed
// without an answer; a question (Confirm) fails the test.
class ScriptedView : public UserView {
 public:
  void SetStatus(const std::string& text) override { statuses.push_back(text); }
  void HidePhaseLabels() override { startShown.fill(false), doneShown.fill(false); }
  void ShowPhaseStart(Phase phase) override { startShown[static_cast<size_t>(phase)] = true; }
  void ShowPhaseDone(Phase phase) override { doneShown[static_cast<size_t>(phase)] = true; }
  void ShowMessage(const std::string& text) override { messages.push_back(text); }
  std::optional<ConflictAnswer> AskConflict(const ConflictQuestion& question) override;
  std::optional<NameValues> AskNewName(const NameValues& proposal,
                                       const std::string& nameField) override;
  // Answers from confirmScript; a question with none left fails the test.
  bool Confirm(const Question& question) override;
  void ProcessEvents() override {}
  bool QuitRequested() const override { return quit; }

  std::string status() const { return statuses.empty() ? std::string() : statuses.back(); }
  bool StartShown(Phase phase) const { return startShown[static_cast<size_t>(phase)]; }
  bool DoneShown(Phase phase) const { return doneShown[static_cast<size_t>(phase)]; }

  // What was shown.
  std::vector<std::string> statuses;
  std::vector<std::string> messages;
  std::vector<ConflictQuestion> conflictsAsked;
  std::vector<std::pair<NameValues, std::string>> namesAsked;
  std::array<bool, kPhaseCount> startShown{};
  std::array<bool, kPhaseCount> doneShown{};

  // The answers, taken from the front. A function answer sees the question.
  std::deque<std::function<std::optional<ConflictAnswer>(const ConflictQuestion&)>> conflictScript;
  std::deque<std::optional<NameValues>> nameScript;
  std::deque<bool> confirmScript;  // true: the confirm button
  std::vector<Question> questionsAsked;
  // Called while a question stands open, e.g. to change a store meanwhile.
  std::function<void()> onQuestion;

  bool quit = false;
};

}  // namespace twinbook::testing
