#include "environment/activity_log.h"

#include <gtest/gtest.h>

#include "support/temp_dir.h"

namespace twinbook {
namespace {

using testing::ReadFile;
using testing::TempDir;

TEST(LogFileTest, ReplaceStartsAfreshAndAppendAddsCrLfLines) {
  TempDir dir;
  const std::string path = dir / "SyncLog.txt";
  testing::WriteFile(path, "an old run\r\n");
  {
    LogFile log(path, LogFile::Mode::Replace);
    log.WriteLine("first");
    // On disk at once: a run that dies leaves its log up to the last line.
    EXPECT_EQ(ReadFile(path), "first\r\n");
    log.WriteLine("");
    log.Close();
  }
  LogFile(path, LogFile::Mode::Append).WriteLine("... second");
  EXPECT_EQ(ReadFile(path), "first\r\n\r\n... second\r\n");
  LogFile(dir / "new.txt", LogFile::Mode::Append).WriteLine("x");
  EXPECT_EQ(ReadFile(dir / "new.txt"), "x\r\n");
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

}  // namespace
}  // namespace twinbook
