#pragma once

#include "model/record_text.h"

namespace twinbook {

// One contact as one store sees it: the fields the phone book holds for a
// contact plus the one-letter sync state of this run. Every value is a string
// and the empty string means "no value"; nothing is trimmed or validated, so a
// blank or a letter case difference is a real difference everywhere. Each
// is a RecordText: a run keeps three records for every contact.
//
// The fields are declared in the order the sets copy them (SyncSet::Append).
struct SyncObject {
  RecordText ContactID;
  RecordText ContactName;
  RecordText Work2Number;
  RecordText DCNumber;
  RecordText HomeNumber;
  RecordText Work1Number;
  RecordText MobileNumber;
  RecordText FaxNumber;
  RecordText PagerNumber;
  RecordText OtherNumber;
  RecordText EmailAddress;
  RecordText DCSpeed;
  RecordText EmailSpeed;
  RecordText FaxSpeed;
  RecordText HomeSpeed;
  RecordText PagerSpeed;
  RecordText OtherSpeed;
  RecordText MobileSpeed;
  RecordText Work1Speed;
  RecordText Work2Speed;
  // "", "I", "D", "N", "M", "W", "C" or "S"; never stored in any store.
  RecordText Flag;

  bool operator==(const SyncObject&) const = default;
};

}  // namespace twinbook
