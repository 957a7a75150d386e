#pragma once

#include <array>
#include <optional>
#include <stdexcept>
#include <string>

#include "environment/phases.h"
#include "model/sync_object.h"

namespace twinbook {

// The nineteen values of one side of the conflict dialog, in the order its
// rows show them: the name, then each number followed by its speed dial.
struct ConflictBoxes {
  std::string ContactName;
  std::string Work2Number, Work2Speed;
  std::string DCNumber, DCSpeed;
  std::string HomeNumber, HomeSpeed;
  std::string Work1Number, Work1Speed;
  std::string MobileNumber, MobileSpeed;
  std::string FaxNumber, FaxSpeed;
  std::string PagerNumber, PagerSpeed;
  std::string OtherNumber, OtherSpeed;
  std::string EmailAddress, EmailSpeed;

  bool operator==(const ConflictBoxes&) const = default;
};

ConflictBoxes BoxesOf(const SyncObject& record);

// What the conflict dialog shows: the two versions of one contact.
struct ConflictQuestion {
  ConflictBoxes outlook;
  ConflictBoxes phoneBook;
};

// The user's answer: which side's button was pressed and what that side's
// boxes held at that moment (the user may have edited them).
struct ConflictAnswer {
  enum class Keep { Outlook, PhoneBook };
  Keep keep = Keep::Outlook;
  ConflictBoxes values;
};

// The four boxes of the name change prompt.
struct NameValues {
  std::string FirstName;
  std::string LastName;
  std::string FullName;
  std::string FileAs;

  bool operator==(const NameValues&) const = default;
};

// A question with two answers, put in a box of its own.
struct Question {
  std::string title;
  std::string text;
  std::string confirm;  // the button that goes ahead, e.g. "&Delete"
  std::string cancel;   // the one that does not, e.g. "&Stop": the default, and Escape
};

// Thrown out of a run when the user ends the program in the middle of it (a
// Quit during the manager wait or while a dialog is open): the run stops
// where it is and writes nothing more, not even to the log.
class RunAborted : public std::runtime_error {
 public:
  RunAborted() : std::runtime_error("The program is ending") {}
};

// How a run reaches the user. The main window implements it; tests implement
// it with scripted answers. Every call returns on the same thread; the dialog
// calls return when the dialog has closed.
class UserView {
 public:
  virtual ~UserView() = default;

  // The caption of the status frame, e.g. "Status: Idle".
  virtual void SetStatus(const std::string& text) = 0;
  // Hides all 26 phase labels.
  virtual void HidePhaseLabels() = 0;
  // Shows a phase's start label, or its "Done." label.
  virtual void ShowPhaseStart(Phase phase) = 0;
  virtual void ShowPhaseDone(Phase phase) = 0;
  // A message box with an OK button only and the program's title; returns
  // when it has been dismissed.
  virtual void ShowMessage(const std::string& text) = 0;

  // Shows the conflict dialog modally. nullopt when it was closed without
  // pressing either button.
  virtual std::optional<ConflictAnswer> AskConflict(const ConflictQuestion& question) = 0;

  // Shows the name change prompt modally, filled with `proposal`, for the
  // name field `nameField` (which decides what must not be left empty). The
  // values confirmed with OK, or nullopt when it was closed without OK.
  virtual std::optional<NameValues> AskNewName(const NameValues& proposal,
                                               const std::string& nameField) = 0;

  // Asks `question` modally. True only when its confirm button was pressed;
  // the cancel button, Escape, closing the box and the program ending all
  // answer false.
  virtual bool Confirm(const Question& question) = 0;

  // Lets the window handle what is pending (repaint, input) while a run waits.
  virtual void ProcessEvents() = 0;

  // True once the user has asked to end the program; a run that sees it
  // throws RunAborted.
  virtual bool QuitRequested() const = 0;
};

}  // namespace twinbook
