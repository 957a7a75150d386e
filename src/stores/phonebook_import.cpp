#include "stores/phonebook_import.h"

namespace twinbook {

void LoadPhoneBookRecords(RunContext&) {}

}  // namespace twinbook
