// How contact properties sit in a card: reading, writing, and what a write
// leaves alone.

#include "platform/vcard/vcard_mapping.h"

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "platform/vcard/vcard_text.h"

namespace twinbook::vcard {
namespace {

using P = ContactProperty;

Card Card30(const std::string& body) {
  return Parse("BEGIN:VCARD\r\nVERSION:3.0\r\n" + body + "END:VCARD\r\n");
}

// The card's lines as written, without BEGIN and END.
std::vector<std::string> Lines(const Card& card) {
  std::vector<std::string> lines;
  for (const Line& line : card.lines) {
    lines.push_back(line.opaque || !line.original.empty() ? line.original : RenderLine(line));
  }
  return lines;
}

std::string Prepared(Card card) {
  PrepareForWriting(card, [] { return std::string("new-uid"); });
  return Write(card);
}

constexpr P kPhones[] = {P::BusinessTelephoneNumber, P::Business2TelephoneNumber,
                         P::BusinessFaxNumber,       P::HomeTelephoneNumber,
                         P::MobileTelephoneNumber,   P::PagerNumber,
                         P::OtherTelephoneNumber};

std::map<P, std::string> Phones(const Card& card) {
  std::map<P, std::string> phones;
  for (P p : kPhones) {
    if (std::string number = ReadProperty(card, p); !number.empty()) {
      phones[p] = number;
    }
  }
  return phones;
}

TEST(VCardMappingTest, AssignsTelLinesToPhoneProperties) {
  struct Case {
    const char* lines;
    std::map<P, std::string> phones;
  };
  const Case cases[] = {
      {"TEL;TYPE=WORK,VOICE:1\r\nTEL;TYPE=WORK:2\r\nTEL;TYPE=WORK:3\r\n",
       {{P::BusinessTelephoneNumber, "1"}, {P::Business2TelephoneNumber, "2"}}},
      {"TEL;TYPE=WORK,FAX:1\r\nTEL;TYPE=FAX:2\r\nTEL;TYPE=HOME,FAX:3\r\n",
       {{P::BusinessFaxNumber, "1"}}},
      {"TEL;TYPE=HOME,FAX:1\r\nTEL;TYPE=HOME:2\r\n",
       {{P::BusinessFaxNumber, "1"}, {P::HomeTelephoneNumber, "2"}}},
      {"TEL;TYPE=CELL,WORK:1\r\nTEL;TYPE=PAGER,CELL:2\r\nTEL;TYPE=CELL:3\r\n",
       {{P::MobileTelephoneNumber, "1"}, {P::PagerNumber, "2"}}},
      {"TEL:1\r\nTEL;TYPE=VOICE:2\r\nTEL;TYPE=OTHER:3\r\nTEL;TYPE=VIDEO:4\r\n",
       {{P::OtherTelephoneNumber, "1"}}},
      {"TEL;TYPE=ISDN:1\r\nTEL;TYPE=HOME;TYPE=VOICE:2\r\n",
       {{P::OtherTelephoneNumber, "1"}, {P::HomeTelephoneNumber, "2"}}},
      // The program's own parameter comes first, wherever the line stands.
      {"TEL;TYPE=WORK:1\r\nTEL;TYPE=WORK;X-TWINBOOK-PROPERTY=BusinessTelephoneNumber:2\r\n",
       {{P::BusinessTelephoneNumber, "2"}, {P::Business2TelephoneNumber, "1"}}},
      {"TEL;TYPE=WORK;X-TWINBOOK-PROPERTY=Business2TelephoneNumber:2\r\n",
       {{P::Business2TelephoneNumber, "2"}}},
      {"TEL;TYPE=CELL;X-TWINBOOK-PROPERTY=pagernumber:9\r\nTEL;TYPE=CELL:8\r\n",
       {{P::PagerNumber, "9"}, {P::MobileTelephoneNumber, "8"}}},
      {"TEL;X-TWINBOOK-PROPERTY=HomeTelephoneNumber:1\r\n"
       "TEL;X-TWINBOOK-PROPERTY=HomeTelephoneNumber:2\r\n",
       {{P::HomeTelephoneNumber, "1"}}},
      {"TEL;X-TWINBOOK-PROPERTY=User1:1\r\n", {{P::OtherTelephoneNumber, "1"}}},
      // Grouped lines and URIs.
      {"item1.TEL;type=HOME:1\r\nitem1.X-ABLabel:home\r\n", {{P::HomeTelephoneNumber, "1"}}},
      {"TEL;VALUE=uri;TYPE=cell:tel:+1-555-0100\r\n", {{P::MobileTelephoneNumber, "+1-555-0100"}}},
      {"TEL;TYPE=HOME:555\\,0100\r\n", {{P::HomeTelephoneNumber, "555,0100"}}},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Phones(Card30(c.lines)), c.phones) << c.lines;
  }
}

TEST(VCardMappingTest, WritingAMissingPhoneAddsATypedLine) {
  struct Case {
    P property;
    const char* line;
  };
  const Case cases[] = {
      {P::BusinessTelephoneNumber,
       "TEL;TYPE=WORK,VOICE;X-TWINBOOK-PROPERTY=BusinessTelephoneNumber:555"},
      {P::Business2TelephoneNumber,
       "TEL;TYPE=WORK,VOICE;X-TWINBOOK-PROPERTY=Business2TelephoneNumber:555"},
      {P::BusinessFaxNumber, "TEL;TYPE=WORK,FAX;X-TWINBOOK-PROPERTY=BusinessFaxNumber:555"},
      {P::HomeTelephoneNumber, "TEL;TYPE=HOME,VOICE;X-TWINBOOK-PROPERTY=HomeTelephoneNumber:555"},
      {P::MobileTelephoneNumber, "TEL;TYPE=CELL;X-TWINBOOK-PROPERTY=MobileTelephoneNumber:555"},
      {P::PagerNumber, "TEL;TYPE=PAGER;X-TWINBOOK-PROPERTY=PagerNumber:555"},
      {P::OtherTelephoneNumber, "TEL;TYPE=VOICE;X-TWINBOOK-PROPERTY=OtherTelephoneNumber:555"},
  };
  for (const Case& c : cases) {
    Card card = Card30("FN:x\r\n");
    EXPECT_TRUE(WriteProperty(card, c.property, "555"));
    EXPECT_EQ(Lines(card), (std::vector<std::string>{"VERSION:3.0", "FN:x", c.line}));
    EXPECT_EQ(Phones(card), (std::map<P, std::string>{{c.property, "555"}}));
  }
}

TEST(VCardMappingTest, ChangingOnePhoneLeavesTheOthersWhereTheyWere) {
  Card card = Card30("FN:x\r\n");  // a lone second work number stays the second
  WriteProperty(card, P::Business2TelephoneNumber, "2");
  Card reread = Parse(Prepared(card));
  EXPECT_EQ(Phones(reread), (std::map<P, std::string>{{P::Business2TelephoneNumber, "2"}}));
  WriteProperty(reread, P::BusinessTelephoneNumber, "1");
  EXPECT_EQ(Phones(Parse(Prepared(reread))),
            (std::map<P, std::string>{{P::BusinessTelephoneNumber, "1"},
                                      {P::Business2TelephoneNumber, "2"}}));
  const Card original = Card30(
      "TEL;TYPE=WORK:1\r\n"
      "TEL;TYPE=WORK:2\r\n"
      "TEL;TYPE=HOME:3\r\n"
      "TEL;TYPE=HOME:4\r\n"
      "TEL;TYPE=CELL:5\r\n");
  {
    card = original;
    EXPECT_TRUE(WriteProperty(card, P::BusinessTelephoneNumber, ""));
    EXPECT_EQ(Phones(card), (std::map<P, std::string>{{P::Business2TelephoneNumber, "2"},
                                                      {P::HomeTelephoneNumber, "3"},
                                                      {P::MobileTelephoneNumber, "5"}}));
    EXPECT_EQ(Lines(card),
              (std::vector<std::string>{
                  "VERSION:3.0", "TEL;TYPE=WORK;X-TWINBOOK-PROPERTY=Business2TelephoneNumber:2",
                  "TEL;TYPE=HOME:3", "TEL;TYPE=HOME:4", "TEL;TYPE=CELL:5"}));
  }
  // The second home number is no property: removing the first lets it in,
  // as any reader of the card would read it.
  card = original;
  EXPECT_TRUE(WriteProperty(card, P::HomeTelephoneNumber, ""));
  EXPECT_EQ(ReadProperty(card, P::HomeTelephoneNumber), "4");
  // A phone URI becomes text when written.
  card = Parse(
      "BEGIN:VCARD\r\nVERSION:4.0\r\nTEL;VALUE=uri;TYPE=cell:tel:+1-555-0100\r\nEND:VCARD\r\n");
  WriteProperty(card, P::MobileTelephoneNumber, "(555) 0199");
  EXPECT_EQ(Lines(card)[1], "TEL;TYPE=cell;X-TWINBOOK-PROPERTY=MobileTelephoneNumber:(555) 0199");
  EXPECT_EQ(ReadProperty(card, P::MobileTelephoneNumber), "(555) 0199");
}

TEST(VCardMappingTest, AnEmptyFullNameIsWrittenAsAMarkedStandIn) {
  struct Case {
    std::map<P, std::string> properties;
    const char* standIn;
  };
  const Case cases[] = {
      {{{P::FileAs, "Lee, Ann"}, {P::FirstName, "Ann"}, {P::NickName, "Annie"}}, "Lee, Ann"},
      {{{P::FirstName, "Ann"}, {P::LastName, "Lee"}}, "Lee, Ann"},
      {{{P::FirstName, "Ann"}, {P::NickName, "Annie"}}, "Ann"},
      {{{P::NickName, "Annie"}, {P::Email1Address, "ann@example.com"}}, "Annie"},
      {{{P::Email1Address, "ann@example.com"}, {P::PagerNumber, "555"}}, "ann@example.com"},
      {{{P::PagerNumber, "555"}, {P::User3, "7"}}, "555"},
      {{{P::User3, "7"}}, ""},
  };
  for (const Case& c : cases) {
    Card card = NewCard("u");
    for (const auto& [property, value] : c.properties) {
      WriteProperty(card, property, value);
    }
    const Card written = Parse(Prepared(card));
    EXPECT_EQ(UnescapeText(written.First("FN")->value), c.standIn);
    EXPECT_NE(written.First("FN")->FindParam("X-TWINBOOK-STAND-IN"), nullptr);
    EXPECT_EQ(ReadProperty(written, P::FullName), "");
  }
}

TEST(VCardMappingTest, TheStandInFollowsTheOtherPropertiesUntilAFullNameIsGiven) {
  Card card = NewCard("u");
  WriteProperty(card, P::FileAs, "Lee, Ann");
  Card written = Parse(Prepared(card));
  WriteProperty(written, P::FileAs, "Lee-Smith, Ann");
  written = Parse(Prepared(written));
  EXPECT_EQ(UnescapeText(written.First("FN")->value), "Lee-Smith, Ann");
  EXPECT_EQ(ReadProperty(written, P::FullName), "");

  // Another client renames the contact and keeps the parameter it does not know.
  std::string bytes = Write(written);
  const std::string standIn = ":Lee-Smith\\, Ann\r\n";
  const size_t at = bytes.find(standIn);
  ASSERT_NE(at, std::string::npos);
  ASSERT_EQ(bytes.rfind("FN;", at), bytes.rfind("\n", at) + 1) << "the first one is FN";
  bytes.replace(at, standIn.size(), ":Ann Lee-Smith\r\n");
  Card edited = Parse(bytes);
  EXPECT_EQ(ReadProperty(edited, P::FullName), "Ann Lee-Smith");
  WriteProperty(edited, P::FileAs, "Smith, Ann");
  EXPECT_EQ(UnescapeText(Parse(Prepared(edited)).First("FN")->value), "Ann Lee-Smith");

  // A full name written here replaces the stand-in.
  WriteProperty(written, P::FullName, "Ann Lee");
  const Card renamed = Parse(Prepared(written));
  EXPECT_EQ(ReadProperty(renamed, P::FullName), "Ann Lee");
  EXPECT_EQ(renamed.First("FN")->FindParam("X-TWINBOOK-STAND-IN"), nullptr);
}

TEST(VCardMappingTest, FileAsComesFromItsOwnLineElseNameElseFullName) {
  struct Case {
    const char* lines;
    const char* fileAs;
  };
  const Case cases[] = {
      {"X-EVOLUTION-FILE-AS:Boss\\, The\r\nN:Lee;Ann;;;\r\nFN:Ann Lee\r\n", "Boss, The"},
      {"N:Lee;Ann;;;\r\nFN:Ann Lee\r\n", "Lee, Ann"},
      {"N:Lee;;;;\r\nFN:Ann Lee\r\n", "Lee"},
      {"N:;Ann;;;\r\nFN:Ann Lee\r\n", "Ann"},
      {"N:;;;;\r\nFN:Ann Lee\r\n", "Ann Lee"},
      {"FN:Acme Inc.\r\n", "Acme Inc."},
      {"N:Lee\r\n", "Lee"},
      {"FN;X-TWINBOOK-STAND-IN=cbf29ce484222325:\r\n", ""},
      {"", ""},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ReadProperty(Card30(c.lines), P::FileAs), c.fileAs) << c.lines;
  }
}

