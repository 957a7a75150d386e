#include <gtest/gtest.h>

#include <QApplication>

// GUI tests need one QApplication for the whole process; the offscreen
// platform (set by CTest) needs no display.
int main(int argc, char** argv) {
  QApplication app(argc, argv);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
