#include "ui/name_prompt_dialog.h"

#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "stores/name_prompt.h"
#include "ui/message_box.h"

namespace twinbook {

NamePromptDialog::NamePromptDialog(const NameValues& proposal, std::string nameField,
                                   QWidget* parent)
    : QDialog(parent), nameField_(std::move(nameField)) {
  setObjectName("NamePrompt");
  setWindowTitle("Name Change");
  setModal(true);

  auto* layout = new QVBoxLayout(this);
  auto* instruction = new QLabel(
      "The name for this contact appears to have changed.  Please confirm the new values as "
      "indicated below.  The only field that requires a value is 'New File As:'.",
      this);
  instruction->setObjectName("Instruction");
  instruction->setWordWrap(true);
  layout->addWidget(instruction);

  auto* fields = new QFormLayout;
  auto addField = [this, fields](const char* labelName, const char* caption, const char* boxName,
                                 const std::string& text) {
    auto* label = new QLabel(caption, this);
    label->setObjectName(labelName);
    auto* box = new QLineEdit(QString::fromStdString(text), this);
    box->setObjectName(boxName);
    box->setMinimumWidth(fontMetrics().horizontalAdvance(QString(36, 'x')));
    label->setBuddy(box);
    fields->addRow(label, box);
    return box;
  };
  first_ = addField("lblNewFirst", "New First Name:", "NewFirst", proposal.FirstName);
  last_ = addField("lblNewLast", "New Last Name:", "NewLast", proposal.LastName);
  full_ = addField("lbFullName", "New Full Name:", "NewFull", proposal.FullName);
  fileAs_ = addField("lblNewFile", "New File As:", "NewFile", proposal.FileAs);
  layout->addLayout(fields);

  auto* ok = new QPushButton("OK", this);
  ok->setObjectName("NameOK");
  ok->setDefault(true);
  connect(ok, &QPushButton::clicked, this, &NamePromptDialog::OkClicked);
  layout->addWidget(ok, 0, Qt::AlignHCenter);

  setTabOrder(first_, last_);
  setTabOrder(last_, full_);
  setTabOrder(full_, fileAs_);
  setTabOrder(fileAs_, ok);
  first_->setFocus();
}

void NamePromptDialog::OkClicked() {
  NameValues typed{first_->text().toStdString(), last_->text().toStdString(),
                   full_->text().toStdString(), fileAs_->text().toStdString()};
  if (std::optional<std::string> message = CheckNewName(typed, nameField_)) {
    ShowMessageBox(this, *message);
    return;
  }
  answer_ = std::move(typed);
  accept();
}

std::optional<NameValues> NamePromptDialog::Ask(const NameValues& proposal,
                                                const std::string& nameField, QWidget* parent) {
  NamePromptDialog dialog(proposal, nameField, parent);
  dialog.exec();
  return dialog.answer();
}

}  // namespace twinbook
