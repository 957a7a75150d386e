// The inclusion report over a real folder of cards.

#include "stores/inclusion_report.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "environment/app_info.h"
#include "support/store_files.h"

namespace twinbook {
namespace {

using ::testing::ElementsAre;
using testing::StoreFiles;
using P = ContactProperty;

// Contacts that take part and those that do not, each in folder order under
// the synchronised name; a distribution list is in neither; no card is saved.
// A card that cannot be read stops the report before its file is touched.
TEST(InclusionReportTest, ListsIncludedAndExcludedContactsInFolderOrder) {
  StoreFiles files;
  const std::string report = files.dir / "InclusionReport.txt";
  testing::WriteFile(report, "an older and much longer report\r\nwith two lines\r\n");
  for (const auto& [name, user2] : {std::pair{"", "YES"},
                                    {"Adams", "yes"},
                                    {"Baker", "No"},
                                    {"Clark", "y"},
                                    {"Davis", ""},
                                    {"Evans", "YeS"},
                                    {"Foster", "maybe"},
                                    {"Hill", " yes"}}) {
    files.AddCard({std::string("c") + name,
                   {{P::FileAs, *name ? std::string("F ") + name : ""},
                    {P::FullName, name},
                    {P::User2, user2}}});
  }
  files.WriteCardFile("list.vcf",
                      "BEGIN:VCARD\r\nVERSION:4.0\r\nUID:list\r\nKIND:group\r\nFN:Club"
                      "\r\nX-TWINBOOK-USER2:YES\r\nEND:VCARD\r\n");
  files.state.settings.NameField = "Full Name";
  const auto cards = files.Snapshot();

  WriteInclusionReport(files.context);

  EXPECT_THAT(
      testing::ReadCrLfLines(report),
      ElementsAre(TitleAndVersionLine(), kNotice, "Inclusion Report", "",
                  "Included Contacts:", "     ", "     Adams", "     Clark", "     Evans", "",
                  "Excluded Contacts:", "     Baker", "     Davis", "     Foster", "     Hill"));
  EXPECT_THAT(files.view.messages,
              ElementsAre("The Inclusion Report has been written to " + report));
  EXPECT_EQ(files.Snapshot(), cards);

  files.WriteCardFile("broken.vcf", "not a card\r\n");
  const std::string written = testing::ReadFile(report);
  EXPECT_THAT([&] { WriteInclusionReport(files.context); },
              ::testing::ThrowsMessage<std::runtime_error>(::testing::HasSubstr("broken.vcf")));
  EXPECT_EQ(testing::ReadFile(report), written);
}

}  // namespace
}  // namespace twinbook
