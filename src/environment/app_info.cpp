#include "environment/app_info.h"

#include "twinbook_version.h"

namespace twinbook {

std::string VersionText() {
  return std::to_string(kVersionMajor) + "." + std::to_string(kVersionMinor) + "." +
         std::to_string(kVersionRevision);
}

std::string TitleAndVersionLine() {
  return std::string(kAppTitle) + ", version: " + VersionText();
}

}  // namespace twinbook
