#pragma once

#include <QMainWindow>
#include <QPointer>
#include <array>
#include <memory>

#include "engine/start_sync.h"
#include "environment/run_context.h"
#include "environment/user_view.h"

class QAction;
class QGroupBox;
class QLabel;
class QPushButton;

namespace twinbook {

class AboutDialog;
class OptionsDialog;

// The program's main window, TwinbookStart: Start, the Status frame with a
// start and a "Done." label per phase, Quit, and the menus. It is also how
// runs reach the user (UserView).
//
// Quitting (the Quit button, the menu item or closing the window) ends the
// program at once, also in the middle of a run: every event loop is told to
// end, open dialogs close (a dialog closed that way answers "closed"), and
// the run stops before writing anything more.
//
// Every slot catches what it calls: no exception may reach Qt's event loop.
class MainWindow : public QMainWindow, public UserView {
  Q_OBJECT

 public:
  // `routines`: the phases a run calls (tests put in their own); must
  // outlive the window.
  MainWindow(RunState& state, Platform& platform, QWidget* parent = nullptr,
             const PhaseRoutines& routines = StandardPhases());
  ~MainWindow() override;

  // UserView
  void SetStatus(const std::string& text) override;
  void HidePhaseLabels() override;
  void ShowPhaseStart(Phase phase) override;
  void ShowPhaseDone(Phase phase) override;
  void ShowMessage(const std::string& text) override;
  std::optional<ConflictAnswer> AskConflict(const ConflictQuestion& question) override;
  std::optional<NameValues> AskNewName(const NameValues& proposal,
                                       const std::string& nameField) override;
  bool Confirm(const Question& question) override;
  void ProcessEvents() override;
  bool QuitRequested() const override { return quitRequested_; }

  RunContext& context() { return context_; }
  // The Options dialog and the About box while they are open.
  OptionsDialog* options() const;
  AboutDialog* about() const;

 public slots:
  void StartSyncClicked();
  void UndoSyncClicked();
  void RequestQuit();
  void StartPhoneBookManager();
  void WriteInclusionReportClicked();
  void ShowOptions();
  void ShowAbout();

 protected:
  void closeEvent(QCloseEvent* event) override;

 private:
  void BuildMenus();
  void BuildCentralWidget();
  void ShowLabel(QLabel* label);

  RunContext context_;
  const PhaseRoutines& routines_;
  bool quitRequested_ = false;
  QPointer<OptionsDialog> options_;
  QPointer<AboutDialog> about_;

  QPushButton* start_ = nullptr;
  QGroupBox* status_ = nullptr;
  QPushButton* quit_ = nullptr;
  std::array<QLabel*, kPhaseCount> startLabels_{};
  std::array<QLabel*, kPhaseCount> doneLabels_{};
};

}  // namespace twinbook
