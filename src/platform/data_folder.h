#pragma once

#include <string>

#include "platform/program_folders.h"

namespace twinbook {

// The user's own data folder of the installed layout: $XDG_DATA_HOME/Twinbook,
// or ~/.local/share/Twinbook when XDG_DATA_HOME is unset (Qt's
// GenericDataLocation). Reads the environment; touches no file.
std::string UserDataFolder();

// Decides the layout of the program in `programFolder`: portable when a
// folder "Data" beside it exists and the user may write into it, installed
// otherwise (no such folder, or one the user may not write, such as a
// root-owned folder left by a system-wide install). Creates nothing.
ProgramFolders DecideProgramFolders(const std::string& programFolder);

// At first start in the installed layout: when `folders.data` does not exist
// at all, creates it whole, with an empty PhoneBook.mdb and Twinbook.mdb and
// an empty Contacts folder, and returns true. The folder is made under a
// temporary name beside it and renamed into place, so it appears complete or
// not at all, also when two starts race. Anything that exists at that path
// is the user's and is left as it is, even a data folder that lacks a
// database: the run then names what is missing. Returns false in the
// portable layout, whose Data folder is prepared by the install. Throws
// SetupError naming the folder that could not be made; nothing half-made
// is left behind.
bool CreateDataFolderIfAbsent(const ProgramFolders& folders);

}  // namespace twinbook
