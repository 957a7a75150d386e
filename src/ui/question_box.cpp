#include "ui/question_box.h"

#include <QMessageBox>
#include <QPushButton>

namespace twinbook {

bool AskQuestion(QWidget* parent, const Question& question) {
  QMessageBox box(QMessageBox::Question, QString::fromStdString(question.title),
                  QString::fromStdString(question.text), QMessageBox::NoButton, parent);
  box.setObjectName("TwinbookQuestion");
  QPushButton* confirm =
      box.addButton(QString::fromStdString(question.confirm), QMessageBox::AcceptRole);
  QPushButton* cancel =
      box.addButton(QString::fromStdString(question.cancel), QMessageBox::RejectRole);
  confirm->setObjectName("Confirm");
  cancel->setObjectName("Cancel");
  box.setDefaultButton(cancel);
  box.setEscapeButton(cancel);
  box.exec();
  return box.clickedButton() == confirm;
}

}  // namespace twinbook
