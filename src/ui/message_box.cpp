#include "ui/message_box.h"

#include <QMessageBox>

#include "environment/app_info.h"

namespace twinbook {

void ShowMessageBox(QWidget* parent, const std::string& text) {
  QMessageBox box(QMessageBox::NoIcon, kAppTitle, QString::fromStdString(text), QMessageBox::Ok,
                  parent);
  box.setObjectName("TwinbookMessage");
  box.exec();
}

}  // namespace twinbook
