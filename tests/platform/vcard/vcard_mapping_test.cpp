// How contact properties sit in a card: reading, writing, and what a write
// leaves alone.
#include "platform/vcard/vcard_mapping.h"

#include <gtest/gtest.h>

#include <map>

#include "platform/vcard/vcard_text.h"

namespace twinbook::vcard {
namespace {

using P = ContactProperty;
using Strings = std::vector<std::string>;
using Values = std::map<P, std::string>;

Card Card30(const std::string& body) {
  return Parse("BEGIN:VCARD\r\nVERSION:3.0\r\n" + body + "END:VCARD\r\n");
}

// The card's lines as written, without BEGIN and END.
Strings Lines(const Card& card) {
  Strings lines;
  for (const Line& line : card.lines) {
    lines.push_back(line.opaque || !line.original.empty() ? line.original.str() : RenderLine(line));
  }
  return lines;
}

// The card as the folder saves it.
std::string Prepared(Card card) {
  PrepareForWriting(card, [] { return std::string("new-uid"); });
  return Write(card);
}

Card Made(const Values& values) {
  Card card = NewCard("u");
  for (const auto& [property, value] : values) {
    WriteProperty(card, property, value);
  }
  return card;
}

Values Phones(const Card& card) {
  Values phones;
  for (P p : {P::BusinessTelephoneNumber, P::Business2TelephoneNumber, P::BusinessFaxNumber,
              P::HomeTelephoneNumber, P::MobileTelephoneNumber, P::PagerNumber,
              P::OtherTelephoneNumber}) {
    if (std::string number = ReadProperty(card, p); !number.empty()) {
      phones[p] = number;
    }
  }
  return phones;
}

TEST(VCardMappingTest, ACardWithoutVersionUidOrNameIsSavedAsThreeZeroWithThem) {
  EXPECT_EQ(Prepared(Parse("BEGIN:VCARD\r\nFN:Ann\r\nEND:VCARD\r\n")),
            "BEGIN:VCARD\r\nVERSION:3.0\r\nFN:Ann\r\nUID:new-uid\r\nN:;;;;\r\nEND:VCARD\r\n");
}

TEST(VCardMappingTest, TelLinesGoToPhonePropertiesAndWrittenOnesAreTyped) {
  const std::pair<const char*, Values> cases[] = {
      // clang-format off
      {"TEL;TYPE=WORK,VOICE:1\r\nTEL;TYPE=WORK:2\r\nTEL;TYPE=WORK:3\r\n", {{P::BusinessTelephoneNumber, "1"}, {P::Business2TelephoneNumber, "2"}}},
      {"TEL;TYPE=WORK,FAX:1\r\nTEL;TYPE=FAX:2\r\nTEL;TYPE=HOME:3\r\n", {{P::BusinessFaxNumber, "1"}, {P::HomeTelephoneNumber, "3"}}},
      {"TEL;TYPE=HOME,FAX:1\r\n", {{P::BusinessFaxNumber, "1"}}},
      {"TEL;TYPE=CELL,WORK:1\r\nTEL;TYPE=PAGER,CELL:2\r\nTEL;TYPE=CELL:3\r\n", {{P::MobileTelephoneNumber, "1"}, {P::PagerNumber, "2"}}},
      {"TEL:1\r\nTEL;TYPE=VOICE:2\r\nTEL;TYPE=ISDN:3\r\n", {{P::OtherTelephoneNumber, "1"}}},
      {"TEL;TYPE=WORK:1\r\nTEL;TYPE=WORK;X-TWINBOOK-PROPERTY=BusinessTelephoneNumber:2\r\n", {{P::BusinessTelephoneNumber, "2"}, {P::Business2TelephoneNumber, "1"}}},
      {"TEL;TYPE=CELL;X-TWINBOOK-PROPERTY=pagernumber:9\r\nTEL;TYPE=CELL:8\r\n", {{P::PagerNumber, "9"}, {P::MobileTelephoneNumber, "8"}}},
      {"TEL;X-TWINBOOK-PROPERTY=HomeTelephoneNumber:1\r\nTEL;X-TWINBOOK-PROPERTY=HomeTelephoneNumber:2\r\n", {{P::HomeTelephoneNumber, "1"}}},
      {"TEL;X-TWINBOOK-PROPERTY=User1:1\r\n", {{P::OtherTelephoneNumber, "1"}}},
      {"item1.TEL;type=HOME:1\r\nitem1.X-ABLabel:home\r\n", {{P::HomeTelephoneNumber, "1"}}},
      {"TEL;VALUE=uri;TYPE=cell:tel:+1-555-0100\r\n", {{P::MobileTelephoneNumber, "+1-555-0100"}}},
      {"TEL;TYPE=HOME:555\\,0100\r\n", {{P::HomeTelephoneNumber, "555,0100"}}},
  };
  const std::pair<P, const char*> written[] = {
      {P::BusinessTelephoneNumber, "TEL;TYPE=WORK,VOICE;X-TWINBOOK-PROPERTY=BusinessTelephoneNumber:5"},
      {P::Business2TelephoneNumber, "TEL;TYPE=WORK,VOICE;X-TWINBOOK-PROPERTY=Business2TelephoneNumber:5"},
      {P::BusinessFaxNumber, "TEL;TYPE=WORK,FAX;X-TWINBOOK-PROPERTY=BusinessFaxNumber:5"},
      {P::HomeTelephoneNumber, "TEL;TYPE=HOME,VOICE;X-TWINBOOK-PROPERTY=HomeTelephoneNumber:5"},
      {P::MobileTelephoneNumber, "TEL;TYPE=CELL;X-TWINBOOK-PROPERTY=MobileTelephoneNumber:5"},
      {P::PagerNumber, "TEL;TYPE=PAGER;X-TWINBOOK-PROPERTY=PagerNumber:5"},
      {P::OtherTelephoneNumber, "TEL;TYPE=VOICE;X-TWINBOOK-PROPERTY=OtherTelephoneNumber:5"},
  };  // clang-format on
  for (const auto& [lines, phones] : cases) {
    EXPECT_EQ(Phones(Card30(lines)), phones) << lines;
  }
  for (const auto& [property, line] : written) {
    Card card = Card30("FN:x\r\n");
    EXPECT_TRUE(WriteProperty(card, property, "5"));
    EXPECT_EQ(Lines(card), (Strings{"VERSION:3.0", "FN:x", line}));
    EXPECT_EQ(Phones(Parse(Prepared(card))), (Values{{property, "5"}}));
  }
}

TEST(VCardMappingTest, ChangingOnePhoneLeavesTheOthersWhereTheyWere) {
  const Card original =
      Card30("TEL;TYPE=WORK:1\r\nTEL;TYPE=WORK:2\r\nTEL;TYPE=HOME:3\r\nTEL;TYPE=HOME:4\r\n");
  Card card = original;
  EXPECT_TRUE(WriteProperty(card, P::BusinessTelephoneNumber, ""));
  EXPECT_EQ(Lines(card),
            (Strings{"VERSION:3.0", "TEL;TYPE=WORK;X-TWINBOOK-PROPERTY=Business2TelephoneNumber:2",
                     "TEL;TYPE=HOME:3", "TEL;TYPE=HOME:4"}));
  card = original;  // the second home number is no property: removing the first lets it in
  EXPECT_TRUE(WriteProperty(card, P::HomeTelephoneNumber, ""));
  EXPECT_EQ(ReadProperty(card, P::HomeTelephoneNumber), "4");
  card = Parse("BEGIN:VCARD\r\nVERSION:4.0\r\nTEL;VALUE=uri;TYPE=cell:tel:+1-5\r\nEND:VCARD\r\n");
  WriteProperty(card, P::MobileTelephoneNumber, "(555) 0199");  // a URI becomes text
  EXPECT_EQ(Lines(card)[1], "TEL;TYPE=cell;X-TWINBOOK-PROPERTY=MobileTelephoneNumber:(555) 0199");
}

TEST(VCardMappingTest, AnEmptyFullNameIsAMarkedStandInFollowingTheOthersUntilOneIsGiven) {
  const std::pair<Values, const char*> cases[] = {
      // clang-format off
      {{{P::FileAs, "Lee, Ann"}, {P::FirstName, "Ann"}, {P::NickName, "Annie"}}, "Lee, Ann"},
      {{{P::FirstName, "Ann"}, {P::LastName, "Lee"}}, "Lee, Ann"},
      {{{P::FirstName, "Ann"}, {P::NickName, "Annie"}}, "Ann"},
      {{{P::NickName, "Annie"}, {P::Email1Address, "ann@example.com"}}, "Annie"},
      {{{P::Email1Address, "ann@example.com"}, {P::PagerNumber, "555"}}, "ann@example.com"},
      {{{P::PagerNumber, "555"}, {P::User3, "7"}}, "555"},
      {{{P::User3, "7"}}, ""},
  };  // clang-format on
  for (const auto& [values, standIn] : cases) {
    const Card written = Parse(Prepared(Made(values)));
    EXPECT_EQ(UnescapeText(written.First("FN")->value), standIn);
    EXPECT_NE(written.First("FN")->FindParam("X-TWINBOOK-STAND-IN"), nullptr);
    EXPECT_EQ(ReadProperty(written, P::FullName), "");
  }
  Card written = Parse(Prepared(Made({{P::FileAs, "Lee, Ann"}})));
  WriteProperty(written, P::FileAs, "Lee-Smith, Ann");
  written = Parse(Prepared(written));
  EXPECT_EQ(UnescapeText(written.First("FN")->value), "Lee-Smith, Ann");
  // Another client renames the contact and keeps the parameter it does not know.
  std::string bytes = Write(written);
  const size_t at = bytes.find(":Lee-Smith\\, Ann\r\n");
  ASSERT_EQ(bytes.rfind("FN;", at), bytes.rfind("\n", at) + 1);
  bytes.replace(at, 18, ":Ann Lee-Smith\r\n");
  Card edited = Parse(bytes);
  EXPECT_EQ(ReadProperty(edited, P::FullName), "Ann Lee-Smith");
  WriteProperty(edited, P::FileAs, "Smith, Ann");
  EXPECT_EQ(UnescapeText(Parse(Prepared(edited)).First("FN")->value), "Ann Lee-Smith");
  WriteProperty(written, P::FullName, "Ann Lee");
  const Card renamed = Parse(Prepared(written));
  EXPECT_EQ(ReadProperty(renamed, P::FullName), "Ann Lee");
  EXPECT_EQ(renamed.First("FN")->FindParam("X-TWINBOOK-STAND-IN"), nullptr);
}

TEST(VCardMappingTest, FileAsComesFromItsOwnLineElseNameElseFullName) {
  const std::pair<const char*, const char*> cases[] = {
      // clang-format off
      {"X-EVOLUTION-FILE-AS:Boss\\, The\r\nN:Lee;Ann;;;\r\nFN:Ann Lee\r\n", "Boss, The"},
      {"N:Lee;Ann;;;\r\nFN:Ann Lee\r\n", "Lee, Ann"}, {"N:Lee;;;;\r\nFN:Ann Lee\r\n", "Lee"},
      {"N:;Ann;;;\r\nFN:Ann Lee\r\n", "Ann"},         {"N:;;;;\r\nFN:Ann Lee\r\n", "Ann Lee"},
      {"N:Lee\r\n", "Lee"}, {"FN;X-TWINBOOK-STAND-IN=cbf29ce484222325:\r\n", ""}, {"", ""},
  };  // clang-format on
  for (const auto& [lines, fileAs] : cases) {
    EXPECT_EQ(ReadProperty(Card30(lines), P::FileAs), fileAs) << lines;
  }
  Card card = Card30("N:Lee;Ann;;;\r\nFN:Ann Lee\r\n");
  EXPECT_TRUE(WriteProperty(card, P::FileAs, "Lee, Ann"));
  WriteProperty(card, P::LastName, "Smith");
  EXPECT_EQ(ReadProperty(card, P::FileAs), "Lee, Ann");
  EXPECT_FALSE(WriteProperty(card, P::FileAs, "Lee, Ann"));
  EXPECT_TRUE(WriteProperty(card, P::FileAs, ""));
  EXPECT_EQ(ReadProperty(card, P::FileAs), "Smith, Ann");
}

// Programs that know no X-EVOLUTION-FILE-AS rename a contact by changing N
// and FN only: a file-as written here that merely restated N follows.
TEST(VCardMappingTest, WrittenFileAsNoLongerFollowsTheNameUnlessItRestatesIt) {  // clang-format off
  const struct { Values values; bool lineKept; const char* afterRename; } cases[] = {
      {{{P::FileAs, "O'Brien, Zoë"}, {P::FirstName, "Zoë"}, {P::LastName, "O'Brien"}}, false, "Smith, Zoë"},
      {{{P::FileAs, "O'Brien"}, {P::LastName, "O'Brien"}}, false, "Smith, Zoë"},
      {{{P::FileAs, "Zoë O'Brien"}, {P::FirstName, "Zoë"}, {P::LastName, "O'Brien"}}, true, "Zoë O'Brien"},
      {{{P::FileAs, "Mom"}}, true, "Mom"},
  };  // clang-format on
  for (const auto& c : cases) {
    std::string bytes = Prepared(Made(c.values));
    const Card saved = Parse(bytes);
    EXPECT_EQ(saved.First("X-EVOLUTION-FILE-AS") != nullptr, c.lineKept) << c.afterRename;
    EXPECT_EQ(ReadProperty(saved, P::FileAs), c.values.at(P::FileAs));
    const size_t n = bytes.find("\r\nN:") + 2;
    bytes.replace(n, bytes.find("\r\n", n) - n, "N:Smith;Zoë;;;");
    EXPECT_EQ(ReadProperty(Parse(bytes), P::FileAs), c.afterRename);
  }
  for (const char* version : {"2.1", "3.0"}) {  // one read, not written, is kept
    Card card = Parse(std::string("BEGIN:VCARD\r\nVERSION:") + version +
                      "\r\nN:Lee;;;;\r\nFN:Ann Lee\r\nX-EVOLUTION-FILE-AS:Lee\r\nEND:VCARD\r\n");
    WriteProperty(card, P::NickName, "Annie");
    ASSERT_NE(Parse(Prepared(card)).First("X-EVOLUTION-FILE-AS"), nullptr) << version;
  }
}

TEST(VCardMappingTest, NamePartsKeepTheOtherPartsAndUserPropertiesAreOwnLines) {
  Card card = Card30("N:Lee;Ann;Maria\\, Jo;Dr.;Jr.\r\n");
  WriteProperty(card, P::FirstName, "Anne");
  WriteProperty(card, P::LastName, "O'Brien; Lee");
  EXPECT_EQ(Lines(card)[1], "N:O'Brien\\; Lee;Anne;Maria\\, Jo;Dr.;Jr.");
  Card short21 = Parse("BEGIN:VCARD\r\nVERSION:2.1\r\nN:Lee\r\nEND:VCARD\r\n");
  WriteProperty(short21, P::FirstName, "Ann");
  EXPECT_EQ(ReadProperty(short21, P::LastName) + ReadProperty(short21, P::FirstName), "LeeAnn");
  card = Card30("FN:x\r\n");  // clang-format off
  for (const auto& [p, value] : {std::pair{P::User1, "1*2"}, {P::User2, "YES"}, {P::User3, "42"},
                                 {P::User4, "W2:5,DC:3"}, {P::User2, "No"}, {P::User3, ""}}) {
    WriteProperty(card, p, value);
  }  // clang-format on
  EXPECT_EQ(Lines(card), (Strings{"VERSION:3.0", "FN:x", "X-TWINBOOK-USER1:1*2",
                                  "X-TWINBOOK-USER2:No", "X-TWINBOOK-USER4:W2:5\\,DC:3"}));
}

TEST(VCardMappingTest, TheFirstOrPreferredEmailIsEmailOneAndWritesGoThere) {  // clang-format off
  const struct { const char* lines; const char* address; const char* type; } cases[] = {
      {"EMAIL;TYPE=INTERNET:a@x\r\nEMAIL;TYPE=INTERNET:b@x\r\n", "a@x", "SMTP"},
      {"EMAIL:a@x\r\nEMAIL;type=pref;type=internet:b@x\r\n", "b@x", "SMTP"},
      {"EMAIL;PREF=2:a@x\r\nEMAIL;PREF=1:b@x\r\nEMAIL;TYPE=pref:c@x\r\n", "b@x", "SMTP"},
      {"EMAIL;INTERNET:a@x\r\nEMAIL;PREF;INTERNET:b@x\r\n", "b@x", "SMTP"},
      {"EMAIL;TYPE=X400;TYPE=work:/c=us/o=acme/\r\n", "/c=us/o=acme/", "X400"},
      {"EMAIL:a@x\r\nEMAIL;TYPE=\"pref, x400\":b@x\r\n", "b@x", "X400"},
      {"", "", ""},
  };  // clang-format on
  for (const auto& c : cases) {
    EXPECT_EQ(ReadProperty(Card30(c.lines), P::Email1Address), c.address) << c.lines;
    EXPECT_EQ(ReadProperty(Card30(c.lines), P::Email1AddressType), c.type) << c.lines;
  }
  Card card = Card30(
      "EMAIL;TYPE=INTERNET:a@x\r\nitem1.EMAIL;TYPE=INTERNET,HOME,PREF:b@x\r\n"
      "item1.X-ABLabel:M\r\n");
  WriteProperty(card, P::Email1Address, "B@X");
  WriteProperty(card, P::Email1DisplayName, "Bee \"B\" (b@x)");
  WriteProperty(card, P::Email1AddressType, "EX");
  EXPECT_EQ(Lines(card),
            (Strings{"VERSION:3.0", "EMAIL;TYPE=INTERNET:a@x",
                     "item1.EMAIL;TYPE=EX,HOME,PREF;X-TWINBOOK-DISPLAY-NAME=Bee ^'B^' (b@x):B@X",
                     "item1.X-ABLabel:M"}));
  EXPECT_EQ(ReadProperty(card, P::Email1DisplayName), "Bee \"B\" (b@x)");
  WriteProperty(card, P::Email1AddressType, "SMTP");
  EXPECT_TRUE(card.lines[2].HasType("INTERNET"));
  WriteProperty(card, P::Email1Address, "");
  EXPECT_EQ(ReadProperty(card, P::Email1Address) + ReadProperty(card, P::Email1DisplayName), "a@x");
}

}  // namespace
}  // namespace twinbook::vcard
