#include "support/scripted_view.h"

#include <gtest/gtest.h>

namespace twinbook::testing {

void ScriptedView::HidePhaseLabels() {
  startShown.fill(false);
  doneShown.fill(false);
  labelEvents.push_back("hide all");
}

void ScriptedView::ShowPhaseStart(Phase phase) {
  startShown[static_cast<size_t>(phase)] = true;
  labelEvents.push_back("show " + std::string(InfoOf(phase).startLabel));
}

void ScriptedView::ShowPhaseDone(Phase phase) {
  doneShown[static_cast<size_t>(phase)] = true;
  labelEvents.push_back("show " + std::string(InfoOf(phase).doneLabel));
}

std::optional<ConflictAnswer> ScriptedView::AskConflict(const ConflictQuestion& question) {
  conflictsAsked.push_back(question);
  if (conflictScript.empty()) {
    return std::nullopt;
  }
  auto answer = std::move(conflictScript.front());
  conflictScript.pop_front();
  return answer(question);
}

std::optional<NameValues> ScriptedView::AskNewName(const NameValues& proposal,
                                                   const std::string& nameField) {
  namesAsked.emplace_back(proposal, nameField);
  if (nameScript.empty()) {
    return std::nullopt;
  }
  std::optional<NameValues> answer = std::move(nameScript.front());
  nameScript.pop_front();
  return answer;
}

bool ScriptedView::Confirm(const Question& question) {
  questionsAsked.push_back(question);
  if (confirmScript.empty()) {
    ADD_FAILURE() << "Unexpected question " << question.title << ": " << question.text;
    return false;
  }
  const bool answer = confirmScript.front();
  confirmScript.pop_front();
  return answer;
}

void ScriptedView::ProcessEvents() {
  ++eventsProcessed;
  if (onProcessEvents) {
    onProcessEvents(*this);
  }
}

std::function<std::optional<ConflictAnswer>(const ConflictQuestion&)> ScriptedView::KeepOutlook() {
  return [](const ConflictQuestion& q) {
    return std::optional<ConflictAnswer>(ConflictAnswer{ConflictAnswer::Keep::Outlook, q.outlook});
  };
}

std::function<std::optional<ConflictAnswer>(const ConflictQuestion&)>
ScriptedView::KeepPhoneBook() {
  return [](const ConflictQuestion& q) {
    return std::optional<ConflictAnswer>(
        ConflictAnswer{ConflictAnswer::Keep::PhoneBook, q.phoneBook});
  };
}

std::function<std::optional<ConflictAnswer>(const ConflictQuestion&)> ScriptedView::Close() {
  return [](const ConflictQuestion&) { return std::optional<ConflictAnswer>(); };
}

}  // namespace twinbook::testing