TEST(VCardMappingTest, WrittenFileAsNoLongerFollowsTheNameUnlessItRestatesIt) {
  Card card = Card30("N:Lee;Ann;;;\r\nFN:Ann Lee\r\n");
  EXPECT_TRUE(WriteProperty(card, P::FileAs, "Lee, Ann"));
  WriteProperty(card, P::LastName, "Smith");
  EXPECT_EQ(ReadProperty(card, P::FileAs), "Lee, Ann");
  EXPECT_FALSE(WriteProperty(card, P::FileAs, "Lee, Ann"));
  EXPECT_TRUE(WriteProperty(card, P::FileAs, ""));
  EXPECT_EQ(ReadProperty(card, P::FileAs), "Smith, Ann");

  // Programs that know no X-EVOLUTION-FILE-AS (khard, phones through CardDAV)
  // rename a contact by changing N and FN only. A file-as the program wrote
  // that merely restated N must follow that rename, or the new name would
  // never reach the phone.
  struct Case {
    std::map<P, std::string> properties;
    bool lineKept;
    const char* fileAsAfterRename;  // once N has become "Smith;Zoë;;;"
  };
  const Case cases[] = {
      {{{P::FileAs, "O'Brien, Zoë"}, {P::FirstName, "Zoë"}, {P::LastName, "O'Brien"}},
       false,
       "Smith, Zoë"},
      {{{P::FileAs, "O'Brien"}, {P::LastName, "O'Brien"}}, false, "Smith, Zoë"},
      {{{P::FileAs, "Zoë O'Brien"}, {P::FirstName, "Zoë"}, {P::LastName, "O'Brien"}},
       true,
       "Zoë O'Brien"},
      {{{P::FileAs, "Boss, The"}, {P::FirstName, "Zoë"}, {P::LastName, "O'Brien"}},
       true,
       "Boss, The"},
      {{{P::FileAs, "Mom"}}, true, "Mom"},
  };
  for (const Case& c : cases) {
    Card card = NewCard("u");
    for (const auto& [property, value] : c.properties) {
      WriteProperty(card, property, value);
    }
    const std::string fileAs = ReadProperty(card, P::FileAs);
    std::string bytes = Prepared(card);
    const Card saved = Parse(bytes);
    EXPECT_EQ(saved.First("X-EVOLUTION-FILE-AS") != nullptr, c.lineKept) << fileAs;
    EXPECT_EQ(ReadProperty(saved, P::FileAs), fileAs);
    EXPECT_EQ(UnescapeText(saved.First("FN")->value), fileAs) << "the stand-in files as before";

    // The other program's rename, everything else kept byte for byte.
    const size_t n = bytes.find("\r\nN:");
    ASSERT_NE(n, std::string::npos);
    bytes.replace(n + 2, bytes.find("\r\n", n + 2) - (n + 2), "N:Smith;Zoë;;;");
    EXPECT_EQ(ReadProperty(Parse(bytes), P::FileAs), c.fileAsAfterRename) << fileAs;
  }
  // A file-as not written since reading is kept even when it restates N.
  for (const char* version : {"2.1", "3.0"}) {
    Card card = Parse(std::string("BEGIN:VCARD\r\nVERSION:") + version +
                      "\r\nN:Lee;;;;\r\nFN:Ann Lee\r\nX-EVOLUTION-FILE-AS:Lee\r\nEND:VCARD\r\n");
    WriteProperty(card, P::NickName, "Annie");
    const Card saved = Parse(Prepared(card));
    ASSERT_NE(saved.First("X-EVOLUTION-FILE-AS"), nullptr) << version;
    EXPECT_EQ(UnescapeText(saved.First("X-EVOLUTION-FILE-AS")->value), "Lee");
  }
}

