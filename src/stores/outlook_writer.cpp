#include "stores/outlook_writer.h"

namespace twinbook {

void WriteOutlookContacts(RunContext&) {}

}  // namespace twinbook
