// twinbook-setup DATAFOLDER: prepares Twinbook's data folder, creating only
// what is absent (see InstallSampleData).

#include <exception>
#include <iostream>

#include "data_setup.h"

int main(int argc, char* argv[]) {
  if (argc != 2) {
    std::cerr << "Usage: twinbook-setup DATAFOLDER\n"
                 "Creates in DATAFOLDER, only where absent, PhoneBook.mdb with sample contacts,\n"
                 "an empty Twinbook.mdb and a Contacts folder with sample cards.\n";
    return 2;
  }
  try {
    for (const twinbook::SetupItem& item : twinbook::InstallSampleData(argv[1])) {
      std::cout << (item.created ? "Created " : "Kept ") << item.path << "\n";
    }
  } catch (const std::exception& error) {
    std::cerr << "twinbook-setup: " << error.what() << "\n";
    return 1;
  }
  return 0;
}
