#include "stores/phonebook_writer.h"

namespace twinbook {

void WritePhoneBookDatabase(RunContext&) {}

}  // namespace twinbook
