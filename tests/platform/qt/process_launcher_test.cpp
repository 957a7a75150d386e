#include <gtest/gtest.h>
#include <sys/stat.h>

#include <chrono>
#include <filesystem>
#include <thread>

#include "platform/qt/qt_process_launcher.h"
#include "support/temp_dir.h"

namespace twinbook {
namespace {

using testing::TempDir;
namespace fs = std::filesystem;

// Writes an executable shell script.
void WriteScript(const std::string& path, const std::string& body) {
  testing::WriteFile(path, "#!/bin/sh\n" + body);
  fs::permissions(path, fs::perms::owner_all | fs::perms::group_read | fs::perms::others_read);
}

// Waits (bounded) until `path` exists; the bound only keeps a broken test
// from hanging.
bool Appears(const std::string& path) {
  for (int i = 0; i < 600 && !fs::exists(path); ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  return fs::exists(path);
}

// Polls as a run does until the program has ended; false when the bound runs out.
bool PollUntilEnded(RunningProcess& process) {
  for (int i = 0; i < 300; ++i) {
    if (process.WaitForExit(200)) {
      return true;
    }
  }
  return false;
}

// The script waits for a file the test creates, so it cannot end before the
// test lets it, however fast or slow the machine is (it gives up after a
// minute, so that a broken test fails instead of hanging).
const char* kGatedScript =
    "here=\"$(dirname \"$0\")\"\n"
    "i=0\n"
    "while [ ! -e \"$here/go\" ] && [ $i -lt 1200 ]; do sleep 0.05; i=$((i+1)); done\n"
    "touch \"$here/ended\"\n";

TEST(QtProcessLauncherTest, WaitsUntilTheProgramEnds) {
  TempDir dir;
  WriteScript(dir / "manager", kGatedScript);
  QtProcessLauncher launcher;
  std::unique_ptr<RunningProcess> process = launcher.Start(dir / "manager");
  ASSERT_NE(process, nullptr);
  EXPECT_FALSE(process->WaitForExit(100));
  EXPECT_FALSE(process->WaitForExit(100));
  testing::WriteFile(dir / "go", "");
  EXPECT_TRUE(PollUntilEnded(*process));
  EXPECT_TRUE(fs::exists(dir / "ended"));
}

// Waiting on a program at such a path is tried by a whole run in the
// hostile input tests (ManagerPathWithBlanksAndQuotes).
TEST(QtProcessLauncherTest, StartDetachedReturnsWhileAProgramAtAnAwkwardPathRuns) {
  TempDir dir;
  fs::create_directory(dir / "Program Files");
  const std::string program = dir / "Program Files/it's the \"manager\" $HOME;.exe";
  WriteScript(program, kGatedScript);
  QtProcessLauncher launcher;
  EXPECT_TRUE(launcher.StartDetached(program));
  // Back here while the program still waits for the go-ahead.
  EXPECT_FALSE(fs::exists(dir / "Program Files/ended"));
  testing::WriteFile(dir / "Program Files/go", "");
  EXPECT_TRUE(Appears(dir / "Program Files/ended"));
}

TEST(QtProcessLauncherTest, WhatCannotBeStartedIsReported) {
  TempDir dir;
  testing::WriteFile(dir / "not-executable", "#!/bin/sh\ntouch \"$(dirname \"$0\")/ran\"\n");
  fs::create_directory(dir / "folder");
  QtProcessLauncher launcher;
  for (const std::string& program :
       {dir / "missing.exe", dir / "not-executable", dir / "folder", std::string()}) {
    SCOPED_TRACE(program);
    EXPECT_EQ(launcher.Start(program), nullptr);
    EXPECT_FALSE(launcher.StartDetached(program));
  }
  EXPECT_FALSE(fs::exists(dir / "ran"));
}

}  // namespace
}  // namespace twinbook
