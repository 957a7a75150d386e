// Shows one of the run's dialogs filled with sample values, for looking at its
// layout (scripts/screenshots) without producing a real conflict or rename.
// Usage: ui_dialog_preview conflict|name
#include <QApplication>
#include <cstdio>
#include <string>

#include "ui/conflict_dialog.h"
#include "ui/name_prompt_dialog.h"

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  using namespace twinbook;
  const std::string which = argc == 2 ? argv[1] : "";
  ConflictQuestion question;
  // clang-format off
  question.outlook = {"Doe, Ann", "5550101234", "2", "164*55*1234", "1", "5550105678", "3", "", "",
                      "5550109876", "4", "", "", "", "", "", "", "ann.doe@example.com", "5"};
  // clang-format on
  question.phoneBook = question.outlook;
  question.phoneBook.MobileNumber = "5550104444";
  question.phoneBook.Work1Number = "5550107777";
  question.phoneBook.Work1Speed = "6";
  if (which == "conflict") {
    ConflictDialog::Ask(question, nullptr);
  } else if (which == "name") {
    NamePromptDialog::Ask(NameValues{"Ann", "Doe", "Ann Doe", "Smith, Ann"}, "File As", nullptr);
  } else {
    std::fprintf(stderr, "usage: %s conflict|name\n", argv[0]);
    return 2;
  }
}
