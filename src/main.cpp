#include <QApplication>

#include "environment/run_state.h"
#include "platform/platform.h"
#include "platform/qt/qt_file_system.h"
#include "platform/qt/qt_process_launcher.h"
#include "platform/qt/qt_settings_store.h"
#include "platform/sqlite/sqlite_database.h"
#include "platform/vcard/vcard_contact_store.h"
#include "ui/main_window.h"

int main(int argc, char* argv[]) {
  QApplication app(argc, argv);
  QApplication::setApplicationName("Twinbook");
  QApplication::setOrganizationName("Twinbook");

  twinbook::SqliteDatabaseEngine databases;
  twinbook::VCardContactStore contacts;
  twinbook::QtSettingsStore settings;
  twinbook::QtProcessLauncher launcher;
  twinbook::LocalFileSystem files;
  twinbook::Platform platform{databases, contacts, settings, launcher, &files};

  twinbook::RunState state(QApplication::applicationDirPath().toStdString());
  twinbook::MainWindow window(state, platform);
  window.show();
  return app.exec();
}
