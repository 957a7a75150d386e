// ui_dialog_preview conflict|name: a run's dialog with sample values, for scripts/screenshots.
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
  if (which == "conflict")
    ConflictDialog::Ask(question, nullptr);
  else if (which == "name")
    NamePromptDialog::Ask(NameValues{"Ann", "Doe", "Ann Doe", "Smith, Ann"}, "File As", nullptr);
  else
    return std::fprintf(stderr, "usage: %s conflict|name\n", argv[0]), 2;
}
