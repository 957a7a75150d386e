#include <gtest/gtest.h>

#include <QApplication>
#include <QTimer>

// A test that ends the program (Quit) leaves Qt's quit mark set, and every
// event loop started afterwards would end at once: running the application's
// own loop once after each test clears it.
struct ClearQuitAfterEachTest : ::testing::EmptyTestEventListener {
  void OnTestEnd(const ::testing::TestInfo&) override {
    QTimer::singleShot(0, [] { QCoreApplication::exit(0); });
    QCoreApplication::exec();
  }
};

// One QApplication for the whole process; the offscreen platform needs no display.
int main(int argc, char** argv) {
  QApplication app(argc, argv);
  ::testing::InitGoogleTest(&argc, argv);
  ::testing::UnitTest::GetInstance()->listeners().Append(new ClearQuitAfterEachTest);
  return RUN_ALL_TESTS();
}
