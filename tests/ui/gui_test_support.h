#pragma once

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QGroupBox>
#include <QMessageBox>
#include <QTimer>
#include <QWidget>
#include <functional>
#include <string>

#include "engine/start_sync.h"

namespace twinbook::testing {

// Runs `act` with the modal widget named `name` once it is the active modal
// widget, checking every few milliseconds. A modal dialog blocks the test's
// own code in its exec(), so its answer has to come from a timer. The timer
// belongs to `owner`: when the test is over it goes too, and cannot answer a
// later test's dialog.
inline void WhenModal(QObject* owner, const QString& name, std::function<void(QWidget*)> act,
                      int triesLeft = 3000) {
  QTimer::singleShot(5, owner, [owner, name, act = std::move(act), triesLeft]() mutable {
    QWidget* modal = QApplication::activeModalWidget();
    if (modal != nullptr && modal->objectName() == name) {
      act(modal);
      return;
    }
    if (triesLeft > 0) {
      WhenModal(owner, name, std::move(act), triesLeft - 1);
    } else {
      ADD_FAILURE() << "No modal widget named " << name.toStdString() << " appeared";
    }
  });
}

// Answers the program's next message box with OK, recording its text.
// Fails the test if it is not a message box with the title "Twinbook" and an
// OK button only.
inline void AnswerMessageBox(QObject* owner, std::vector<std::string>& texts,
                             std::function<void()> then = {}) {
  WhenModal(owner, "TwinbookMessage", [&texts, then = std::move(then)](QWidget* widget) {
    auto* box = qobject_cast<QMessageBox*>(widget);
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(box->windowTitle(), "Twinbook");
    EXPECT_EQ(box->buttons().size(), 1);
    texts.push_back(box->text().toStdString());
    if (then) {
      then();
    }
    box->button(QMessageBox::Ok)->click();
  });
}

// The child of `parent` with that object name; fails the test when absent.
template <typename T>
T* Child(const QObject* parent, const char* name) {
  T* child = parent->findChild<T*>(name);
  EXPECT_NE(child, nullptr) << name;
  return child;
}

// The main window's status line.
inline QString StatusOf(const QWidget& window) {
  return window.findChild<QGroupBox*>("Status")->title();
}

// Lets windows closed with WA_DeleteOnClose actually go.
inline void FlushDeletes() {
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

// Phases that do nothing, for runs whose stores do not matter to a test.
inline const PhaseRoutines& IdlePhases() {
  static const PhaseRoutines idle = [] {
    PhaseRoutines routines;
    routines.phases.fill([](RunContext&) {});
    routines.afterLoading = [](RunContext&) {};
    return routines;
  }();
  return idle;
}

}  // namespace twinbook::testing
