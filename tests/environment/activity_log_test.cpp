#include "environment/activity_log.h"

#include <gtest/gtest.h>

#include "support/temp_dir.h"

namespace twinbook {
namespace {

using testing::TempDir;

TEST(LogFileTest, ReplaceStartsAfreshAndAppendAddsCrLfLines) {
  TempDir dir;
  const std::string path = dir / "SyncLog.txt";
  testing::WriteFile(path, "an old run\r\n");
  {
    LogFile log(path, LogFile::Mode::Replace);
    log.WriteLine("first");
    log.WriteLine("");
    log.Close();
  }
  {
    LogFile log(path, LogFile::Mode::Append);
    log.WriteLine("... second");
  }
  EXPECT_EQ(testing::ReadFile(path), "first\r\n\r\n... second\r\n");
}

TEST(LogFileTest, AppendCreatesAMissingFile) {
  TempDir dir;
  LogFile(dir / "new.txt", LogFile::Mode::Append).WriteLine("x");
  EXPECT_EQ(testing::ReadFile(dir / "new.txt"), "x\r\n");
}

TEST(LogFileTest, AFileThatCannotBeOpenedIsAnErrorNamingIt) {
  TempDir dir;
  const std::string path = dir / "missing folder/SyncLog.txt";
  try {
    LogFile log(path, LogFile::Mode::Replace);
    FAIL() << "opened " << path;
  } catch (const std::runtime_error& error) {
    EXPECT_NE(std::string(error.what()).find(path), std::string::npos) << error.what();
  }
}

TEST(LogFileTest, LinesAreOnDiskAsSoonAsTheyAreWritten) {
  TempDir dir;
  const std::string path = dir / "log.txt";
  LogFile log(path, LogFile::Mode::Replace);
  log.WriteLine("written through");
  EXPECT_EQ(testing::ReadFile(path), "written through\r\n");
}

}  // namespace
}  // namespace twinbook
