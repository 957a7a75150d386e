#include "stores/outlook_import.h"

namespace twinbook {

void LoadOutlookContacts(RunContext&) {}

void RewriteExcludedContacts(RunContext&) {}

}  // namespace twinbook
