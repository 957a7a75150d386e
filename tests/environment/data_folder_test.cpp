#include "platform/data_folder.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>

#include "data_setup.h"
#include "engine/start_sync.h"
#include "platform/sqlite/sqlite_database.h"
#include "platform/vcard/vcard_contact_store.h"
#include "support/fake_platform.h"
#include "support/memory_settings_store.h"
#include "support/scripted_view.h"
#include "support/temp_dir.h"

namespace twinbook {
namespace {

namespace fs = std::filesystem;
using ::testing::ElementsAre;
using ::testing::HasSubstr;

// Over real folders in a temporary HOME: the layout main() decides, the
// user's data folder made at a first start, and a whole run that finds its
// stores by the defaults alone.
TEST(DataFolderTest, TheLayoutDecidesWhereARunFindsItsData) {
  enum Data { kNone, kBeside, kBesideReadOnly, kUserLacksPhoneBook };
  const struct {
    Data given;
    bool xdgSet;
    Layout layout;
    const char* data;  // below the temporary folder
    bool created;
  } cases[] = {
      {kBeside, true, Layout::kPortable, "program/Data", false},
      {kNone, true, Layout::kInstalled, "xdg/Twinbook", true},
      {kNone, false, Layout::kInstalled, "home/.local/share/Twinbook", true},
      {kBesideReadOnly, true, Layout::kInstalled, "xdg/Twinbook", true},
      {kUserLacksPhoneBook, true, Layout::kInstalled, "xdg/Twinbook", false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.data + std::string(c.given == kBesideReadOnly ? ", Data read-only" : ""));
    if (c.given == kBesideReadOnly && ::geteuid() == 0) {
      continue;  // root may write anywhere: this case cannot be told apart
    }
    testing::TempDir dir;
    const std::string program = dir / "program";
    ::setenv("HOME", (dir / "home").c_str(), 1);
    c.xdgSet ? ::setenv("XDG_DATA_HOME", (dir / "xdg").c_str(), 1) : ::unsetenv("XDG_DATA_HOME");
    fs::create_directories(program);
    if (c.given == kBeside || c.given == kBesideReadOnly) {
      InstallEmptyData(program + "/Data");
      fs::permissions(program + "/Data", fs::perms::owner_write,
                      c.given == kBeside ? fs::perm_options::add : fs::perm_options::remove);
    } else if (c.given == kUserLacksPhoneBook) {
      InstallEmptyData(dir / c.data);
      fs::remove(dir / c.data + "/PhoneBook.mdb");
    }

    const ProgramFolders folders = DecideProgramFolders(program);
    EXPECT_EQ(folders.layout, c.layout);
    EXPECT_EQ(folders.data, dir / c.data);
    EXPECT_EQ(CreateDataFolderIfAbsent(folders), c.created);
    if (c.created) {  // renamed into place whole: nothing left beside it
      EXPECT_EQ(std::distance(fs::directory_iterator(fs::path(folders.data).parent_path()), {}), 1);
    }
    EXPECT_EQ(fs::exists(dir / "xdg") || fs::exists(dir / "home"), c.layout == Layout::kInstalled);

    SqliteDatabaseEngine databases;
    VCardContactStore contacts;
    testing::MemorySettingsStore settings;
    settings.values = {{"Settings/PMBefore", "False"}, {"Settings/PMAfter", "False"}};
    testing::FakeLauncher launcher;
    Platform platform{databases, contacts, settings, launcher};
    RunState state(folders);
    testing::ScriptedView view;
    RunContext context{state, view, platform};
    ResetSyncState(state, settings);
    EXPECT_EQ(state.ManagerPath,
              (c.layout == Layout::kPortable ? program : folders.data) + "/idenpm.exe");
    StartSync(context);
    if (c.given == kUserLacksPhoneBook) {
      EXPECT_THAT(view.messages, ElementsAre(HasSubstr(folders.data + "/PhoneBook.mdb")));
      EXPECT_FALSE(fs::exists(folders.data + "/PhoneBook.mdb"));
    } else {
      EXPECT_EQ(view.status(), "Status: Synchronization complete.");
      EXPECT_TRUE(fs::exists(folders.data + "/SyncLog.txt"));
    }
    std::error_code noData;  // let the temporary folder go
    fs::permissions(program + "/Data", fs::perms::owner_write, fs::perm_options::add, noData);
  }
}

}  // namespace
}  // namespace twinbook
