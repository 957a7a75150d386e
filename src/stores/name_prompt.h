#pragma once

#include <optional>
#include <string>

#include "environment/user_view.h"

namespace twinbook {

// The check behind the name change prompt's OK button. New File As is always
// required; with the name field "Full Name" New Full Name is required too,
// because that is where the synchronised name lives. Texts count as typed: a
// single blank is a value.
//
// Returns nullopt when the values may be accepted, else the message to show:
// "The 'New File As' and 'New <field>' fields must each have a value."
// Every name field other than "Full Name" ("File As", "Nickname" or anything
// else stored) requires only New File As and names it as "File As" does: the
// prompt has no nickname box, so a message asking for a "New Nickname" would
// name a field the user cannot fill, and a check that could never pass would
// leave the user no way forward but closing the prompt.
std::optional<std::string> CheckNewName(const NameValues& values, const std::string& nameField);

// The values the prompt is filled with when the synchronised name of a contact
// has become `contactName`. `current` holds the contact's present FirstName,
// LastName, FullName and FileAs (all "" for a contact about to be created).
// First and last names are always the contact's; the new name goes into the
// box of the name field ("File As": File As, "Full Name": Full Name). With any
// other name field the prompt offers the contact's own names unchanged.
NameValues ProposeNewName(const std::string& nameField, const std::string& contactName,
                          const NameValues& current);

}  // namespace twinbook
