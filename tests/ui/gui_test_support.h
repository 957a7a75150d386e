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

// Runs `act` with the active modal widget once there is one named `name` (any
// when empty). A modal dialog blocks the test in its exec(), so its answer
// comes from a timer; the timer belongs to `owner` and goes with the test.
inline void WhenModal(QObject* owner, const QString& name, std::function<void(QWidget*)> act,
                      int triesLeft = 3000) {
  QTimer::singleShot(5, owner, [owner, name, act = std::move(act), triesLeft]() mutable {
    QWidget* modal = QApplication::activeModalWidget();
    if (modal != nullptr && (name.isEmpty() || modal->objectName() == name)) {
      act(modal);
    } else if (triesLeft > 0) {
      WhenModal(owner, name, std::move(act), triesLeft - 1);
    } else {
      ADD_FAILURE() << "No modal widget named " << name.toStdString() << " appeared";
    }
  });
}

// Answers the next message box, which must be the program's, with OK, keeping
// its text; `then` runs while it is shown.
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

// The child of `parent` with that object name; fails the test when absent.
template <typename T>
T* Child(const QObject* parent, const char* name) {
  EXPECT_NE(parent->findChild<T*>(name), nullptr) << name;
  return parent->findChild<T*>(name);
}

inline QString StatusOf(const QWidget& window) {
  return window.findChild<QGroupBox*>("Status")->title();
}

// Lets windows closed with WA_DeleteOnClose actually go.
inline void FlushDeletes() {
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

}  // namespace twinbook::testing
