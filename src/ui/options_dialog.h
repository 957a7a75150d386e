#pragma once

#include <QDialog>
#include <QPointer>

#include "environment/run_context.h"
#include "ui/browse_dialog.h"

class QCheckBox;
class QComboBox;
class QLineEdit;
class QRadioButton;

namespace twinbook {

// ChangeSettings ("Options"): the settings as fields. Opening copies the
// program's current settings into the fields; Save hands them to
// SaveSettings, which refuses bad capacities with a message (shown here,
// the dialog staying open with the values as typed) or stores them all;
// Cancel and the close box store nothing. Each "..." opens the picker
// (Browse) for its field, starting in the folder of the stored setting.
//
// Modeless; deletes itself when closed.
class OptionsDialog : public QDialog {
  Q_OBJECT

 public:
  OptionsDialog(RunContext& context, QWidget* parent);

  // The MaskOption of the first selected option button, testing none,
  // parenth, dashes and dots in this order; 0 when none is selected.
  int GetMaskOption() const;

  // The picker now open, if any.
  BrowseDialog* picker() const { return picker_; }

 private:
  void BuildControls();
  void LoadControls();
  void SaveClicked();
  // Opens the picker for one path field; the stored setting gives its start.
  void Browse(const QString& caption, const std::string& storedPath, QLineEdit* field);
  void BrowseFolder(const QString& caption, const std::string& storedFolder, QLineEdit* field);

  RunContext& context_;
  QComboBox* nameField_ = nullptr;
  QLineEdit* pbPath_ = nullptr;
  QLineEdit* syPath_ = nullptr;
  QLineEdit* lgPath_ = nullptr;
  QLineEdit* ctPath_ = nullptr;
  QRadioButton* none_ = nullptr;
  QRadioButton* parenth_ = nullptr;
  QRadioButton* dashes_ = nullptr;
  QRadioButton* dots_ = nullptr;
  QCheckBox* pmBefore_ = nullptr;
  QCheckBox* pmAfter_ = nullptr;
  QLineEdit* maxNames_ = nullptr;
  QLineEdit* maxNumbers_ = nullptr;
  QPointer<BrowseDialog> picker_;
};

}  // namespace twinbook
