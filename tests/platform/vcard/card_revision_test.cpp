#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <ctime>
#include <filesystem>

#include "platform/vcard/vcard_contact_store.h"
#include "support/temp_dir.h"

namespace twinbook {
namespace {

using testing::ReadFile;
using P = ContactProperty;
using namespace std::chrono;

// A card another program dated, with a parameter its new REV cannot keep.
constexpr const char* kCard =
    "BEGIN:VCARD\r\nVERSION:3.0\r\nUID:ann\r\nFN:Ann Doe\r\nN:Doe;Ann;;;\r\n"
    "REV;VALUE=date:2020-01-02\r\nTEL;TYPE=CELL:5550101\r\nEND:VCARD\r\n";

// Cards the store changes or makes are dated by its clock, in UTC whatever
// the local time zone; a card saved unchanged is not written at all.
TEST(CardRevisionTest, ChangedAndNewCardsAreDatedByTheClock) {
  ::setenv("TZ", "EST5EDT", 1);
  ::tzset();
  testing::TempDir dir;
  const std::string folder = dir / "Contacts", card = folder + "/ann.vcf";
  std::filesystem::create_directory(folder);
  testing::WriteFile(card, kCard);
  const auto when = sys_days{December / 7 / 2026} + hours(16) + minutes(12) + seconds(54);
  VCardContactStore store(nanoseconds(0), [&] { return when; });

  auto save = [&](const char* number) {
    auto item = store.OpenFolder(folder)->Item(1);
    item->Set(P::MobileTelephoneNumber, number);
    item->Save();
    return ReadFile(card);
  };
  EXPECT_EQ(save("5550101"), kCard);
  std::string expected = kCard;
  expected.replace(expected.find("REV;VALUE=date:2020-01-02"), 25, "REV:20261207T161254Z");
  expected.replace(expected.find("TEL;TYPE=CELL:5550101"), 21,
                   "TEL;TYPE=CELL;X-TWINBOOK-PROPERTY=MobileTelephoneNumber:5550102");
  EXPECT_EQ(save("5550102"), expected);

  auto made = store.OpenFolder(folder)->CreateItem();
  made->Set(P::FullName, "Bo Lee");
  made->Save();
  EXPECT_NE(ReadFile(made->Describe()).find("\r\nREV:20261207T161254Z\r\n"), std::string::npos);
}

}  // namespace
}  // namespace twinbook
