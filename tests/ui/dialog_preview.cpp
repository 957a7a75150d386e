// Shows one of the run's dialogs filled with sample values, for looking at
// its layout (scripts/screenshots) without producing a real conflict or
// rename. Usage: ui_dialog_preview conflict|name
#include <QApplication>
#include <cstdio>
#include <cstring>

#include "ui/conflict_dialog.h"
#include "ui/name_prompt_dialog.h"

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  using namespace twinbook;
  if (argc == 2 && std::strcmp(argv[1], "conflict") == 0) {
    ConflictQuestion question;
    question.outlook = ConflictBoxes{"Doe, Ann", "5550101234",
                                     "2",        "164*55*1234",
                                     "1",        "5550105678",
                                     "3",        "",
                                     "",         "5550109876",
                                     "4",        "",
                                     "",         "",
                                     "",         "",
                                     "",         "ann.doe@example.com",
                                     "5"};
    question.phoneBook = question.outlook;
    question.phoneBook.MobileNumber = "5550104444";
    question.phoneBook.Work1Number = "5550107777";
    question.phoneBook.Work1Speed = "6";
    ConflictDialog::Ask(question, nullptr);
    return 0;
  }
  if (argc == 2 && std::strcmp(argv[1], "name") == 0) {
    NamePromptDialog::Ask(NameValues{"Ann", "Doe", "Ann Doe", "Smith, Ann"}, "File As", nullptr);
    return 0;
  }
  std::fprintf(stderr, "usage: %s conflict|name\n", argv[0]);
  return 2;
}
