#pragma once

#include <string>

namespace twinbook {

// How the program and the user's data are laid out on this machine, decided
// once when the program starts (platform/data_folder.h).
enum class Layout {
  // A Data folder the user can write sits beside the program (the build the
  // run script makes, an install under the user's home): everything lives
  // in the program folder, which the user owns.
  kPortable,
  // No such folder (a system-wide install, whose program folder is root's):
  // the data lives in the user's own data folder.
  kInstalled,
};

struct ProgramFolders {
  Layout layout = Layout::kPortable;
  // The folder of the running program, without a trailing separator.
  std::string program;
  // The folder of the databases, the log and the contacts.
  std::string data;
};

// A program in `programFolder` with its Data folder beside it.
inline ProgramFolders PortableFolders(const std::string& programFolder) {
  return {Layout::kPortable, programFolder, programFolder + "/Data"};
}

}  // namespace twinbook