TEST(VCardMappingTest, NamePartsKeepTheOtherPartsAndUserPropertiesAreOwnLines) {
  Card card = Card30("N:Lee;Ann;Maria\\, Jo;Dr.;Jr.\r\n");
  WriteProperty(card, P::FirstName, "Anne");
  EXPECT_EQ(Lines(card)[1], "N:Lee;Anne;Maria\\, Jo;Dr.;Jr.");
  WriteProperty(card, P::LastName, "O'Brien; Lee");
  EXPECT_EQ(Lines(card)[1], "N:O'Brien\\; Lee;Anne;Maria\\, Jo;Dr.;Jr.");
  Card short21 = Parse("BEGIN:VCARD\r\nVERSION:2.1\r\nN:Lee\r\nEND:VCARD\r\n");
  WriteProperty(short21, P::FirstName, "Ann");
  EXPECT_EQ(ReadProperty(short21, P::LastName), "Lee");
  EXPECT_EQ(ReadProperty(short21, P::FirstName), "Ann");
  card = Card30("FN:x\r\n");
  WriteProperty(card, P::User1, "123*45*678");
  WriteProperty(card, P::User2, "YES");
  WriteProperty(card, P::User3, "42");
  WriteProperty(card, P::User4, "W2:5,DC:3");
  WriteProperty(card, P::User2, "No");
  WriteProperty(card, P::User3, "");
  EXPECT_EQ(Lines(card),
            (std::vector<std::string>{"VERSION:3.0", "FN:x", "X-TWINBOOK-USER1:123*45*678",
                                      "X-TWINBOOK-USER2:No", "X-TWINBOOK-USER4:W2:5\\,DC:3"}));
}

