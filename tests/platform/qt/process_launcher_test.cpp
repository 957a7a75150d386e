// The QProcess launcher, over real shell scripts that wait for a file the
// test creates (for a minute at most), so that they cannot end before it.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <chrono>
#include <filesystem>
#include <thread>

#include "platform/qt/qt_process_launcher.h"
#include "support/temp_dir.h"

namespace twinbook {
namespace {

namespace fs = std::filesystem;

TEST(QtProcessLauncherTest, StartWaitsUntilTheProgramEndsAndStartDetachedDoesNot) {
  testing::TempDir dir;
  fs::create_directory(dir / "Program Files");
  const std::string program = dir / "Program Files/it's the \"manager\" $HOME;.exe";
  testing::WriteFile(
      program,
      "#!/bin/sh\nhere=\"$(dirname \"$0\")\"\ni=0\n"
      "while [ ! -e \"$here/go\" ] && [ $i -lt 1200 ]; do sleep 0.05; i=$((i+1)); done\n"
      "touch \"$here/ended\"\n");
  fs::permissions(program, fs::perms::owner_all);
  QtProcessLauncher launcher;
  for (const bool detached : {false, true}) {
    fs::remove(dir / "Program Files/go");
    fs::remove(dir / "Program Files/ended");
    std::unique_ptr<RunningProcess> process;
    if (detached) {
      EXPECT_TRUE(launcher.StartDetached(program));
    } else {
      process = launcher.Start(program);
      ASSERT_NE(process, nullptr);
      EXPECT_FALSE(process->WaitForExit(100));
      EXPECT_FALSE(process->WaitForExit(100));
    }
    EXPECT_FALSE(fs::exists(dir / "Program Files/ended"));
    testing::WriteFile(dir / "Program Files/go", "");
    bool ended = false;
    for (int i = 0; i < 300 && !ended; ++i) {
      ended = process ? process->WaitForExit(200) : fs::exists(dir / "Program Files/ended");
      std::this_thread::sleep_for(std::chrono::milliseconds(process ? 0 : 100));
    }
    EXPECT_TRUE(ended && fs::exists(dir / "Program Files/ended"));
  }
}

TEST(QtProcessLauncherTest, WhatCannotBeStartedIsReported) {
  testing::TempDir dir;
  testing::WriteFile(dir / "not-executable", "#!/bin/sh\ntouch \"$(dirname \"$0\")/ran\"\n");
  fs::create_directory(dir / "folder");
  QtProcessLauncher launcher;
  for (const std::string& program :
       {dir / "missing.exe", dir / "not-executable", dir / "folder", std::string()}) {
    EXPECT_EQ(launcher.Start(program), nullptr) << program;
    EXPECT_FALSE(launcher.StartDetached(program)) << program;
  }
  EXPECT_FALSE(fs::exists(dir / "ran"));
}

}  // namespace
}  // namespace twinbook

// QProcess needs one QCoreApplication for the whole process.
int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
