#pragma once

#include <string>

namespace twinbook {

// One contact as one store sees it: the fields the phone book holds for a
// contact plus the one-letter sync state of this run. Every value is a string
// and the empty string means "no value"; nothing is trimmed or validated, so a
// blank or a letter case difference is a real difference everywhere.
//
// The fields are declared in the order the sets copy them (SyncSet::CloneNew).
struct SyncObject {
  std::string ContactID;
  std::string ContactName;
  std::string Work2Number;
  std::string DCNumber;
  std::string HomeNumber;
  std::string Work1Number;
  std::string MobileNumber;
  std::string FaxNumber;
  std::string PagerNumber;
  std::string OtherNumber;
  std::string EmailAddress;
  std::string DCSpeed;
  std::string EmailSpeed;
  std::string FaxSpeed;
  std::string HomeSpeed;
  std::string PagerSpeed;
  std::string OtherSpeed;
  std::string MobileSpeed;
  std::string Work1Speed;
  std::string Work2Speed;
  // "", "I", "D", "N", "M", "W", "C" or "S"; never stored in any store.
  std::string Flag;

  bool operator==(const SyncObject&) const = default;
};

}  // namespace twinbook
