// twinbook-setup [--empty] DATAFOLDER: prepares Twinbook's data folder,
// creating only what is absent (see InstallSampleData, InstallEmptyData).

#include <exception>
#include <iostream>
#include <string>

#include "data_setup.h"

int main(int argc, char* argv[]) {
  const bool empty = argc == 3 && std::string(argv[1]) == "--empty";
  // A lone option is a mistake, not a folder to create.
  const bool folderOnly = argc == 2 && std::string(argv[1]).rfind("--", 0) != 0;
  if (!folderOnly && !empty) {
    std::cerr << "Usage: twinbook-setup [--empty] DATAFOLDER\n"
                 "Creates in DATAFOLDER, only where absent, PhoneBook.mdb with sample contacts,\n"
                 "an empty Twinbook.mdb and a Contacts folder with sample cards. With --empty\n"
                 "the databases and the Contacts folder are created empty.\n";
    return 2;
  }
  const std::string folder = argv[argc - 1];
  try {
    const auto items =
        empty ? twinbook::InstallEmptyData(folder) : twinbook::InstallSampleData(folder);
    for (const twinbook::SetupItem& item : items) {
      std::cout << (item.created ? "Created " : "Kept ") << item.path << "\n";
    }
  } catch (const std::exception& error) {
    std::cerr << "twinbook-setup: " << error.what() << "\n";
    return 1;
  }
  return 0;
}
