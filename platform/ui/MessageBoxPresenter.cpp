#include "platform/ui/MessageBoxPresenter.h"

#include <QCoreApplication>
#include <QLocale>
#include <QMetaObject>
#include <QThread>

namespace platform::ui {
namespace {

constexpr unsigned kButtonMask = 0x0F;
constexpr unsigned kIconMask = 0xF0;

QMessageBox* MakeBox(QWidget* owner, const QString& text, const QString& caption, unsigned boxType,
                     bool english) {
    auto* box = new QMessageBox(IconForBoxType(boxType), caption, text, ButtonsForBoxType(boxType), owner);
    if (english)
        box->setLocale(QLocale(QLocale::English, QLocale::UnitedStates));
    return box;
}

}  // namespace

QMessageBox::StandardButtons ButtonsForBoxType(unsigned boxType) {
    switch (boxType & kButtonMask) {
        case platform::kBoxOkCancel:
            return QMessageBox::Ok | QMessageBox::Cancel;
        case 0x03:
            return QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel;
        case platform::kBoxYesNo:
            return QMessageBox::Yes | QMessageBox::No;
        default:
            return QMessageBox::Ok;
    }
}

QMessageBox::Icon IconForBoxType(unsigned boxType) {
    switch (boxType & kIconMask) {
        case platform::kBoxIconError:
            return QMessageBox::Critical;
        case platform::kBoxIconQuestion:
            return QMessageBox::Question;
        case platform::kBoxIconExclamation:
            return QMessageBox::Warning;
        case platform::kBoxIconInformation:
            return QMessageBox::Information;
        default:
            return QMessageBox::NoIcon;
    }
}

platform::MessageAnswer CautiousAnswer(unsigned boxType) {
    switch (boxType & kButtonMask) {
        case platform::kBoxOkCancel:
        case 0x03:
            return platform::MessageAnswer::Cancel;
        case platform::kBoxYesNo:
            return platform::MessageAnswer::No;
        default:
            return platform::MessageAnswer::Ok;
    }
}

platform::MessageAnswer AnswerForButton(int button, unsigned boxType) {
    switch (button) {
        case QMessageBox::Ok:
            return platform::MessageAnswer::Ok;
        case QMessageBox::Cancel:
            return platform::MessageAnswer::Cancel;
        case QMessageBox::Yes:
            return platform::MessageAnswer::Yes;
        case QMessageBox::No:
            return platform::MessageAnswer::No;
        default:
            return CautiousAnswer(boxType);
    }
}

platform::MessageAnswer MessageBoxPresenter::Present(std::string_view text, std::string_view caption,
                                                     unsigned boxType, bool english) {
    const QString qText = QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
    const QString qCaption = QString::fromUtf8(caption.data(), static_cast<qsizetype>(caption.size()));
    QCoreApplication* app = QCoreApplication::instance();
    if (app == nullptr)
        return CautiousAnswer(boxType);

    if (QThread::currentThread() != app->thread()) {
        QPointer<QWidget> owner = owner_;
        QMetaObject::invokeMethod(
            app,
            [owner, qText, qCaption, boxType, english] {
                QMessageBox* box = MakeBox(owner.data(), qText, qCaption, boxType, english);
                box->setAttribute(Qt::WA_DeleteOnClose);
                box->open();
            },
            Qt::QueuedConnection);
        return CautiousAnswer(boxType);
    }

    QMessageBox* box = MakeBox(owner_.data(), qText, qCaption, boxType, english);
    const QPointer<QMessageBox> guard(box);
    const int button = box->exec();
    delete guard.data();
    return AnswerForButton(button, boxType);
}

}  // namespace platform::ui
