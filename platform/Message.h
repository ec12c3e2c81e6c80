#pragma once
// Messages that a program raises itself, each in a Chinese and an English form. The core calls
// ShowBilingualMessage; whoever runs the program decides how it is shown: the desktop programs
// install a presenter with a message box, command-line modes print to standard error, tests record.

#include <string>
#include <string_view>

namespace platform {

// Box types (button set | icon), the values message boxes of the suite use.
enum : unsigned {
    kBoxOk = 0x00,
    kBoxOkCancel = 0x01,
    kBoxYesNo = 0x04,
    kBoxIconError = 0x10,
    kBoxIconQuestion = 0x20,
    kBoxIconExclamation = 0x30,
    kBoxIconInformation = 0x40,

    kBoxError = kBoxOkCancel | kBoxIconExclamation,              // 0x31
    kBoxConfirm = kBoxYesNo | kBoxIconQuestion,                  // 0x24
    kBoxDestructiveConfirm = kBoxOkCancel | kBoxIconQuestion,   // 0x21
    kBoxInformation = kBoxIconInformation,                      // 0x40
    kBoxWarning = kBoxIconExclamation,                          // 0x30
};

// Buttons a box returns.
enum class MessageAnswer { Ok = 1, Cancel = 2, Yes = 6, No = 7 };

class MessagePresenter {
public:
    virtual ~MessagePresenter() = default;
    // `text` is already in the chosen language; `english` tells which one it is.
    virtual MessageAnswer Present(std::string_view text, std::string_view caption, unsigned boxType,
                                  bool english) = 0;
};

// Installs the presenter (not owned; nullptr restores the default, which prints
// "caption: text" to standard error and answers OK or Yes).
void SetMessagePresenter(MessagePresenter* presenter);
void SetMessageLanguageEnglish(bool english);
bool MessageLanguageEnglish();
void SetMessageCaption(std::string caption);

MessageAnswer ShowBilingualMessage(std::string_view chinese, std::string_view english,
                                   unsigned boxType = kBoxOk);

// Replaces the first "%s" of a message text with `value` (the messages carry at most one).
std::string FormatMessageText(std::string_view text, std::string_view value);

}  // namespace platform
