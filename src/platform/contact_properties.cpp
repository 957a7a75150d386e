#include <array>
#include <cctype>
#include <utility>

#include "platform/contacts_folder.h"

namespace twinbook {

namespace {

constexpr std::array<std::pair<ContactProperty, std::string_view>, 19> kNames = {{
    {ContactProperty::FullName, "FullName"},
    {ContactProperty::FirstName, "FirstName"},
    {ContactProperty::LastName, "LastName"},
    {ContactProperty::NickName, "NickName"},
    {ContactProperty::FileAs, "FileAs"},
    {ContactProperty::Email1Address, "Email1Address"},
    {ContactProperty::Email1AddressType, "Email1AddressType"},
    {ContactProperty::Email1DisplayName, "Email1DisplayName"},
    {ContactProperty::BusinessTelephoneNumber, "BusinessTelephoneNumber"},
    {ContactProperty::Business2TelephoneNumber, "Business2TelephoneNumber"},
    {ContactProperty::BusinessFaxNumber, "BusinessFaxNumber"},
    {ContactProperty::HomeTelephoneNumber, "HomeTelephoneNumber"},
    {ContactProperty::MobileTelephoneNumber, "MobileTelephoneNumber"},
    {ContactProperty::PagerNumber, "PagerNumber"},
    {ContactProperty::OtherTelephoneNumber, "OtherTelephoneNumber"},
    {ContactProperty::User1, "User1"},
    {ContactProperty::User2, "User2"},
    {ContactProperty::User3, "User3"},
    {ContactProperty::User4, "User4"},
}};

bool EqualIgnoringCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) {
    return false;
  }
  for (size_t i = 0; i < a.size(); ++i) {
    if (std::tolower(static_cast<unsigned char>(a[i])) !=
        std::tolower(static_cast<unsigned char>(b[i]))) {
      return false;
    }
  }
  return true;
}

}  // namespace

std::span<const ContactProperty> AllContactProperties() {
  static constexpr auto kAll = [] {
    std::array<ContactProperty, kNames.size()> all{};
    for (size_t i = 0; i < kNames.size(); ++i) {
      all[i] = kNames[i].first;
    }
    return all;
  }();
  return kAll;
}

std::string_view PropertyName(ContactProperty property) {
  for (const auto& [p, name] : kNames) {
    if (p == property) {
      return name;
    }
  }
  return {};
}

std::optional<ContactProperty> PropertyNamed(std::string_view name) {
  for (const auto& [p, n] : kNames) {
    if (EqualIgnoringCase(n, name)) {
      return p;
    }
  }
  return std::nullopt;
}

std::string QuoteFilterValue(std::string_view value) {
  std::string quoted;
  quoted.reserve(value.size());
  for (char c : value) {
    quoted += c;
    if (c == '\'') {
      quoted += '\'';
    }
  }
  return quoted;
}

}  // namespace twinbook
