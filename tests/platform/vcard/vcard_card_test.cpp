// Single cards and their text: reading, writing, escaping, folding and
// character sets, as tables of bytes in and values or bytes out; and the
// inputs on which fuzzing (scripts/fuzz) found the reader, mapping or writer
// at fault, the seeds and the exporters' cards, through the fuzz target's checks.
#include "platform/vcard/vcard_card.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "fuzz_check.h"
#include "platform/vcard/vcard_text.h"
#include "support/temp_dir.h"

namespace twinbook::vcard {
namespace {

using Strings = std::vector<std::string>;

std::string Card(const char* version, const std::string& body) {
  return "BEGIN:VCARD\r\nVERSION:" + std::string(version) + "\r\n" + body + "END:VCARD\r\n";
}

TEST(VCardParseTest, ValuesComeOutInThreeZeroFormAsUtf8) {
  const std::string data = "iVBORw0KGgoAAAANSUhEUgAAAAUAAAAECAIAAADJUWIXAAAAS0lEQVR4";
  // The value of the first line, in 3.0 form.
  const struct {
    const char* version;
    std::string body, value;
  } cases[] = {
      // clang-format off
      {"3.0", "NOTE:first\r\n second\r\n\tthird\r\n", "firstsecondthird"},
      {"3.0", "NOTE:first\n second\n", "firstsecond"}, {"3.0", "NOTE:first\r second\r", "firstsecond"},
      {"2.1", "NOTE;ENCODING=QUOTED-PRINTABLE:one=0D=0Atwo =3D three a so=\r\nft break=\r\n with blank=\r\n\r\n", "one\\ntwo = three a soft break with blank"},
      {"2.1", "NOTE;ENCODING=QUOTED-PRINTABLE:dangling=\r\n", "dangling"},
      {"2.1", "N;QUOTED-PRINTABLE:Last;First\r\n", "Last;First"},
      {"2.1", "NOTE;CHARSET=UTF-8; ENCODING\t=QUOTED-PRINTABLE:=C3=A9t=C3=A9\r\n", "été"},
      {"2.1", "NOTE;CHARSET=Windows-1252;QUOTED-PRINTABLE:=93q=94 =80 =96 =81\r\n", "“q” € – \xC2\x81"},
      {"2.1", "NOTE;CHARSET=iso-8859-1:\xC5ngstr\xF6m\r\n", "Ångström"},
      {"2.1", "NOTE:UTF-8 \xC3\xBC\xF0\x9F\x98\x80, stray \xFC\r\n", "UTF-8 ü😀\\, stray ü"},
      {"2.1", "NOTE;CHARSET=UTF-8:broken \xC3 end \xC2\x80\r\n", "broken Ã end \xC2\x80"},
      {"2.1", "NOTE;CHARSET=KOI8-R:\xC3\xA9\r\n", "é"},
      {"3.0", "NOTE:a\\nb\\Nc\\,d\\;e\\\\f\\:g\r\n", "a\\nb\\Nc\\,d\\;e\\\\f\\:g"},
      {"2.1", "N:Last\\;Name;First, Second;;;\r\n", "Last\\;Name;First\\, Second;;;"},
      {"2.1", "PHOTO;ENCODING=BASE64;TYPE=PNG:\r\n  " + data.substr(0, 20) + "\r\n  " + data.substr(20) + "\r\n\r\n", data},
      {"2.1", "PHOTO;PNG;BASE64:" + data.substr(0, 30) + "\r\n" + data.substr(30) + "\r\n\r\n", data},
      {"3.0", "PHOTO;ENCODING=b;TYPE=PNG:" + data.substr(0, 40) + "\r\n " + data.substr(40) + "\r\n", data},
  };  // clang-format on
  for (const auto& c : cases) {
    const vcard::Card card = Parse(Card(c.version, c.body));
    ASSERT_GE(card.lines.size(), 2u) << c.body;
    const Line& line = card.lines[1];
    EXPECT_EQ(line.value, c.value) << c.body;
    EXPECT_EQ(card.lines.size(), 2u) << c.body;
    EXPECT_EQ(line.FindParam("CHARSET"), nullptr) << c.body;
    const Param* encoding = line.FindParam("ENCODING");
    EXPECT_EQ(encoding ? encoding->values : Strings{},
              line.name == "PHOTO" ? Strings{"b"} : Strings{})
        << c.body;
    EXPECT_EQ(line.name == "PHOTO", line.HasType("PNG")) << c.body;
  }
  EXPECT_EQ(SplitComponents("O\\;Brien;Pat\\, Jr.;;;"),
            (Strings{"O;Brien", "Pat, Jr.", "", "", ""}));
}

TEST(VCardParseTest, ReadsVersionsAndParametersInAnyLetterCase) {
  EXPECT_EQ(Parse(Card("2.1", "")).version, Version::k21);
  EXPECT_EQ(Parse(Card("4.0", "")).version, Version::k40);
  EXPECT_EQ(Parse("BEGIN:VCARD\r\nFN:x\r\nEND:VCARD\r\n").version, Version::k30);
  EXPECT_EQ(Parse("begin:vcard\r\nversion:2.1\r\nend:vcard\r\n").version, Version::k21);
  // Bare, repeated and listed types come in the exporters' cards; quoted lists here.
  const vcard::Card card =
      Parse(Card("3.0", "TEL;TYPE=\"voice,cell\";PREF=1:4\r\nitem1.TEL;X-LABEL=\"a;b:c\":5\r\n"));
  ASSERT_EQ(card.lines.size(), 3u);
  EXPECT_TRUE(card.lines[1].HasType("CELL") && card.lines[1].HasType("VOICE"));
  EXPECT_FALSE(card.lines[1].HasType("PREF"));
  EXPECT_EQ(card.lines[1].FindParam("PREF")->values, Strings{"1"});
  const Line& grouped = card.lines[2];
  EXPECT_EQ(grouped.group.str() + "|" + grouped.name + "|" + grouped.value, "item1|TEL|5");
  EXPECT_EQ(grouped.FindParam("X-LABEL")->values, Strings{"a;b:c"});
}

TEST(VCardParseTest, ErrorsSayWhatIsWrong) {
  const std::pair<std::string, const char*> cases[] = {
      // clang-format off
      {"\r\n\r\n", "the file is empty"}, {"Hello, world\r\n", "line 1 is not BEGIN:VCARD"},
      {"BEGIN:VCARD\r\nVERSION:3.0\r\nFN:x\r\n", "has no END:VCARD"},
      {Card("3.0", "FN:a\r\n") + Card("3.0", ""), "more than one card (another begins at line 5)"},
      {Card("3.0", "AGENT:\r\nBEGIN:VCARD\r\nFN:x\r\nEND:VCARD\r\n"), "line 4: a card begins inside"},
      {Card("3.0", "FN:a\r\n") + "trailing\r\n", "line 5: text after END:VCARD"},
      {std::string("\xFF\xFE" "B\0E\0", 6), "UTF-16"}, {std::string("\xFE\xFF"), "UTF-16"},
  };  // clang-format on
  for (const auto& [bytes, says] : cases) {
    EXPECT_THAT([&] { Parse(bytes); },
                ::testing::ThrowsMessage<SyntaxError>(::testing::HasSubstr(says)));
  }
}

TEST(VCardWriteTest, WritesCardsAsThreeZeroKeepingUnchangedLines) {
  const std::string kept =
      "FN:Pat\r\nitem1.TEL;type=WORK;type=VOICE;X-UNKNOWN=\"a,b\":+1 555\r\n"
      "X-CUSTOM;Foo=bar:value\\, with \\n escapes\r\n";
  const std::pair<std::string, std::string> cases[] = {
      {Card("3.0", kept), Card("3.0", kept)},
      {"\xEF\xBB\xBF\r\n\r\nBEGIN:VCARD\r\nVERSION:3.0\r\nFN:x\r\nno property line\r\n\r\n"
       "END:VCARD\r\n\r\n\x1A",
       Card("3.0", "FN:x\r\nno property line\r\n")},
      {Card("2.1", "URL;VALUE=URL:http://example.com/\r\nitem1.X-ABLabel:Label\r\n"),
       Card("3.0", "URL;VALUE=uri:http://example.com/\r\nitem1.X-ABLabel:Label\r\n")},
      {Card("2.1", "TEL;CELL;VOICE:1\r\nNOTE;CHARSET=UTF-8;QUOTED-PRINTABLE:a=0D=0Ab,c\r\n"),
       Card("3.0", "TEL;TYPE=CELL,VOICE:1\r\nNOTE:a\\nb\\,c\r\n")},
  };
  for (const auto& [read, written] : cases) {
    EXPECT_EQ(Write(Parse(read)), written);
  }
  Line line{"g",
            "EMAIL",
            {{"TYPE", {"INTERNET", "HOME"}}, {"X-NAME", {"Doe, John: \"JD\"; x"}}},
            "john@example.com",
            ""};
  EXPECT_EQ(RenderLine(line),
            "g.EMAIL;TYPE=INTERNET,HOME;X-NAME=\"Doe, John: JD; x\":john@example.com");
}

TEST(VCardTextTest, EscapesQuotedPrintableAndCharsets) {
  for (const std::string text :
       {"", "plain", "a,b;c\\d\ne", "\\n is not a line end", "ends with \\", "trailing\n"}) {
    EXPECT_EQ(UnescapeText(EscapeText(text)), text) << text;
    EXPECT_EQ(CaretDecode(CaretEncode(text)), text) << text;
  }
  EXPECT_EQ(EscapeText("a\r\nb\rc,d;e", ";"), "a\\nb\\nc\\,d;e");
  EXPECT_EQ(UnescapeText("\\x\\N\\"), "\\x\n\\");
  EXPECT_EQ(CaretEncode("say \"hi\"^\n"), "say ^'hi^'^^^n");
  EXPECT_EQ(CaretDecode("^x^'^^^n^N^"), "^x\"^\n^N^");
  EXPECT_EQ(DecodeQuotedPrintable("a=3Db=3db=09=af=Af"), "a=b=b\t\xAF\xAF");
  EXPECT_EQ(DecodeQuotedPrintable("=ZZ=4=g0"), "=ZZ=4=g0");
  EXPECT_EQ(DecodeQuotedPrintable("soft=\r\nbreak=\nhere=\r=0"), "softbreakhere=\r=0");
  EXPECT_EQ(TextToUtf8("\x80\x81\x9F\xA0", "ISO-8859-1"), "€\xC2\x81Ÿ\xC2\xA0");
  EXPECT_EQ(TextToUtf8("\xC2\x80\xC2\xA0\xC1\xBF\xDF\xBF", "UTF-8"), "\xC2\x80\xC2\xA0Á¿\xDF\xBF");
  EXPECT_EQ(JoinComponents({"a;b", "c,d", "e\\"}), "a\\;b;c\\,d;e\\\\");
}

TEST(VCardFuzzRegressionTest, PastFindingsSeedsAndFixturesKeepEveryInvariant) {
  int inputs = 0;
  for (const char* dir : {"fuzz/regressions/vcard", "fuzz/seeds/vcard", "tests/fixtures/vcards"}) {
    for (const auto& entry : std::filesystem::directory_iterator(testing::SourceDir() / dir)) {
      ++inputs;
      EXPECT_NO_THROW(fuzz::CheckCard(testing::ReadFile(entry.path().string()))) << entry.path();
    }
  }
  EXPECT_GE(inputs, 20);
}

}  // namespace
}  // namespace twinbook::vcard
