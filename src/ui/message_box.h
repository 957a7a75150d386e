#pragma once

#include <string>

class QWidget;

namespace twinbook {

// The program's message box: the text, the title "Twinbook" and an OK button
// only, modal to `parent`'s window. Returns when it has been dismissed, or
// at once when the program is ending.
void ShowMessageBox(QWidget* parent, const std::string& text);

}  // namespace twinbook
