#include "environment/activity_log.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "support/temp_dir.h"

namespace twinbook {
namespace {

using testing::ReadFile;

// Lines end in CR LF and are on disk at once, so that a run that dies leaves
// its log up to the last line; a log that cannot be opened is an error naming it.
TEST(LogFileTest, ReplaceStartsAfreshAndAppendAddsCrLfLines) {
  testing::TempDir dir;
  const std::string path = dir / "SyncLog.txt";
  testing::WriteFile(path, "an old run\r\n");
  {
    LogFile log(path, LogFile::Mode::Replace);
    log.WriteLine("first");
    EXPECT_EQ(ReadFile(path), "first\r\n");
    log.WriteLine("");
    log.Close();
  }
  LogFile(path, LogFile::Mode::Append).WriteLine("... second");
  EXPECT_EQ(ReadFile(path), "first\r\n\r\n... second\r\n");
  LogFile(dir / "new.txt", LogFile::Mode::Append).WriteLine("x");
  EXPECT_EQ(ReadFile(dir / "new.txt"), "x\r\n");
  const std::string missing = dir / "missing/SyncLog.txt";
  EXPECT_THAT([&] { LogFile(missing, LogFile::Mode::Replace); },
              ::testing::ThrowsMessage<std::runtime_error>(::testing::HasSubstr(missing)));
}

}  // namespace
}  // namespace twinbook
