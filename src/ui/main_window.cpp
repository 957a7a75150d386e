#include "ui/main_window.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QMenuBar>
#include <QMessageBox>
#include <QPushButton>
#include <QVBoxLayout>

#include "engine/start_sync.h"
#include "environment/app_info.h"

namespace twinbook {

MainWindow::MainWindow(RunState& state, Platform& platform, QWidget* parent)
    : QMainWindow(parent), context_{state, *this, platform} {
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

  QMenu* main = menuBar()->addMenu("Main");
  main->setObjectName("Main");
  addItem(main, "PhoneBookManager", "iDEN PhoneBook Manager", &MainWindow::StartPhoneBookManager);
  addItem(main, "Synchronize", "Synchronize", &MainWindow::StartSyncClicked);
  addItem(main, "Quit", "Quit", &MainWindow::RequestQuit);

  QMenu* tools = menuBar()->addMenu("Tools");
  tools->setObjectName("Tools");
  addItem(tools, "Inclusion", "Inclusion Report", &MainWindow::WriteInclusionReportClicked);
  addItem(tools, "Settings", "Options", &MainWindow::ShowOptions);

  QMenu* about = menuBar()->addMenu("About");
  about->setObjectName("About");
  addItem(about, "AboutTwinbook", "About Twinbook", &MainWindow::ShowAbout);
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
  QMessageBox box(QMessageBox::NoIcon, kAppTitle, QString::fromStdString(text), QMessageBox::Ok,
                  this);
  box.exec();
}

std::optional<ConflictAnswer> MainWindow::AskConflict(const ConflictQuestion&) {
  return std::nullopt;
}

std::optional<NameValues> MainWindow::AskNewName(const NameValues&, const std::string&) {
  return std::nullopt;
}

void MainWindow::ProcessEvents() {
  QApplication::processEvents();
}

void MainWindow::StartSyncClicked() {
  // StartSync catches every error of the run itself; nothing may escape into
  // Qt's event loop.
  StartSync(context_);
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

void MainWindow::StartPhoneBookManager() {}

void MainWindow::WriteInclusionReportClicked() {}

void MainWindow::ShowOptions() {}

void MainWindow::ShowAbout() {}

}  // namespace twinbook
