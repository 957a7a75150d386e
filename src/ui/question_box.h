#pragma once

#include "environment/user_view.h"

class QWidget;

namespace twinbook {

// A question box with the question's title, its text and two buttons, modal
// to `parent`'s window: the cancel button is the default and Escape presses
// it. True only when the confirm button was pressed.
bool AskQuestion(QWidget* parent, const Question& question);

}  // namespace twinbook
