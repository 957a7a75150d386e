// Reading and writing single cards: the byte-level format.

#include "platform/vcard/vcard_card.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/vcard/vcard_mapping.h"
#include "platform/vcard/vcard_text.h"
#include "support/temp_dir.h"

namespace twinbook::vcard {
namespace {

std::string Card30(const std::string& body) {
  return "BEGIN:VCARD\r\nVERSION:3.0\r\n" + body + "END:VCARD\r\n";
}
std::string Card21(const std::string& body) {
  return "BEGIN:VCARD\r\nVERSION:2.1\r\n" + body + "END:VCARD\r\n";
}

// The value of the first line named `name`, in 3.0 form.
std::string ValueOf(const Card& card, const char* name) {
  const Line* line = card.First(name);
  return line ? line->value : "(missing)";
}

std::string TextOf(const Card& card, const char* name) {
  return UnescapeText(ValueOf(card, name));
}

std::vector<std::string> PhysicalLines(const std::string& bytes) {
  std::vector<std::string> lines;
  size_t start = 0;
  while (start < bytes.size()) {
    const size_t end = bytes.find("\r\n", start);
    EXPECT_NE(end, std::string::npos) << "no CR LF at the end";
    if (end == std::string::npos) {
      break;
    }
    lines.push_back(bytes.substr(start, end - start));
    start = end + 2;
  }
  return lines;
}

TEST(VCardParseTest, UnfoldsLinesEndedByCrLfOrLf) {
  for (const char* end : {"\r\n", "\n", "\r"}) {
    const std::string e = end;
    const Card card = Parse("BEGIN:VCARD" + e + "VERSION:3.0" + e + "NOTE:first" + e + " second" +
                            e + "\tthird" + e + "END:VCARD" + e);
    EXPECT_EQ(TextOf(card, "NOTE"), "firstsecondthird");
  }
}

TEST(VCardParseTest, ReadsTheVersion) {
  EXPECT_EQ(Parse(Card21("")).version, Version::k21);
  EXPECT_EQ(Parse(Card30("")).version, Version::k30);
  EXPECT_EQ(Parse("BEGIN:VCARD\r\nVERSION:4.0\r\nEND:VCARD\r\n").version, Version::k40);
  EXPECT_EQ(Parse("BEGIN:VCARD\r\nFN:x\r\nEND:VCARD\r\n").version, Version::k30);
  EXPECT_EQ(Parse("begin:vcard\r\nversion:2.1\r\nend:vcard\r\n").version, Version::k21);
}

TEST(VCardParseTest, DecodesQuotedPrintableWithSoftLineBreaks) {
  const Card card =
      Parse(Card21("NOTE;ENCODING=QUOTED-PRINTABLE:one=0D=0Atwo =3D three and a so=\r\n"
                   "ft break=\r\n"
                   " with a blank=\r\n"
                   "\r\n"
                   "N;QUOTED-PRINTABLE:Last;First\r\n"));
  EXPECT_EQ(TextOf(card, "NOTE"), "one\ntwo = three and a soft break with a blank");
  EXPECT_EQ(ValueOf(card, "N"), "Last;First");
  EXPECT_EQ(card.First("NOTE")->params, std::vector<Param>{});
  // A soft break on the last line does not swallow END:VCARD.
  EXPECT_EQ(TextOf(Parse(Card21("NOTE;ENCODING=QUOTED-PRINTABLE:dangling=\r\n")), "NOTE"),
            "dangling");
}

TEST(VCardParseTest, ConvertsCharactersSetsToUtf8) {
  struct Case {
    std::string line;
    std::string text;
  };
  const Case cases[] = {
      {"NOTE;CHARSET=UTF-8;ENCODING=QUOTED-PRINTABLE:=C3=A9t=C3=A9", "été"},
      {"NOTE;CHARSET=ISO-8859-1;ENCODING=QUOTED-PRINTABLE:=E9t=E9", "été"},
      {"NOTE;CHARSET=Windows-1252;ENCODING=QUOTED-PRINTABLE:=93quoted=94 =80 =96", "“quoted” € –"},
      {"NOTE;CHARSET=windows-1252:caf\xE9 \x85", "café …"},
      {"NOTE;CHARSET=iso-8859-1:\xC5ngstr\xF6m", "Ångström"},
      {"NOTE:plain UTF-8 \xC3\xBC", "plain UTF-8 ü"},
      {"NOTE:stray Latin-1 \xFC in UTF-8", "stray Latin-1 ü in UTF-8"},
      {"NOTE;CHARSET=UTF-8:broken \xC3 end", "broken Ã end"},
      {"NOTE;CHARSET=KOI8-R:\xC3\xA9", "é"},
  };
  for (const Case& c : cases) {
    const Card card = Parse(Card21(c.line + "\r\n"));
    EXPECT_EQ(TextOf(card, "NOTE"), c.text) << c.line;
    EXPECT_TRUE(IsValidUtf8(card.First("NOTE")->value)) << c.line;
    EXPECT_EQ(card.First("NOTE")->FindParam("CHARSET"), nullptr) << c.line;
  }
}

TEST(VCardParseTest, ReadsParametersWithAndWithoutTypeInAnyLetterCase) {
  const Card card =
      Parse(Card30("TEL;CELL;VOICE:1\r\n"
                   "TEL;TYPE=work,Fax:2\r\n"
                   "TEL;type=HOME;type=voice;type=pref:3\r\n"
                   "TEL;TYPE=\"voice,cell\";PREF=1:4\r\n"
                   "item1.TEL;X-LABEL=\"a;b:c\":5\r\n"));
  ASSERT_EQ(card.lines.size(), 6u);
  const Line& bare = card.lines[1];
  EXPECT_TRUE(bare.HasType("CELL") && bare.HasType("VOICE") && !bare.HasType("WORK"));
  const Line& listed = card.lines[2];
  EXPECT_TRUE(listed.HasType("WORK") && listed.HasType("FAX"));
  const Line& repeated = card.lines[3];
  EXPECT_TRUE(repeated.HasType("HOME") && repeated.HasType("VOICE") && repeated.HasType("PREF"));
  const Line& quoted = card.lines[4];
  EXPECT_TRUE(quoted.HasType("CELL") && quoted.HasType("VOICE"));
  EXPECT_EQ(quoted.FindParam("PREF")->values, std::vector<std::string>{"1"});
  const Line& grouped = card.lines[5];
  EXPECT_EQ(grouped.group, "item1");
  EXPECT_EQ(grouped.name, "TEL");
  EXPECT_EQ(grouped.FindParam("X-LABEL")->values, std::vector<std::string>{"a;b:c"});
  EXPECT_EQ(grouped.value, "5");
}

TEST(VCardParseTest, KeepsThreeZeroEscapes) {
  const Card card =
      Parse(Card30("NOTE:a\\nb\\Nc\\,d\\;e\\\\f\\:g\r\nN:O\\;Brien;Pat\\, Jr.;;;\r\n"));
  EXPECT_EQ(TextOf(card, "NOTE"), "a\nb\nc,d;e\\f\\:g");
  EXPECT_EQ(SplitComponents(ValueOf(card, "N")),
            (std::vector<std::string>{"O;Brien", "Pat, Jr.", "", "", ""}));
}

TEST(VCardParseTest, TurnsTwoOneValuesIntoThreeZeroForm) {
  const Card card = Parse(
      Card21("NOTE:semi; comma, backslash\\ escaped\\; done\r\n"
             "N:Last\\;Name;First, Second;;;\r\n"
             "CATEGORIES:Work,Friends\r\n"
             "ADR;HOME;ENCODING=QUOTED-PRINTABLE:;;Street 1=0D=0AFloor 2;Town;;12345;Land\r\n"));
  EXPECT_EQ(ValueOf(card, "NOTE"), "semi\\; comma\\, backslash\\\\ escaped\\; done");
  EXPECT_EQ(ValueOf(card, "N"), "Last\\;Name;First\\, Second;;;");
  EXPECT_EQ(ValueOf(card, "CATEGORIES"), "Work,Friends");
  EXPECT_EQ(ValueOf(card, "ADR"), ";;Street 1\\nFloor 2;Town;;12345;Land");
}

TEST(VCardParseTest, ReadsBase64DataInEveryLayout) {
  const std::string data = "iVBORw0KGgoAAAANSUhEUgAAAAUAAAAECAIAAADJUWIXAAAAS0lEQVR4";
  // 2.1 with blanks, 2.1 without blanks and an empty line at the end, 3.0 folded.
  const std::string layouts[] = {
      Card21("PHOTO;ENCODING=BASE64;TYPE=PNG:\r\n  " + data.substr(0, 20) + "\r\n  " +
             data.substr(20) + "\r\n\r\n"),
      Card21("PHOTO;PNG;BASE64:" + data.substr(0, 30) + "\r\n" + data.substr(30) + "\r\n\r\n"),
      Card30("PHOTO;ENCODING=b;TYPE=PNG:" + data.substr(0, 40) + "\r\n " + data.substr(40) +
             "\r\n"),
  };
  for (const std::string& bytes : layouts) {
    const Card card = Parse(bytes);
    ASSERT_NE(card.First("PHOTO"), nullptr) << bytes;
    EXPECT_EQ(ValueOf(card, "PHOTO"), data) << bytes;
    EXPECT_EQ(card.First("PHOTO")->FindParam("ENCODING")->values, std::vector<std::string>{"b"});
    EXPECT_TRUE(card.First("PHOTO")->HasType("PNG"));
    EXPECT_EQ(card.lines.size(), 2u) << bytes;
  }
}

TEST(VCardParseTest, ErrorsSayWhatIsWrong) {
  struct Case {
    std::string bytes;
    const char* says;
  };
  const Case cases[] = {
      {"", "the file is empty"},
      {"\r\n\r\n", "the file is empty"},
      {"Hello, world\r\n", "line 1 is not BEGIN:VCARD"},
      {"\x89PNG\r\n\x1a\n", "line 1 is not BEGIN:VCARD"},
      {"BEGIN:VCALENDAR\r\nEND:VCALENDAR\r\n", "line 1 is not BEGIN:VCARD"},
      {"BEGIN:VCARD\r\nVERSION:3.0\r\nFN:x\r\n", "has no END:VCARD"},
      {Card30("FN:a\r\n") + Card30("FN:b\r\n"), "more than one card (another begins at line 5)"},
      {Card30("AGENT:\r\nBEGIN:VCARD\r\nFN:x\r\nEND:VCARD\r\n"), "line 4: a card begins inside"},
      {Card30("FN:a\r\n") + "trailing\r\n", "line 5: text after END:VCARD"},
      {"\xFF\xFE"
       "B\0E\0",
       "UTF-16"},
  };
  for (const Case& c : cases) {
    try {
      Parse(c.bytes);
      ADD_FAILURE() << "no error for " << c.bytes;
    } catch (const SyntaxError& error) {
      EXPECT_NE(std::string(error.what()).find(c.says), std::string::npos) << error.what();
    }
  }
}

TEST(VCardParseTest, ToleratesWhatRealFilesCarry) {
  const Card card = Parse(
      "\xEF\xBB\xBF\r\n\r\nBEGIN:VCARD\r\nVERSION:3.0\r\nFN:x\r\n"
      "this is no property line\r\n\r\nEND:VCARD\r\n\r\n\x1A");
  ASSERT_EQ(card.lines.size(), 3u);
  EXPECT_TRUE(card.lines[2].opaque);
  EXPECT_EQ(Write(card), Card30("FN:x\r\nthis is no property line\r\n"));
}

TEST(VCardWriteTest, WritesUnchangedLinesAsTheyWere) {
  const std::string bytes = Card30(
      "FN:Pat\r\n"
      "item1.TEL;type=WORK;type=VOICE;X-UNKNOWN=\"a,b\":+1 555\r\n"
      "X-CUSTOM;Foo=bar:value\\, with \\n escapes\r\n");
  EXPECT_EQ(Write(Parse(bytes)), bytes);
}

TEST(VCardWriteTest, FoldsAtSeventyFiveOctetsWithoutSplittingCharacters) {
  std::string note;
  for (int i = 0; i < 60; ++i) {
    note += "ab€ü";  // 1 + 1 + 3 + 2 octets
  }
  Card card = Parse(Card30(""));
  Line line;
  line.name = "NOTE";
  line.value = note;
  card.lines.push_back(line);
  const std::string bytes = Write(card);
  std::string unfolded;
  for (const std::string& physical : PhysicalLines(bytes)) {
    EXPECT_LE(physical.size(), 75u) << physical;
    EXPECT_TRUE(IsValidUtf8(physical)) << "a fold splits a character: " << physical;
    unfolded += physical.front() == ' ' ? physical.substr(1) : "\n" + physical;
  }
  EXPECT_NE(unfolded.find("\nNOTE:" + note + "\n"), std::string::npos);
  EXPECT_EQ(TextOf(Parse(bytes), "NOTE"), note);
}

TEST(VCardWriteTest, FoldsInvalidUtf8WithoutLosingBytes) {
  Card card = Parse(Card30(""));
  Line line;
  line.name = "X-JUNK";
  line.value = std::string(200, '\x80');
  card.lines.push_back(line);
  const std::string bytes = Write(card);
  for (const std::string& physical : PhysicalLines(bytes)) {
    EXPECT_LE(physical.size(), 75u);
  }
  EXPECT_EQ(Parse(bytes).First("X-JUNK")->original, "X-JUNK:" + std::string(200, '\x80'));
}

// The rest of a 2.1 card's rewriting is shown on the Outlook card in
// vcard_folder_test.
TEST(VCardWriteTest, RewritesTwoOneAsThreeZero) {
  const Card card =
      Parse(Card21("URL;VALUE=URL:http://example.com/\r\n"
                   "item1.X-ABLabel:Label\r\n"));
  EXPECT_EQ(Write(card), Card30("URL;VALUE=uri:http://example.com/\r\n"
                                "item1.X-ABLabel:Label\r\n"));
}

TEST(VCardWriteTest, QuotesParameterValuesThatNeedIt) {
  Line line;
  line.group = "g";
  line.name = "EMAIL";
  line.params = {Param{"TYPE", {"INTERNET", "HOME"}}, Param{"X-NAME", {"Doe, John: \"JD\"; x"}}};
  line.value = "john@example.com";
  EXPECT_EQ(RenderLine(line),
            "g.EMAIL;TYPE=INTERNET,HOME;X-NAME=\"Doe, John: JD; x\":john@example.com");
}

TEST(VCardTextTest, EscapesRoundTrip) {
  for (const std::string text :
       {"", "plain", "a,b;c\\d\ne", "\\n is not a line end", "ends with \\", "trailing\n"}) {
    EXPECT_EQ(UnescapeText(EscapeText(text)), text) << text;
    EXPECT_EQ(CaretDecode(CaretEncode(text)), text) << text;
  }
  EXPECT_EQ(EscapeText("a\r\nb\rc"), "a\\nb\\nc");
  EXPECT_EQ(CaretEncode("say \"hi\"^\n"), "say ^'hi^'^^^n");
}

TEST(VCardTextTest, QuotedPrintableKeepsWhatIsNoEscape) {
  EXPECT_EQ(DecodeQuotedPrintable("a=3Db=3db"), "a=b=b");
  EXPECT_EQ(DecodeQuotedPrintable("=ZZ=4"), "=ZZ=4");
  EXPECT_EQ(DecodeQuotedPrintable("soft=\r\nbreak=\nhere="), "softbreakhere");
}

// A cheap stand-in for fuzzing, with a fixed seed: cards as exporters write
// them, with bytes replaced, added and removed, are either refused with a
// SyntaxError or read; and whatever the program writes from a card it read
// reads back with the same properties, and writes the same bytes again.
TEST(VCardParseTest, MutatedCardsAreRefusedOrReadAndWhatIsWrittenReadsBack) {
  const char* fixtures[] = {"outlook-2.1.vcf", "android-2.1.vcf", "apple-3.0.vcf",
                            "evolution-3.0.vcf", "nextcloud-4.0.vcf"};
  const std::string interesting = "\r\n =:;,\\\"\t.\x80\xC3\xE2=0D=0A";
  unsigned seed = 2024;
  auto next = [&seed](size_t range) {
    seed = seed * 1103515245 + 12345;
    return static_cast<size_t>((seed >> 8) % range);
  };
  int read = 0;
  for (const char* name : fixtures) {
    const std::string original =
        testing::ReadFile((testing::SourceDir() / "tests/fixtures/vcards" / name).string());
    for (int round = 0; round < 400; ++round) {
      std::string bytes = original;
      for (size_t edits = 1 + next(4); edits > 0 && !bytes.empty(); --edits) {
        const size_t at = next(bytes.size());
        switch (next(3)) {
          case 0:
            bytes[at] = interesting[next(interesting.size())];
            break;
          case 1:
            bytes.insert(at, 1, interesting[next(interesting.size())]);
            break;
          default:
            bytes.erase(at, 1 + next(8));
        }
      }
      Card card;
      try {
        card = Parse(bytes);
      } catch (const SyntaxError&) {
        continue;
      }
      ++read;
      WriteProperty(card, ContactProperty::User3, "17");
      WriteProperty(card, ContactProperty::MobileTelephoneNumber, "555, 0100");
      WriteProperty(card, ContactProperty::Email1DisplayName, "A \"B\" (c)");
      PrepareForWriting(card, [] { return std::string("uid"); });
      const std::string written = Write(card);
      Card back;
      try {
        back = Parse(written);
      } catch (const SyntaxError& error) {
        ADD_FAILURE() << error.what() << " in what was written from\n" << bytes;
        continue;
      }
      for (int p = 0; p <= static_cast<int>(ContactProperty::User4); ++p) {
        const auto property = static_cast<ContactProperty>(p);
        EXPECT_EQ(ReadProperty(back, property), ReadProperty(card, property))
            << PropertyName(property) << " of\n"
            << bytes << "\nwritten as\n"
            << written;
      }
      EXPECT_EQ(Write(back), written) << bytes;
    }
  }
  EXPECT_GT(read, 500) << "too few mutated cards were readable to test much";
}

}  // namespace
}  // namespace twinbook::vcard
