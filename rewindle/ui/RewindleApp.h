#pragma once
// The replay tool's program: the command line, the language, the settings and the dialog.

namespace rewindle::ui {

// Runs the program; its exit status: 0 normally (with --exit-when-done: the replay completed and the
// client closed in order), 1 when the English library, the --file of an unattended run or the end of
// an unattended replay failed, 2 for arguments that are refused (the usage text goes to stderr).
int RunRewindle(int argc, char** argv);

}  // namespace rewindle::ui
