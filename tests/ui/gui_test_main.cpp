#include <gtest/gtest.h>

#include <QApplication>
#include <QTimer>

// A test that quits leaves Qt's quit mark set, which would end every later event loop at once.
struct ClearQuitAfterEachTest : ::testing::EmptyTestEventListener {
  void OnTestEnd(const ::testing::TestInfo&) override {
    QTimer::singleShot(0, [] { QCoreApplication::exit(0); });
    QCoreApplication::exec();
  }
};

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  ::testing::InitGoogleTest(&argc, argv);
  ::testing::UnitTest::GetInstance()->listeners().Append(new ClearQuitAfterEachTest);
  return RUN_ALL_TESTS();
}
