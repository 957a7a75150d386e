#pragma once

#include <QDialog>
#include <array>
#include <optional>

#include "environment/user_view.h"

class QGroupBox;
class QLineEdit;

namespace twinbook {

// TwinbookConflict: the Outlook and the PhoneBook version of one contact side
// by side, each with its button to keep it. The dialog only shows and
// collects: the engine copies the kept values into the records, sets their
// flags and logs the choice.
//
// Each of the nineteen fields whose two boxes hold different texts is shown
// in bold on both sides, and both boxes carry the property "differs" = true
// (false for the others); the marks follow every edit of a box.
class ConflictDialog : public QDialog {
  Q_OBJECT

 public:
  ConflictDialog(const ConflictQuestion& question, QWidget* parent);

  // Shows the dialog modally and returns the button pressed with the values
  // that side's boxes held at that moment; nullopt when the dialog was closed
  // another way (close box, Escape, or the program ending meanwhile).
  static std::optional<ConflictAnswer> Ask(const ConflictQuestion& question, QWidget* parent);

  const std::optional<ConflictAnswer>& answer() const { return answer_; }

 private:
  // The nineteen boxes of one side, in the order of ConflictBoxes.
  using SideBoxes = std::array<QLineEdit*, 19>;

  QGroupBox* BuildSide(const char* frameName, const char* caption, const char* prefix,
                       const char* labelPrefix, const ConflictBoxes& values, SideBoxes& boxes);
  static ConflictBoxes ValuesOf(const SideBoxes& boxes);
  void Keep(ConflictAnswer::Keep side);
  // Marks field `field` (a position in SideBoxes) on both sides as differing
  // or not.
  void MarkField(size_t field);

  SideBoxes outlook_{};
  SideBoxes phoneBook_{};
  std::optional<ConflictAnswer> answer_;
};

}  // namespace twinbook
