#include <gtest/gtest.h>

#include <QLineEdit>
#include <QRegularExpression>
#include <QTest>
#include <set>
#include <string>

#include "gui_test_support.h"
#include "ui/conflict_dialog.h"

namespace twinbook {
namespace {

// The fields (box names after "ol"/"pb") marked on both sides: "differs" set
// and bold; every other box unmarked.
std::set<std::string> Marked(const ConflictDialog& dialog) {
  std::set<std::string> marked;
  for (QLineEdit* outlook : dialog.findChildren<QLineEdit*>(QRegularExpression("^ol"))) {
    const QString stem = outlook->objectName().mid(2);
    auto* phoneBook = testing::Child<QLineEdit>(&dialog, ("pb" + stem).toUtf8().constData());
    const bool differs = outlook->property("differs").toBool();
    EXPECT_EQ(phoneBook->property("differs").toBool(), differs) << stem.toStdString();
    EXPECT_EQ(outlook->font().bold() && phoneBook->font().bold(), differs) << stem.toStdString();
    EXPECT_EQ(outlook->font().bold() || phoneBook->font().bold(), differs) << stem.toStdString();
    if (differs) {
      marked.insert(stem.toStdString());
    }
  }
  return marked;
}

// Letter case, a speed dial alone and a value on one side only all differ;
// equal values, empty ones included, do not. Edits move the marks both ways.
TEST(ConflictMarksTest, MarkExactlyTheDifferingFieldsAndFollowEdits) {
  ConflictQuestion question;
  question.outlook = {"Doe, Ann", "5550101",         "1", "", "", "5550102", "2", "",
                      "",         "5550103",         "3", "", "", "",        "",  "",
                      "",         "ann@example.com", "5"};
  question.phoneBook = question.outlook;
  question.phoneBook.ContactName = "doe, ann";
  question.phoneBook.MobileNumber = "5550199";
  question.phoneBook.HomeSpeed = "4";
  question.phoneBook.EmailSpeed = "";
  ConflictDialog dialog(question, nullptr);
  EXPECT_EQ(Marked(dialog), (std::set<std::string>{"Name", "Mobile", "HomeSpeed", "EmailSpeed"}));

  auto* mobile = testing::Child<QLineEdit>(&dialog, "olMobile");
  mobile->clear();
  QTest::keyClicks(mobile, "5550199");
  QTest::keyClicks(testing::Child<QLineEdit>(&dialog, "pbFax"), "7");
  EXPECT_EQ(Marked(dialog), (std::set<std::string>{"Name", "HomeSpeed", "EmailSpeed", "Fax"}));
}

}  // namespace
}  // namespace twinbook
