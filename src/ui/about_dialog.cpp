#include "ui/about_dialog.h"

#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "environment/app_info.h"

namespace twinbook {

AboutDialog::AboutDialog(QWidget* parent) : QDialog(parent) {
  setObjectName("AboutSync");
  setWindowTitle(QString("About ") + kAppTitle);
  setAttribute(Qt::WA_DeleteOnClose);
  setModal(false);

  auto* layout = new QVBoxLayout(this);
  auto addLabel = [this, layout](const char* name, const QString& text, bool wrap = false) {
    auto* label = new QLabel(text, this);
    label->setObjectName(name);
    label->setWordWrap(wrap);
    if (wrap) {
      label->setFixedWidth(fontMetrics().horizontalAdvance(QString(60, 'x')));
    }
    layout->addWidget(label);
    return label;
  };
  QLabel* title = addLabel("lblTitle", kAppTitle);
  QFont titleFont = title->font();
  titleFont.setPointSizeF(titleFont.pointSizeF() * 1.6);
  titleFont.setBold(true);
  title->setFont(titleFont);
  addLabel("lblVersion", QString::fromStdString("Version " + VersionText()));
  addLabel("lblDescription",
           "This program executes a bidirectional synchronization between the iDEN PhoneBook "
           "Manager database and Outlook Contacts.",
           true);
  addLabel("lblNotice",
           "Here the Outlook Contacts are a folder of vCard files. Keep a copy of that folder "
           "and of the PhoneBook database before the first synchronization: each run changes "
           "both.",
           true);

  auto* ok = new QPushButton("OK", this);
  ok->setObjectName("cmdOK");
  ok->setDefault(true);
  connect(ok, &QPushButton::clicked, this, &AboutDialog::close);
  layout->addWidget(ok, 0, Qt::AlignHCenter);
  // As small as its texts need: extra height would only spread the labels.
  layout->setSizeConstraint(QLayout::SetFixedSize);
}

}  // namespace twinbook
