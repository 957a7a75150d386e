#pragma once

#include <string>

namespace twinbook::bench {

// Stores of a chosen size for measuring whole runs, written into a Data
// folder laid out as the program's own: PhoneBook.mdb and Twinbook.mdb made
// by the setup code, and a Contacts folder of vCard 3.0 cards.
//
// The contacts are the same on every call for the same size, so that every
// measurement works on the same input. Of the `contactsPerSide` contacts on
// each side, most are on both sides under the same name (File As in the
// card, ContactName in the phone book), the rest only on one side. Each has
// several numbers and most an e-mail address; names vary, some carry an
// apostrophe or letters outside ASCII, and a few are longer than the phone
// keeps. Beside them the folder holds cards that take no part and two
// distribution lists, as a real contacts folder does.
//
// `dataFolder` must not exist yet; it is made.

// The stores before the first run: cards without contact IDs or speed dials,
// the phone book as the manager keeps it (its own IDs and speed dials, some
// numbers differing from the desktop's, some e-mail addresses missing), and
// an empty sync database.
void WriteFirstRunStores(const std::string& dataFolder, int contactsPerSide);

// The stores as a completed run leaves them: every contact of either side on
// both sides and in the sync database, under one ID, with the desktop's
// values and a speed dial for every number.
void WriteInStepStores(const std::string& dataFolder, int contactsPerSide);

}  // namespace twinbook::bench
