#include "stores/speed_tags.h"

#include <gtest/gtest.h>

namespace twinbook {
namespace {

TEST(SpeedTagTextTest, OneTagPerNonEmptyNumberInCodeOrder) {
  SyncObject r;
  r.Work2Number = "5551000";
  r.Work2Speed = "3";
  r.HomeNumber = "5552000";
  r.HomeSpeed = "7";
  r.EmailAddress = "ann@example.com";
  r.MobileSpeed = "4";  // the speed of an empty number is not carried
  EXPECT_EQ(SpeedTagText(r), "W2:3,H:7,E:");

  SyncObject all;
  int speed = 1;
  for (auto [number, speedField] : {std::pair{&SyncObject::EmailAddress, &SyncObject::EmailSpeed},
                                    {&SyncObject::OtherNumber, &SyncObject::OtherSpeed},
                                    {&SyncObject::PagerNumber, &SyncObject::PagerSpeed},
                                    {&SyncObject::FaxNumber, &SyncObject::FaxSpeed},
                                    {&SyncObject::MobileNumber, &SyncObject::MobileSpeed},
                                    {&SyncObject::Work1Number, &SyncObject::Work1Speed},
                                    {&SyncObject::HomeNumber, &SyncObject::HomeSpeed},
                                    {&SyncObject::DCNumber, &SyncObject::DCSpeed},
                                    {&SyncObject::Work2Number, &SyncObject::Work2Speed}}) {
    all.*number = "x";
    all.*speedField = std::to_string(speed++);
  }
  EXPECT_EQ(SpeedTagText(all), "W2:9,DC:8,H:7,W1:6,M:5,F:4,P:3,O:2,E:1");
}

// Applying a text to a record whose speeds all start as "old".
struct ApplyCase {
  const char* text;
  std::vector<std::pair<std::string SyncObject::*, const char*>> changed;
};

TEST(ApplySpeedTagTextTest, SetsTheSpeedsOfTheTagsPresent) {
  const std::vector<ApplyCase> cases = {
      {"W2:3,H:7,E:",
       {{&SyncObject::Work2Speed, "3"},
        {&SyncObject::HomeSpeed, "7"},
        {&SyncObject::EmailSpeed, "0"}}},
      {"M:,P:4", {{&SyncObject::MobileSpeed, "0"}, {&SyncObject::PagerSpeed, "4"}}},
      {"M:12 H:4", {{&SyncObject::MobileSpeed, "12"}, {&SyncObject::HomeSpeed, "4"}}},
      {"m:12", {}},
      {"M:012", {{&SyncObject::MobileSpeed, "12"}}},
      {"M:000", {{&SyncObject::MobileSpeed, "0"}}},
      {"", {}},
      {"M: 5x,W1:  8", {{&SyncObject::MobileSpeed, "5"}, {&SyncObject::Work1Speed, "8"}}},
      {"E:4,DC:3,O:2",
       {{&SyncObject::EmailSpeed, "4"},
        {&SyncObject::DCSpeed, "3"},
        {&SyncObject::OtherSpeed, "2"}}},
      // Only the first occurrence counts.
      {"F:1,F:2", {{&SyncObject::FaxSpeed, "1"}}},
      // What a general number parser would take is not a speed dial here.
      {"M:0x1A,H:1e3,W1:inf,W2:3.9,F:-0",
       {{&SyncObject::MobileSpeed, "0"},
        {&SyncObject::HomeSpeed, "1"},
        {&SyncObject::Work1Speed, "0"},
        {&SyncObject::Work2Speed, "3"},
        {&SyncObject::FaxSpeed, "0"}}},
      // A sign belongs to the number, so a stored -1 reads back as -1.
      {"P:-5,O:+07,DC:- 3",
       {{&SyncObject::PagerSpeed, "-5"},
        {&SyncObject::OtherSpeed, "7"},
        {&SyncObject::DCSpeed, "0"}}},
      {"M:123456789012345678901234567890",
       {{&SyncObject::MobileSpeed, "123456789012345678901234567890"}}},
  };
  for (const ApplyCase& c : cases) {
    SyncObject record;
    for (auto speed : {&SyncObject::Work2Speed, &SyncObject::DCSpeed, &SyncObject::HomeSpeed,
                       &SyncObject::Work1Speed, &SyncObject::MobileSpeed, &SyncObject::FaxSpeed,
                       &SyncObject::PagerSpeed, &SyncObject::OtherSpeed, &SyncObject::EmailSpeed}) {
      record.*speed = "old";
    }
    record.MobileNumber = "555";
    SyncObject expected = record;
    for (const auto& [field, value] : c.changed) {
      expected.*field = value;
    }
    ApplySpeedTagText(record, c.text);
    EXPECT_EQ(record, expected) << c.text;
  }
}

TEST(SpeedTagValueTest, AbsentTagHasNoValue) {
  EXPECT_EQ(SpeedTagValue("H:", "M:1,W1:2"), std::nullopt);
  EXPECT_EQ(SpeedTagValue("H:", "M:1,H:"), "0");
}

}  // namespace
}  // namespace twinbook
