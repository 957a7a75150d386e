#include "platform/vcard_contact_store.h"

namespace twinbook {

std::unique_ptr<ContactsFolder> VCardContactStore::OpenFolder(const std::string& path) {
  throw ContactsError("Cannot open " + path + ": contacts folders are not supported yet");
}

}  // namespace twinbook
