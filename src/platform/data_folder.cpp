#include "platform/data_folder.h"

#include <unistd.h>

#include <QStandardPaths>
#include <QString>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>

#include "data_setup.h"

namespace twinbook {

namespace fs = std::filesystem;

std::string UserDataFolder() {
  return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation).toStdString() +
         "/Twinbook";
}

ProgramFolders DecideProgramFolders(const std::string& programFolder) {
  ProgramFolders folders = PortableFolders(programFolder);
  std::error_code error;
  // access() asks the kernel, so ownership, mode bits, ACLs and a read-only
  // mount all count, as they will when the run writes.
  if (fs::is_directory(folders.data, error) && ::access(folders.data.c_str(), W_OK | X_OK) == 0) {
    return folders;
  }
  folders.layout = Layout::kInstalled;
  folders.data = UserDataFolder();
  return folders;
}

bool CreateDataFolderIfAbsent(const ProgramFolders& folders) {
  std::error_code error;
  if (folders.layout == Layout::kPortable || fs::exists(fs::symlink_status(folders.data, error))) {
    return false;
  }
  const fs::path parent = fs::path(folders.data).parent_path();
  fs::create_directories(parent, error);
  if (error) {
    throw SetupError("Cannot create the folder " + parent.string() + ": " + error.message());
  }
  std::string building = (parent / ".Twinbook-XXXXXX").string();
  if (::mkdtemp(building.data()) == nullptr) {
    throw SetupError("Cannot create a folder in " + parent.string() + ": " + std::strerror(errno));
  }
  try {
    InstallEmptyData(building);
  } catch (...) {
    fs::remove_all(building, error);
    throw;
  }
  if (::rename(building.c_str(), folders.data.c_str()) != 0) {
    const int renameError = errno;
    fs::remove_all(building, error);
    // Another start of the program made it meanwhile: that one is used.
    if (renameError == EEXIST || renameError == ENOTEMPTY) {
      return false;
    }
    throw SetupError("Cannot create the folder " + folders.data + ": " +
                     std::strerror(renameError));
  }
  return true;
}

}  // namespace twinbook
