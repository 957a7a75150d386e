#pragma once

#include <array>
#include <chrono>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "platform/contacts_folder.h"
#include "platform/vcard/vcard_card.h"

// How the contact properties sit in a vCard.
//
//   FullName            FN. A card needs an FN, and every client shows it as
//                       the contact's name, so an empty FullName is written as
//                       a stand-in FN (FileAs, else given and family name,
//                       else NickName, else the e-mail address, else the first
//                       phone number) marked by X-TWINBOOK-STAND-IN, whose
//                       value is a fingerprint of the stand-in text: the card
//                       reads FullName "" until another client changes FN,
//                       even one that keeps the parameter.
//   LastName, FirstName family and given parts of N; its other parts are kept
//   NickName            NICKNAME
//   FileAs              X-EVOLUTION-FILE-AS; without it "Last, First" from N
//                       (one part alone when only one is set), else FN
//                       unless FN is a stand-in. A file-as written as just
//                       that form of N is left out when the card is saved,
//                       so that it follows a rename made in another program
//   Email1Address       the first EMAIL, or the most preferred (PREF) one
//   Email1AddressType   that line's kind: INTERNET reads as "SMTP" and "SMTP"
//                       writes INTERNET; a line with an address and no kind
//                       reads "SMTP", the vCard default
//   Email1DisplayName   X-TWINBOOK-DISPLAY-NAME, a parameter of that line, so
//                       it goes with the address
//   the seven phones    TEL lines, see AssignPhones in vcard_mapping.cpp
//   User1 to User4      X-TWINBOOK-USER1 to X-TWINBOOK-USER4
//
// Grouped lines ("item1.EMAIL", as Apple writes labelled addresses) count
// like ungrouped ones; a value written to one keeps its group, so its label
// stays with it. Writing "" removes the line that holds the property (for
// Email1Address the line with its type and display name).
namespace twinbook::vcard {

inline constexpr std::string_view kDistListItemType = "DistListItem";

std::string ReadProperty(const Card& card, ContactProperty property);

// Which line holds each phone number of a card; working it out takes a pass
// over the card's lines.
using PhoneLines = std::array<int, 7>;

// ReadProperty, working out the card's phone lines into `phones` when it
// needs them and `phones` is empty, and using them as they are otherwise:
// reading the numbers of one card then takes one pass instead of one per
// number. `phones` must be empty or hold what was worked out for this card
// as it stands.
std::string ReadProperty(const Card& card, ContactProperty property,
                         std::optional<PhoneLines>& phones);

// Writes `value` to the card's lines. Returns whether any line changed:
// writing the value a property already reads is no change (except FileAs,
// which is stored when written, so that it no longer follows N).
bool WriteProperty(Card& card, ContactProperty property, const std::string& value);

// "ContactItem", or kDistListItemType for a card that declares itself a group
// (KIND:group, or Apple's X-ADDRESSBOOKSERVER-KIND:group).
std::string CardTypeName(const Card& card);

// The card's UID as text; "" without one.
std::string CardUid(const Card& card);

// Makes the card ready to be written: a file-as written since it was read
// that restates N is dropped; a 2.1 card becomes 3.0; VERSION, UID (from
// `newUid`), N and FN are added where missing; a stand-in FN gets its
// current text.
void PrepareForWriting(Card& card, const std::function<std::string()>& newUid);

// Dates the card's content: REV becomes `when` as a UTC timestamp in the
// basic form that 3.0 and 4.0 both read ("20261207T161254Z"). The first REV
// line takes it in place (without its parameters: a VALUE=date would no
// longer fit); further REV lines go; a card without one gets it at its end.
void StampRevision(Card& card, std::chrono::system_clock::time_point when);

// A new, empty 3.0 card with the given UID.
Card NewCard(const std::string& uid);

}  // namespace twinbook::vcard
