#pragma once

#include <initializer_list>
#include <ostream>
#include <string>
#include <utility>
#include <vector>

#include "model/sync_object.h"
#include "model/sync_set.h"

namespace twinbook {

// Readable failures: every non-empty field of a record by name.
inline void PrintTo(const SyncObject& r, std::ostream* out) {
  const std::pair<const char*, const std::string*> fields[] = {
      {"ID", &r.ContactID},        {"Name", &r.ContactName},   {"W2", &r.Work2Number},
      {"DC", &r.DCNumber},         {"H", &r.HomeNumber},       {"W1", &r.Work1Number},
      {"M", &r.MobileNumber},      {"F", &r.FaxNumber},        {"P", &r.PagerNumber},
      {"O", &r.OtherNumber},       {"E", &r.EmailAddress},     {"W2 speed", &r.Work2Speed},
      {"DC speed", &r.DCSpeed},    {"H speed", &r.HomeSpeed},  {"W1 speed", &r.Work1Speed},
      {"M speed", &r.MobileSpeed}, {"F speed", &r.FaxSpeed},   {"P speed", &r.PagerSpeed},
      {"O speed", &r.OtherSpeed},  {"E speed", &r.EmailSpeed}, {"Flag", &r.Flag},
  };
  *out << "{";
  const char* separator = "";
  for (const auto& [name, value] : fields) {
    if (!value->empty()) {
      *out << separator << name << " '" << *value << "'";
      separator = ", ";
    }
  }
  *out << "}";
}

namespace testing {

using Field = std::pair<std::string SyncObject::*, std::string>;

// A record with an ID, a name and the fields given; everything else empty.
inline SyncObject Record(const std::string& id, const std::string& name,
                         std::initializer_list<Field> fields = {}) {
  SyncObject record;
  record.ContactID = id;
  record.ContactName = name;
  for (const auto& [field, value] : fields) {
    record.*field = value;
  }
  return record;
}

// The records of a set, copied, in set order.
inline std::vector<SyncObject> Records(const SyncSet& set) {
  std::vector<SyncObject> records;
  for (const SyncObject& record : set) {
    records.push_back(record);
  }
  return records;
}

}  // namespace testing
}  // namespace twinbook
