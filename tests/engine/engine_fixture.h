#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "environment/run_context.h"
#include "support/fake_platform.h"
#include "support/scripted_view.h"
#include "support/temp_dir.h"

namespace twinbook::testing {

// A contact record written the way the tables of the tests read:
// Contact("7", "Ann").Mobile("5551234", "3").Flagged("M").
struct Contact {
  Contact(std::string id, std::string name) {
    record.ContactID = std::move(id);
    record.ContactName = std::move(name);
  }
  explicit Contact(const SyncObject& from) : record(from) {}
  Contact& Work2(std::string number, std::string speed = "") {
    return Entry(&SyncObject::Work2Number, &SyncObject::Work2Speed, number, speed);
  }
  Contact& DC(std::string number, std::string speed = "") {
    return Entry(&SyncObject::DCNumber, &SyncObject::DCSpeed, number, speed);
  }
  Contact& Home(std::string number, std::string speed = "") {
    return Entry(&SyncObject::HomeNumber, &SyncObject::HomeSpeed, number, speed);
  }
  Contact& Work1(std::string number, std::string speed = "") {
    return Entry(&SyncObject::Work1Number, &SyncObject::Work1Speed, number, speed);
  }
  Contact& Mobile(std::string number, std::string speed = "") {
    return Entry(&SyncObject::MobileNumber, &SyncObject::MobileSpeed, number, speed);
  }
  Contact& Fax(std::string number, std::string speed = "") {
    return Entry(&SyncObject::FaxNumber, &SyncObject::FaxSpeed, number, speed);
  }
  Contact& Pager(std::string number, std::string speed = "") {
    return Entry(&SyncObject::PagerNumber, &SyncObject::PagerSpeed, number, speed);
  }
  Contact& Other(std::string number, std::string speed = "") {
    return Entry(&SyncObject::OtherNumber, &SyncObject::OtherSpeed, number, speed);
  }
  Contact& Email(std::string address, std::string speed = "") {
    return Entry(&SyncObject::EmailAddress, &SyncObject::EmailSpeed, address, speed);
  }
  Contact& Flagged(std::string flag) {
    record.Flag = std::move(flag);
    return *this;
  }
  operator SyncObject() const { return record; }

  SyncObject record;

 private:
  Contact& Entry(std::string SyncObject::*number, std::string SyncObject::*speed,
                 std::string& value, std::string& slot) {
    record.*number = std::move(value);
    record.*speed = std::move(slot);
    return *this;
  }
};

// Appends copies of `records` to `set`.
void Seed(SyncSet& set, const std::vector<SyncObject>& records);
// The records of `set`, in order.
std::vector<SyncObject> RecordsOf(const SyncSet& set);
// The flags of `set`, in order.
std::vector<std::string> FlagsOf(const SyncSet& set);

// What a phase routine needs: a run state reset as at the start of a run,
// with its activity log in a temporary folder, a scripted user and fake
// stores. Tests seed the three sets and call the routines.
class EngineTest : public ::testing::Test {
 protected:
  EngineTest();

  // The activity log's lines, without their CR LF.
  std::vector<std::string> LogLines() const;

  void SeedOutlook(const std::vector<SyncObject>& records) { Seed(state.OutlookSet, records); }
  void SeedPhoneBook(const std::vector<SyncObject>& records) { Seed(state.PhoneBookSet, records); }
  void SeedSync(const std::vector<SyncObject>& records) { Seed(state.SyncDatabaseSet, records); }

  TempDir dir;
  const std::string log = dir / "SyncLog.txt";
  FakePlatform fake;
  ScriptedView view;
  RunState state{"/opt/tb"};
  RunContext context{state, view, fake.platform};
};

}  // namespace twinbook::testing
