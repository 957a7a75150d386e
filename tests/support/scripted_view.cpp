#include "support/scripted_view.h"

#include <gtest/gtest.h>

namespace twinbook::testing {

std::optional<ConflictAnswer> ScriptedView::AskConflict(const ConflictQuestion& question) {
  conflictsAsked.push_back(question);
  if (conflictScript.empty())
    return std::nullopt;
  auto answer = std::move(conflictScript.front());
  conflictScript.pop_front();
  return answer(question);
}

std::optional<NameValues> ScriptedView::AskNewName(const NameValues& proposal,
                                                   const std::string& nameField) {
  namesAsked.emplace_back(proposal, nameField);
  if (nameScript.empty())
    return std::nullopt;
  std::optional<NameValues> answer = std::move(nameScript.front());
  nameScript.pop_front();
  return answer;
}

bool ScriptedView::Confirm(const Question& question) {
  questionsAsked.push_back(question);
  if (onQuestion)
    onQuestion();
  if (confirmScript.empty()) {
    ADD_FAILURE() << "Unexpected question " << question.title << ": " << question.text;
    return false;
  }
  const bool answer = confirmScript.front();
  confirmScript.pop_front();
  return answer;
}

}  // namespace twinbook::testing