TEST(VCardMappingTest, TheFirstOrPreferredEmailIsEmailOne) {
  struct Case {
    const char* lines;
    const char* address;
    const char* type;
  };
  const Case cases[] = {
      {"EMAIL;TYPE=INTERNET:a@x\r\nEMAIL;TYPE=INTERNET:b@x\r\n", "a@x", "SMTP"},
      {"EMAIL;TYPE=INTERNET:a@x\r\nEMAIL;TYPE=INTERNET,PREF:b@x\r\n", "b@x", "SMTP"},
      {"EMAIL:a@x\r\nEMAIL;type=pref;type=internet:b@x\r\n", "b@x", "SMTP"},
      {"EMAIL;PREF=2:a@x\r\nEMAIL;PREF=1:b@x\r\nEMAIL;TYPE=pref:c@x\r\n", "b@x", "SMTP"},
      {"EMAIL;INTERNET:a@x\r\nEMAIL;PREF;INTERNET:b@x\r\n", "b@x", "SMTP"},
      {"item1.EMAIL;type=INTERNET;type=pref:a@x\r\nitem1.X-ABLabel:Other\r\n", "a@x", "SMTP"},
      {"EMAIL;TYPE=work:a@x\r\n", "a@x", "SMTP"},
      {"EMAIL;TYPE=X400;TYPE=work:/c=us/o=acme/\r\n", "/c=us/o=acme/", "X400"},
      {"", "", ""},
  };
  for (const Case& c : cases) {
    const Card card = Card30(c.lines);
    EXPECT_EQ(ReadProperty(card, P::Email1Address), c.address) << c.lines;
    EXPECT_EQ(ReadProperty(card, P::Email1AddressType), c.type) << c.lines;
  }
}

