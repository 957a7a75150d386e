// Inputs on which fuzzing (scripts/fuzz) found the vCard reader or writer at
// fault, each fed exactly as found; the same inputs sit in fuzz/regressions
// and seed the fuzz targets.

#include <gtest/gtest.h>

#include <string>

#include "platform/vcard/vcard_card.h"
#include "platform/vcard/vcard_mapping.h"
#include "platform/vcard/vcard_text.h"

namespace twinbook::vcard {
namespace {

using namespace std::string_literals;
using P = ContactProperty;

// The card as the contacts folder saves it.
std::string Saved(Card card) {
  PrepareForWriting(card, [] { return std::string("new-uid"); });
  return Write(card);
}

// Cards that changed each time they were read and saved: once saved, they
// must read back as the same card.
TEST(VCardFuzzRegressionTest, ASavedCardReadsBackAsItself) {
  struct Case {
    std::string input;
    const char* saved;  // a part of the saved card
  };
  const Case cases[] = {
      // A first physical line of nothing but control characters was skipped
      // as a blank line; the reader now drops them as it drops blanks.
      {"BEGIN:VCARD\n" + std::string(75, '\0') + "U\nEND:VCARD", "\r\nU\r\n"},
      // The card is 3.0 (its first VERSION line is empty), yet the second,
      // saying 2.1, turned on 2.1's rule that base64 data goes on in lines
      // without a blank. A line of such data after a control character was
      // not taken as data, but once written without that character it was.
      {"BEGIN:VCARD\rVERSION:\nVERSION:2.1\r;B:\r\x10"
       "E\rEND:VCARD",
       ""},
      // The same rule: the line after ";B:" is no base64 data (it ends in
      // 0xFF), but once saved its first physical line was.
      {"BEGIN:VCARD\rVERSION:\rVERSION:2.1\n;B:\nT note that is fdedbecau note that is folded "
       "becau seit isloVBORw0KGgoAAAE\xFF\nEND:VCARD",
       "\r\n;B:\r\n"},
      // A run of "=" longer than a line in a quoted-printable line (here no
      // property line: its name is empty) can only fold into lines ending in
      // "=", which the reader took for soft line breaks.
      {"BEGIN:VCARD\r;QUOTED-PRINTABLE:"s + std::string(74, '=') + "\0\nEND:VCARD"s, ""},
      // Found by reading the reader: a fold before "VERSION:2.1" put that
      // text at the start of a continuation line, and the card then read
      // with 2.1's rules, under which "BBBB" continues the base64 before it.
      {"BEGIN:VCARD\r\nVERSION:3.0\r\nNOTE:" + std::string(70, 'x') +
           "VERSION:2.1\r\nX;ENCODING=b:AAAA\r\nBBBB\r\nEND:VCARD\r\n",
       "\r\n VERSION:2.1\r\n"},
  };
  for (const Case& c : cases) {
    const std::string saved = Saved(Parse(c.input));
    EXPECT_NE(saved.find(c.saved), std::string::npos) << saved;
    EXPECT_EQ(Saved(Parse(saved)), saved) << c.input;
  }
  EXPECT_EQ(Parse(cases[2].input).version, Version::k30);
  EXPECT_EQ(Parse(Saved(Parse(cases[4].input))).First("X")->value, "AAAA");
}

// A 4.0 card keeps its unchanged lines byte for byte, but a byte that is no
// UTF-8 (here 0xFF in the UID) was written back as it stood. The reader takes
// such a byte for Windows-1252.
TEST(VCardFuzzRegressionTest, AKeptLineWithAStrayByteIsWrittenAsUtf8) {
  const Card card = Parse(
      "BEGIN:VCARD\r\nVERSION:4.0\r\nUID:u\xFF\x11rn:uuid:03a0e51f-d1aa-4385-8a53-e29025acd8af\r\n"
      "KIND:group\r\nFN:Book club\r\nMEMBER:urn:uuid:4fbe8971-0bc3-424c-629c-36c3e1eff6b1\r\n"
      "MEMBER:mailto:pat@example.com\r\nEND:VCARD\r\n");
  const std::string saved = Saved(card);
  EXPECT_TRUE(IsValidUtf8(saved)) << saved;
  EXPECT_NE(saved.find("\r\nUID:u\xC3\xBF\x11rn:uuid:03a0e51f-d1aa-4385-8a53-e29025acd8af\r\n"),
            std::string::npos)
      << saved;
  EXPECT_EQ(CardUid(Parse(saved)), CardUid(card));
  // Lines that are valid UTF-8 are still kept as they stood.
  EXPECT_NE(saved.find("\r\nMEMBER:mailto:pat@example.com\r\n"), std::string::npos) << saved;
}

// Parameter values were taken as they stood, so an address's display name
// could read as bytes that are no UTF-8 and be written so.
TEST(VCardFuzzRegressionTest, AParameterValueWithStrayBytesReadsAsUtf8) {
  const std::string input =
      "BEGIN:VCARD\r\nVERSION:3.0\r\nUID:pas-id-5F1A2B3C00000001\r\n"
      "X-EVOLUTION-FILE-AS:Smith\\, Anna\r\nFN:Anna Smith\r\nN:Smith;Anna;Maria;;\r\n"
      "NICKNAME:Annie\r\nEMAIL;TYPE=INTERNET,WORK;X-TWINBOOK-DISPLAY-NAME=\""s +
      std::string(44, '\xFF') +
      "Anna S\x05\0\0\0 (anna@example.net)\":/o=Acme/ou=Exchange/cn=anna\r\n"
      "TEL;TYPE=work,VOICE;X-TWINBOOK-PROPERTY=Business2TelephoneNumber:555-0200\r\n"
      "TEL;TYPE=HOME,voice:555-0300\r\nTEL;TYPE=home,voice:555-0301\r\nTEL;TYPE=Cell:555-0400\r\n"
      "X-TWINBOOK-USER1:123*45*678\r\nX-TWINBOOK-USER2:yes\r\nX-TWINBOOK-USER3:42\r\n"
      "X-TWINBOOK-USER4:W2:5\\,DC:3\r\nCATEGORIES:Friends,Work\r\n"
      "X-EVOLUTION-BLOG-URL:https://example.net/anna\r\nEND:VCARD\r\n"s;
  ASSERT_EQ(input.size(), 639u);  // the NULs are part of it
  std::string expected;
  for (int i = 0; i < 44; ++i) {
    expected += "\xC3\xBF";
  }
  expected += "Anna S (anna@example.net)";
  const Card card = Parse(input);
  EXPECT_EQ(ReadProperty(card, P::Email1DisplayName), expected);
  const std::string saved = Saved(card);
  EXPECT_TRUE(IsValidUtf8(saved)) << saved;
  EXPECT_EQ(ReadProperty(Parse(saved), P::Email1DisplayName), expected);
}

// Base64 data was kept byte for byte, so a damaged value with a byte that is
// no UTF-8 was written as such.
TEST(VCardFuzzRegressionTest, DamagedBase64IsWrittenAsUtf8) {
  const Card card = Parse("BEGIN:VCARD\rS;B:\xE0\nEND:VCARD");
  EXPECT_EQ(card.First("S")->value, "\xC3\xA0");
  const std::string saved = Saved(card);
  EXPECT_TRUE(IsValidUtf8(saved)) << saved;
  EXPECT_EQ(Saved(Parse(saved)), saved);
}

// A quoted parameter value holding ";QUOTED-PRINTABLE;" made the line look
// quoted-printable while it was unfolded, so its final "=" read as a soft
// line break and the next line was swallowed into its value.
TEST(VCardFuzzRegressionTest, AQuotedEncodingWordDeclaresNoEncoding) {
  Card card = Parse("BEGIN:VCARD\n\n\n\n\n\n=\n\n;QUOTED-PRINTABLE;\nEND:VCARD");
  // What the fuzz target writes: the input's lines 7, 9 and 10 (after the
  // colon) to properties 6, 8 and 9.
  WriteProperty(card, P::Email1Address, "=");
  WriteProperty(card, P::Email1DisplayName, ";QUOTED-PRINTABLE;");
  WriteProperty(card, P::BusinessTelephoneNumber, "VCARD");
  const Card saved = Parse(Saved(card));
  EXPECT_EQ(ReadProperty(saved, P::Email1Address), "=");
  EXPECT_EQ(ReadProperty(saved, P::Email1DisplayName), ";QUOTED-PRINTABLE;");
  EXPECT_EQ(ReadProperty(saved, P::BusinessTelephoneNumber), "VCARD");

  // The same from a file another program wrote.
  const Card read = Parse(
      "BEGIN:VCARD\r\nVERSION:3.0\r\nNOTE;X-LABEL=\"a;ENCODING=QUOTED-PRINTABLE\":ends in =\r\n"
      "FN:Pat\r\nEND:VCARD\r\n");
  EXPECT_EQ(UnescapeText(read.First("NOTE")->value), "ends in =");
  EXPECT_EQ(ReadProperty(read, P::FullName), "Pat");
}

// A line declaring base64 kept that declaration when a property wrote plain
// text into it, so the saved card claimed the text was base64.
TEST(VCardFuzzRegressionTest, TextWrittenToABase64LineIsNoLongerBase64) {
  Card card = Parse("BEGIN:VCARD\nN;b:\n \nEND:VCARD");
  // What the fuzz target writes: the input's lines 2 to 4 (after any colon)
  // to FullName, FirstName and LastName.
  WriteProperty(card, P::FullName, "");
  WriteProperty(card, P::FirstName, " ");
  WriteProperty(card, P::LastName, "VCARD");
  const std::string saved = Saved(card);
  EXPECT_NE(saved.find("\r\nN:VCARD; ;;;\r\n"), std::string::npos) << saved;
  EXPECT_EQ(ReadProperty(Parse(saved), P::FirstName), " ");

  Card encoded = Parse("BEGIN:VCARD\r\nVERSION:3.0\r\nFN;ENCODING=b:Sm9obg==\r\nEND:VCARD\r\n");
  WriteProperty(encoded, P::FullName, "John Smith");
  const std::string written = Saved(encoded);
  EXPECT_NE(written.find("\r\nFN:John Smith\r\n"), std::string::npos) << written;
}

// A quoted-printable property line is written in its 3.0 form, so a run of
// "=" cannot end its folded lines.
TEST(VCardFuzzRegressionTest, AQuotedPrintablePropertyIsWrittenWithoutTheEncoding) {
  const Card property =
      Parse("BEGIN:VCARD\r\nVERSION:3.0\r\nNOTE;ENCODING=QUOTED-PRINTABLE:" + std::string(80, '=') +
            "=41\r\nEND:VCARD\r\n");
  const std::string note = UnescapeText(property.First("NOTE")->value);
  EXPECT_EQ(note, std::string(80, '=') + "A");
  const std::string written = Saved(property);
  EXPECT_EQ(written.find("QUOTED-PRINTABLE"), std::string::npos) << written;
  EXPECT_EQ(UnescapeText(Parse(written).First("NOTE")->value), note);
}

// N's last part ended in a lone backslash, which reads as itself; writing a
// further part put a ";" after it, which that backslash then escaped.
TEST(VCardFuzzRegressionTest, ALoneBackslashEndingTheNameEscapesNoSeparator) {
  Card card = Parse("BEGIN:VCARD\rN:\\\n\nEND:VCARD");
  EXPECT_EQ(ReadProperty(card, P::LastName), "\\");
  // The fuzz target writes the input's fourth line (after the colon) to FirstName.
  WriteProperty(card, P::FirstName, "VCARD");
  for (const Card& c : {card, Parse(Saved(card))}) {
    EXPECT_EQ(ReadProperty(c, P::FirstName), "VCARD");
    EXPECT_EQ(ReadProperty(c, P::LastName), "\\");
  }
}

// Found by reading the reader: a grouped "a.VERSION:2.1" made the card 2.1,
// but being no VERSION line it stayed when the card was saved as 3.0, so the
// saved card read as 2.1 again and its "\n" line breaks as text.
TEST(VCardFuzzRegressionTest, AGroupedVersionLineIsNoVersion) {
  const Card card = Parse(
      "BEGIN:VCARD\r\na.VERSION:2.1\r\nNOTE;ENCODING=QUOTED-PRINTABLE:a=0D=0Ab\r\n"
      "FN;ENCODING=QUOTED-PRINTABLE:Ann=0D=0ALee\r\nEND:VCARD\r\n");
  EXPECT_EQ(ReadProperty(card, P::FullName), "Ann\nLee");
  const std::string saved = Saved(card);
  EXPECT_NE(saved.find("\r\nVERSION:3.0\r\n"), std::string::npos) << saved;
  EXPECT_EQ(ReadProperty(Parse(saved), P::FullName), "Ann\nLee");
}

}  // namespace
}  // namespace twinbook::vcard
