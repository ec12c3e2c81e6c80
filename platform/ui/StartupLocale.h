#pragma once
// Numbers in files and settings are read and written in the "C" manner whatever the user's locale:
// QApplication sets the C library's locale from the environment, so every program calls this right
// after creating it.

namespace platform::ui {

void RestoreNumericLocale();

}  // namespace platform::ui
