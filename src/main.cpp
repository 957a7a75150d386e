#include <QApplication>
#include <exception>

#include "environment/run_state.h"
#include "platform/data_folder.h"
#include "platform/platform.h"
#include "platform/qt/qt_file_system.h"
#include "platform/qt/qt_process_launcher.h"
#include "platform/qt/qt_settings_store.h"
#include "platform/sqlite/sqlite_database.h"
#include "platform/vcard/vcard_contact_store.h"
#include "ui/main_window.h"
#include "ui/message_box.h"

int main(int argc, char* argv[]) {
  QApplication app(argc, argv);
  QApplication::setApplicationName("Twinbook");
  QApplication::setOrganizationName("Twinbook");

  // The layout is decided here, once: everything after it reads the folders
  // from the run state and never looks at the disk to find them.
  const twinbook::ProgramFolders folders =
      twinbook::DecideProgramFolders(QApplication::applicationDirPath().toStdString());
  std::string setupError;
  try {
    twinbook::CreateDataFolderIfAbsent(folders);
  } catch (const std::exception& error) {
    // The window still opens: the Options dialog can point elsewhere, and a
    // run names whatever is missing.
    setupError = std::string("Twinbook could not prepare its data folder: ") + error.what();
  }

  twinbook::SqliteDatabaseEngine databases;
  twinbook::VCardContactStore contacts(twinbook::VCardContactStore::kDefaultSettleTime,
                                       twinbook::VCardContactStore::SystemClock);
  twinbook::QtSettingsStore settings;
  twinbook::QtProcessLauncher launcher;
  twinbook::LocalFileSystem files;
  twinbook::Platform platform{databases, contacts, settings, launcher, &files};

  twinbook::RunState state(folders);
  twinbook::MainWindow window(state, platform);
  window.show();
  if (!setupError.empty()) {
    twinbook::ShowMessageBox(&window, setupError);
  }
  return app.exec();
}
