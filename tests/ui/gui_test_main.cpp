#include <gtest/gtest.h>

#include <QApplication>
#include <QTimer>

namespace {

// A test that ends the program (Quit) leaves Qt's quit mark set, and every
// event loop started afterwards, such as a dialog's, would end at once.
// Running the application's own loop once clears the mark for the next test.
class ClearQuitAfterEachTest : public ::testing::EmptyTestEventListener {
  void OnTestEnd(const ::testing::TestInfo&) override {
    QTimer::singleShot(0, [] { QCoreApplication::exit(0); });
    QCoreApplication::exec();
  }
};

}  // namespace

// GUI tests need one QApplication for the whole process; the offscreen
// platform (set by CTest) needs no display.
int main(int argc, char** argv) {
  QApplication app(argc, argv);
  ::testing::InitGoogleTest(&argc, argv);
  ::testing::UnitTest::GetInstance()->listeners().Append(new ClearQuitAfterEachTest);
  return RUN_ALL_TESTS();
}
