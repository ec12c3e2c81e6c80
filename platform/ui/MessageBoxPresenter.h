#pragma once
// Shows the messages of ShowBilingualMessage as message boxes: the box type gives the buttons and the
// icon, the caption is the program's, and an English message carries the English (United States)
// locale. Install one with platform::SetMessagePresenter once the QApplication exists.
//
// Boxes are shown on the user-interface thread only. A message raised on another thread is shown
// later on the user-interface thread, and the caller gets the cautious answer at once (OK for a box
// with one button, Cancel or No otherwise).

#include <QMessageBox>
#include <QPointer>
#include <QWidget>

#include "platform/Message.h"

namespace platform::ui {

QMessageBox::StandardButtons ButtonsForBoxType(unsigned boxType);
QMessageBox::Icon IconForBoxType(unsigned boxType);
// The answer a button gives; a box closed without a button (Escape, the close button) answers as its
// cautious button does.
platform::MessageAnswer AnswerForButton(int button, unsigned boxType);
platform::MessageAnswer CautiousAnswer(unsigned boxType);

class MessageBoxPresenter final : public platform::MessagePresenter {
  public:
    explicit MessageBoxPresenter(QWidget* owner = nullptr) : owner_(owner) {}
    // The window the boxes belong to (centred on it, modal to it); none: the application.
    void SetOwner(QWidget* owner) { owner_ = owner; }

    platform::MessageAnswer Present(std::string_view text, std::string_view caption, unsigned boxType,
                                    bool english) override;

  private:
    QPointer<QWidget> owner_;
};

}  // namespace platform::ui
