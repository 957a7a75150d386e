#pragma once

#include "platform/contacts_folder.h"

namespace twinbook {

// Contacts folders that are folders of vCard files, one contact per file.
class VCardContactStore : public ContactStore {
 public:
  std::unique_ptr<ContactsFolder> OpenFolder(const std::string& path) override;
};

}  // namespace twinbook
