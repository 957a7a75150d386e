#include "ui/main_window.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QMenuBar>
#include <QPushButton>
#include <QVBoxLayout>

#include <exception>

#include "engine/undo_sync.h"
#include "environment/app_info.h"
#include "environment/phonebook_manager.h"
#include "stores/inclusion_report.h"
#include "ui/about_dialog.h"
#include "ui/conflict_dialog.h"
#include "ui/message_box.h"
#include "ui/name_prompt_dialog.h"
#include "ui/options_dialog.h"
#include "ui/question_box.h"

namespace twinbook {

MainWindow::MainWindow(RunState& state, Platform& platform, QWidget* parent,
                       const PhaseRoutines& routines)
    : QMainWindow(parent), context_{state, *this, platform}, routines_(routines) {
  setObjectName("TwinbookStart");
  setWindowTitle(QString(kAppTitle) + " - " + kNotice);
  BuildMenus();
  BuildCentralWidget();
  ResetSyncState(state, platform.settings);
}

MainWindow::~MainWindow() = default;

void MainWindow::BuildMenus() {
  auto addItem = [this](QMenu* menu, const char* name, const char* caption, auto slot) {
    QAction* action = menu->addAction(caption);
    action->setObjectName(name);
    connect(action, &QAction::triggered, this, slot);
    return action;
  };

  // Every menu and item has a mnemonic (Alt+M opens Main, then S
  // synchronizes), so the window can be worked from the keyboard alone; the
  // captions read as they always have.
  QMenu* main = menuBar()->addMenu("&Main");
  main->setObjectName("Main");
  addItem(main, "PhoneBookManager", "iDEN &PhoneBook Manager", &MainWindow::StartPhoneBookManager);
  addItem(main, "Synchronize", "&Synchronize", &MainWindow::StartSyncClicked);
  addItem(main, "Quit", "&Quit", &MainWindow::RequestQuit);

  QMenu* tools = menuBar()->addMenu("&Tools");
  tools->setObjectName("Tools");
  addItem(tools, "Inclusion", "&Inclusion Report", &MainWindow::WriteInclusionReportClicked);
  addItem(tools, "Settings", "&Options", &MainWindow::ShowOptions);
  addItem(tools, "UndoSync", "&Undo Last Synchronization", &MainWindow::UndoSyncClicked)
      ->setShortcut(QKeySequence::Undo);

  QMenu* about = menuBar()->addMenu("&About");
  about->setObjectName("About");
  addItem(about, "AboutTwinbook", "&About Twinbook", &MainWindow::ShowAbout);
}

void MainWindow::BuildCentralWidget() {
  auto* central = new QWidget(this);
  auto* layout = new QVBoxLayout(central);

  start_ = new QPushButton("Start", central);
  start_->setObjectName("Start");
  connect(start_, &QPushButton::clicked, this, &MainWindow::StartSyncClicked);
  layout->addWidget(start_);

  status_ = new QGroupBox(kStatusIdle, central);
  status_->setObjectName("Status");
  auto* rows = new QGridLayout(status_);
  for (const PhaseInfo& info : kPhases) {
    const int row = static_cast<int>(info.phase);
    auto* startLabel =
        new QLabel(QString::fromUtf8(info.caption.data(), info.caption.size()), status_);
    startLabel->setObjectName(QString::fromUtf8(info.startLabel.data(), info.startLabel.size()));
    auto* doneLabel =
        new QLabel(QString::fromUtf8(kPhaseDoneCaption.data(), kPhaseDoneCaption.size()), status_);
    doneLabel->setObjectName(QString::fromUtf8(info.doneLabel.data(), info.doneLabel.size()));
    // Hidden labels keep their place, so showing one repaints it at once
    // without waiting for the layout to be redone.
    for (QLabel* label : {startLabel, doneLabel}) {
      QSizePolicy policy = label->sizePolicy();
      policy.setRetainSizeWhenHidden(true);
      label->setSizePolicy(policy);
      label->hide();
    }
    rows->addWidget(startLabel, row, 0);
    rows->addWidget(doneLabel, row, 1);
    startLabels_[static_cast<size_t>(row)] = startLabel;
    doneLabels_[static_cast<size_t>(row)] = doneLabel;
  }
  rows->setColumnStretch(2, 1);
  layout->addWidget(status_);

  quit_ = new QPushButton("Quit", central);
  quit_->setObjectName("QuitSync");
  connect(quit_, &QPushButton::clicked, this, &MainWindow::RequestQuit);
  layout->addWidget(quit_);

  setCentralWidget(central);
}

void MainWindow::SetStatus(const std::string& text) {
  status_->setTitle(QString::fromStdString(text));
  status_->repaint();
}

void MainWindow::HidePhaseLabels() {
  for (size_t i = 0; i < startLabels_.size(); ++i) {
    startLabels_[i]->hide();
    doneLabels_[i]->hide();
  }
  status_->repaint();
}

void MainWindow::ShowLabel(QLabel* label) {
  label->show();
  label->repaint();
}

void MainWindow::ShowPhaseStart(Phase phase) {
  ShowLabel(startLabels_[static_cast<size_t>(phase)]);
}

void MainWindow::ShowPhaseDone(Phase phase) {
  ShowLabel(doneLabels_[static_cast<size_t>(phase)]);
}

void MainWindow::ShowMessage(const std::string& text) {
  if (quitRequested_) {
    return;
  }
  ShowMessageBox(this, text);
}

// A dialog asked for after the user ended the program would only show and
// vanish: its event loop ends at once. Either way the answer is "closed".
std::optional<ConflictAnswer> MainWindow::AskConflict(const ConflictQuestion& question) {
  if (quitRequested_) {
    return std::nullopt;
  }
  std::optional<ConflictAnswer> answer = ConflictDialog::Ask(question, this);
  return quitRequested_ ? std::nullopt : answer;
}

std::optional<NameValues> MainWindow::AskNewName(const NameValues& proposal,
                                                 const std::string& nameField) {
  if (quitRequested_) {
    return std::nullopt;
  }
  std::optional<NameValues> answer = NamePromptDialog::Ask(proposal, nameField, this);
  return quitRequested_ ? std::nullopt : answer;
}

bool MainWindow::Confirm(const Question& question) {
  if (quitRequested_) {
    return false;
  }
  const bool confirmed = AskQuestion(this, question);
  return confirmed && !quitRequested_;
}

void MainWindow::ProcessEvents() {
  QApplication::processEvents();
}

void MainWindow::StartSyncClicked() {
  // StartSync reports the run's own errors; this catch is for what it cannot
  // (its final reset), so that nothing escapes into Qt's event loop.
  try {
    StartSync(context_, routines_);
  } catch (const std::exception& error) {
    ShowMessage(std::string("Synchronization stopped by an error: ") + error.what());
  }
}

void MainWindow::UndoSyncClicked() {
  // UndoLastSync reports its own errors; nothing may escape into Qt's loop.
  try {
    UndoLastSync(context_);
  } catch (const std::exception& error) {
    ShowMessage(std::string("Undo stopped by an error: ") + error.what());
  }
}

void MainWindow::RequestQuit() {
  quitRequested_ = true;
  // Ends every running event loop, the main one and those of open dialogs or
  // of a run's wait; the run notices QuitRequested and stops.
  QApplication::exit(0);
}

void MainWindow::closeEvent(QCloseEvent* event) {
  RequestQuit();
  event->accept();
}

void MainWindow::StartPhoneBookManager() {
  try {
    if (!RunPhoneBookManager(context_, false)) {
      ShowMessage("The PhoneBook Manager could not be started: " + context_.state.ManagerPath);
    }
  } catch (const std::exception& error) {
    ShowMessage("The PhoneBook Manager could not be started: " + context_.state.ManagerPath + ": " +
                error.what());
  }
}

void MainWindow::WriteInclusionReportClicked() {
  // During a run (while it waits for the PhoneBook Manager) the report may
  // be written too; the status then returns to what the run shows.
  const QString runStatus = status_->title();
  SetStatus(kStatusCreatingReport);
  try {
    WriteInclusionReport(context_);
  } catch (const std::exception& error) {
    ShowMessage(std::string("The Inclusion Report could not be written: ") + error.what());
  }
  if (context_.state.RunInProgress) {
    SetStatus(runStatus.toStdString());
  } else {
    SetStatus(kStatusIdle);
  }
}

OptionsDialog* MainWindow::options() const {
  return options_;
}

AboutDialog* MainWindow::about() const {
  return about_;
}

void MainWindow::ShowOptions() {
  if (!options_) {
    options_ = new OptionsDialog(context_, this);
  }
  options_->show();
  options_->raise();
  options_->activateWindow();
}

void MainWindow::ShowAbout() {
  if (!about_) {
    about_ = new AboutDialog(this);
  }
  about_->show();
  about_->raise();
  about_->activateWindow();
}

}  // namespace twinbook
