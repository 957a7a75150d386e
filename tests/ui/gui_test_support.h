#pragma once

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QGroupBox>
#include <QMessageBox>
#include <QTimer>
#include <functional>
#include <string>

namespace twinbook::testing {

// Runs `act` on the active modal widget named `name` (any when empty) once it
// shows: a modal dialog blocks the test in its exec(), so a timer answers it.
inline void WhenModal(QObject* owner, const QString& name, std::function<void(QWidget*)> act,
                      int triesLeft = 3000) {
  QTimer::singleShot(5, owner, [owner, name, act = std::move(act), triesLeft]() mutable {
    QWidget* modal = QApplication::activeModalWidget();
    if (modal != nullptr && (name.isEmpty() || modal->objectName() == name))
      act(modal);
    else if (triesLeft > 0)
      WhenModal(owner, name, std::move(act), triesLeft - 1);
    else
      ADD_FAILURE() << "No modal widget named " << name.toStdString() << " appeared";
  });
}

// Answers the program's next message box with OK, keeping its text; `then` runs while it shows.
inline void AnswerMessageBox(
    QObject* owner, std::vector<std::string>& texts, std::function<void()> then = [] {}) {
  WhenModal(owner, "TwinbookMessage", [&texts, then = std::move(then)](QWidget* widget) {
    auto* box = qobject_cast<QMessageBox*>(widget);
    EXPECT_EQ(box->windowTitle() + QString::number(box->buttons().size()), "Twinbook1");
    texts.push_back(box->text().toStdString());
    then();
    box->button(QMessageBox::Ok)->click();
  });
}

template <typename T>
T* Child(const QObject* parent, const char* name) {
  EXPECT_NE(parent->findChild<T*>(name), nullptr) << name;
  return parent->findChild<T*>(name);
}

inline QString StatusOf(const QWidget& w) {
  return w.findChild<QGroupBox*>("Status")->title();
}

inline void FlushDeletes() {  // windows closed with WA_DeleteOnClose go
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

}  // namespace twinbook::testing