TEST(VCardMappingTest, EmailWritesGoToEmailOneOnly) {
  Card card = Card30(
      "EMAIL;TYPE=INTERNET:a@x\r\n"
      "item1.EMAIL;TYPE=INTERNET,HOME,PREF:b@x\r\n"
      "item1.X-ABLabel:Mine\r\n");
  WriteProperty(card, P::Email1Address, "B@X");
  WriteProperty(card, P::Email1DisplayName, "Bee \"B\" (b@x)");
  WriteProperty(card, P::Email1AddressType, "EX");
  EXPECT_EQ(Lines(card),
            (std::vector<std::string>{
                "VERSION:3.0", "EMAIL;TYPE=INTERNET:a@x",
                "item1.EMAIL;TYPE=EX,HOME,PREF;X-TWINBOOK-DISPLAY-NAME=Bee ^'B^' (b@x):B@X",
                "item1.X-ABLabel:Mine"}));
  EXPECT_EQ(ReadProperty(card, P::Email1DisplayName), "Bee \"B\" (b@x)");
  WriteProperty(card, P::Email1AddressType, "SMTP");
  EXPECT_EQ(ReadProperty(card, P::Email1AddressType), "SMTP");
  EXPECT_TRUE(card.lines[2].HasType("INTERNET"));
  WriteProperty(card, P::Email1Address, "");
  EXPECT_EQ(ReadProperty(card, P::Email1Address), "a@x");
  EXPECT_EQ(ReadProperty(card, P::Email1DisplayName), "");
}

TEST(VCardMappingTest, PreparingAddsWhatEveryCardNeeds) {
  Card card = Parse("BEGIN:VCARD\r\nNOTE:only this\r\nEND:VCARD\r\n");
  PrepareForWriting(card, [] { return std::string("fresh"); });
  EXPECT_EQ(Lines(card),
            (std::vector<std::string>{"VERSION:3.0", "NOTE:only this", "UID:fresh", "N:;;;;",
                                      "FN;X-TWINBOOK-STAND-IN=cbf29ce484222325:"}));
  const Card complete = Card30("UID:u\r\nN:Lee;Ann;;;\r\nFN:Ann Lee\r\n");
  Card same = complete;
  PrepareForWriting(same, [] { return std::string("unused"); });
  EXPECT_EQ(same, complete);
  EXPECT_EQ(CardTypeName(Card30("KIND:individual\r\n")), "ContactItem");
  EXPECT_EQ(CardTypeName(Card30("KIND:Group\r\n")), "DistListItem");
}

}  // namespace
}  // namespace twinbook::vcard
