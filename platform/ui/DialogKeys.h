#pragma once
// Dialogs of the suite that stay open until they are closed on purpose: Enter and Escape do nothing
// (they neither press a default button nor close the dialog). Space still presses the focused button.

#include <QDialog>

namespace platform::ui {

// Call once the dialog's buttons exist.
void SwallowEnterAndEscape(QDialog& dialog);

}  // namespace platform::ui
