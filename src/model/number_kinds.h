#pragma once

#include <optional>
#include <span>
#include <string>

#include "model/sync_object.h"

namespace twinbook {

// The nine numbers and addresses of a contact, keyed by the phone book's
// NumberType codes. The same codes index the speed-dial tags and the kind
// words of the phone book log, so they all live in one table.
// Codes 7 and 8 exist in the phone book but are not synchronised.
struct NumberKind {
  int code;
  RecordText SyncObject::*number;
  RecordText SyncObject::*speed;
  const char* tag;       // speed-dial tag, e.g. "W2:"
  const char* kindWord;  // e.g. "secondary work number"
};

// The synchronised kinds in code order: 0, 1, 2, 3, 4, 5, 6, 9, 10.
std::span<const NumberKind> NumberKinds();

// The kind of `code`, or nullopt for 7, 8 and any code outside 0 to 10.
std::optional<NumberKind> NumberKindOf(long long code);

// The word the phone book log uses for `code`: empty for 7 and 8.
std::string KindWord(long long code);

}  // namespace twinbook
