#include "stores/name_prompt.h"

namespace twinbook {

std::optional<std::string> CheckNewName(const NameValues& values, const std::string& nameField) {
  const bool fullNameRequired = nameField == "Full Name";
  const std::string namedField = fullNameRequired ? "Full Name" : "File As";
  if (values.FileAs.empty() || (fullNameRequired && values.FullName.empty())) {
    return "The 'New File As' and 'New " + namedField + "' fields must each have a value.";
  }
  return std::nullopt;
}

NameValues ProposeNewName(const std::string& nameField, const std::string& contactName,
                          const NameValues& current) {
  NameValues proposal = current;
  if (nameField == "File As") {
    proposal.FileAs = contactName;
  } else if (nameField == "Full Name") {
    proposal.FullName = contactName;
  }
  return proposal;
}

}  // namespace twinbook
