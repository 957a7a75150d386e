#pragma once

#include <QDialog>
#include <optional>
#include <string>

#include "environment/user_view.h"

class QLineEdit;

namespace twinbook {

// NamePrompt ("Name Change"): the new first, last, full and file-as names of
// a contact whose synchronised name changed, filled with a proposal for the
// user to correct. OK accepts only when the fields the name field requires
// are filled (CheckNewName); otherwise a message box says which, and the
// prompt stays open with the entries as typed.
class NamePromptDialog : public QDialog {
  Q_OBJECT

 public:
  NamePromptDialog(const NameValues& proposal, std::string nameField, QWidget* parent);

  // Shows the prompt modally: the four texts as typed when OK accepted them,
  // nullopt when the prompt was closed without (close box, Escape, or the
  // program ending meanwhile).
  static std::optional<NameValues> Ask(const NameValues& proposal, const std::string& nameField,
                                       QWidget* parent);

  const std::optional<NameValues>& answer() const { return answer_; }

 private:
  void OkClicked();

  std::string nameField_;
  QLineEdit* first_ = nullptr;
  QLineEdit* last_ = nullptr;
  QLineEdit* full_ = nullptr;
  QLineEdit* fileAs_ = nullptr;
  std::optional<NameValues> answer_;
};

}  // namespace twinbook
