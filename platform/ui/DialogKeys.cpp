#include "platform/ui/DialogKeys.h"

#include <QEvent>
#include <QKeyEvent>
#include <QPushButton>

namespace platform::ui {
namespace {

class EnterEscapeFilter final : public QObject {
  public:
    using QObject::QObject;

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::KeyPress || event->type() == QEvent::ShortcutOverride) {
            const int key = static_cast<QKeyEvent*>(event)->key();
            if (key == Qt::Key_Return || key == Qt::Key_Enter || key == Qt::Key_Escape) {
                event->accept();
                return event->type() == QEvent::KeyPress;
            }
        }
        return QObject::eventFilter(watched, event);
    }
};

}  // namespace

void SwallowEnterAndEscape(QDialog& dialog) {
    // Buttons of a dialog press themselves on Enter when they are (auto-)default; none may be.
    for (QPushButton* button : dialog.findChildren<QPushButton*>()) {
        button->setAutoDefault(false);
        button->setDefault(false);
    }
    // A key the focused widget does not use travels up to the dialog, which would press the default
    // button (Enter) or close (Escape): it is taken there.
    dialog.installEventFilter(new EnterEscapeFilter(&dialog));
}

}  // namespace platform::ui
