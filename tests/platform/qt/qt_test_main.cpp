#include <gtest/gtest.h>

#include <QCoreApplication>

// QProcess needs one QCoreApplication for the whole process.
int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
