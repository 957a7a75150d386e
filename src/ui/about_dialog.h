#pragma once

#include <QDialog>

namespace twinbook {

// AboutSync: the program's title, version and purpose. Modeless; deletes
// itself when closed.
class AboutDialog : public QDialog {
  Q_OBJECT

 public:
  explicit AboutDialog(QWidget* parent);
};

}  // namespace twinbook
