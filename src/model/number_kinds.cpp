#include "model/number_kinds.h"

#include <array>

namespace twinbook {

namespace {

constexpr std::array<NumberKind, 9> kKinds = {{
    {0, &SyncObject::Work2Number, &SyncObject::Work2Speed, "W2:", "secondary work number"},
    {1, &SyncObject::DCNumber, &SyncObject::DCSpeed, "DC:", "direct connect number"},
    {2, &SyncObject::HomeNumber, &SyncObject::HomeSpeed, "H:", "home number"},
    {3, &SyncObject::Work1Number, &SyncObject::Work1Speed, "W1:", "work number"},
    {4, &SyncObject::MobileNumber, &SyncObject::MobileSpeed, "M:", "mobile number"},
    {5, &SyncObject::FaxNumber, &SyncObject::FaxSpeed, "F:", "FAX number"},
    {6, &SyncObject::PagerNumber, &SyncObject::PagerSpeed, "P:", "pager number"},
    {9, &SyncObject::OtherNumber, &SyncObject::OtherSpeed, "O:", "'other' number"},
    {10, &SyncObject::EmailAddress, &SyncObject::EmailSpeed, "E:", "email address"},
}};

}  // namespace

std::span<const NumberKind> NumberKinds() {
  return kKinds;
}

std::optional<NumberKind> NumberKindOf(long long code) {
  for (const NumberKind& kind : kKinds) {
    if (kind.code == code) {
      return kind;
    }
  }
  return std::nullopt;
}

std::string KindWord(long long code) {
  std::optional<NumberKind> kind = NumberKindOf(code);
  return kind ? kind->kindWord : "";
}

}  // namespace twinbook
