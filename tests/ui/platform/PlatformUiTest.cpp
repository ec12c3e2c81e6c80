// The Qt side of the platform layer: message boxes for every box type and language, messages posted
// from worker threads delivered on the user-interface thread, the English language libraries, dialogs
// that ignore Enter and Escape, the numeric locale and screenshots.

#include <QCoreApplication>
#include <QDialog>
#include <QImage>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTemporaryDir>
#include <QVBoxLayout>
#include <QtTest>
#include <clocale>
#include <thread>

#include "platform/Message.h"
#include "platform/ui/DialogKeys.h"
#include "platform/ui/LanguageLibrary.h"
#include "platform/ui/MessageBoxPresenter.h"
#include "platform/ui/QtMessageSink.h"
#include "platform/ui/RecordingPresenter.h"
#include "platform/ui/Screenshot.h"
#include "platform/ui/StartupLocale.h"

using platform::MessageAnswer;

class PlatformUiTest : public QObject {
    Q_OBJECT

  private slots:
    void cleanup();
    void messageBoxesFollowTheBoxType_data();
    void messageBoxesFollowTheBoxType();
    void aMessageFromAnotherThreadIsShownLater();
    void postedMessagesArriveInOrderOnTheUserInterfaceThread();
    void languageLibraries();
    void dialogsIgnoreEnterAndEscape();
    void numbersReadInTheCManner();
    void screenshotsArePngFiles();
};

void PlatformUiTest::cleanup() {
    platform::SetMessagePresenter(nullptr);
    // A box left open by a failed check must not hold up the next one.
    while (QWidget* modal = QApplication::activeModalWidget()) modal->close();
}

void PlatformUiTest::messageBoxesFollowTheBoxType_data() {
    QTest::addColumn<unsigned>("boxType");
    QTest::addColumn<bool>("english");
    QTest::addColumn<int>("icon");
    QTest::addColumn<int>("buttons");
    QTest::addColumn<int>("press");  // a button, or 0 for Escape
    QTest::addColumn<int>("answer");
    QTest::newRow("warning") << 0x30u << false << int(QMessageBox::Warning) << int(QMessageBox::Ok)
                             << int(QMessageBox::Ok) << int(MessageAnswer::Ok);
    QTest::newRow("error, cancelled with Escape")
        << 0x31u << true << int(QMessageBox::Warning) << int(QMessageBox::Ok | QMessageBox::Cancel) << 0
        << int(MessageAnswer::Cancel);
    QTest::newRow("confirmation, no")
        << 0x24u << false << int(QMessageBox::Question) << int(QMessageBox::Yes | QMessageBox::No)
        << int(QMessageBox::No) << int(MessageAnswer::No);
    QTest::newRow("destructive confirmation, ok")
        << 0x21u << true << int(QMessageBox::Question) << int(QMessageBox::Ok | QMessageBox::Cancel)
        << int(QMessageBox::Ok) << int(MessageAnswer::Ok);
    QTest::newRow("information") << 0x40u << true << int(QMessageBox::Information) << int(QMessageBox::Ok)
                                 << int(QMessageBox::Ok) << int(MessageAnswer::Ok);
}

void PlatformUiTest::messageBoxesFollowTheBoxType() {
    QFETCH(unsigned, boxType);
    QFETCH(bool, english);
    QFETCH(int, icon);
    QFETCH(int, buttons);
    QFETCH(int, press);
    QFETCH(int, answer);

    platform::ui::MessageBoxPresenter presenter;
    platform::SetMessagePresenter(&presenter);
    platform::SetMessageLanguageEnglish(english);
    platform::SetMessageCaption("Caption");
    bool checked = false;
    QTimer::singleShot(0, [&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        QVERIFY(box != nullptr);
        QCOMPARE(box->text(), english ? QStringLiteral("English text") : QStringLiteral("中文"));
        QCOMPARE(box->windowTitle(), QStringLiteral("Caption"));
        QCOMPARE(int(box->icon()), icon);
        QCOMPARE(int(box->standardButtons()), buttons);
        QCOMPARE(box->locale() == QLocale(QLocale::English, QLocale::UnitedStates), english);
        checked = true;
        if (press == 0)
            QTest::keyClick(box, Qt::Key_Escape);
        else
            box->button(QMessageBox::StandardButton(press))->click();
    });
    const MessageAnswer got = platform::ShowBilingualMessage("中文", "English text", boxType);
    QVERIFY(checked);
    QCOMPARE(int(got), answer);
}

void PlatformUiTest::aMessageFromAnotherThreadIsShownLater() {
    platform::ui::MessageBoxPresenter presenter;
    platform::SetMessagePresenter(&presenter);
    platform::SetMessageLanguageEnglish(true);
    MessageAnswer answer = MessageAnswer::Yes;
    std::thread worker(
        [&] { answer = platform::ShowBilingualMessage("中文", "Later", platform::kBoxConfirm); });
    worker.join();
    QCOMPARE(int(answer), int(MessageAnswer::No));  // the cautious answer, at once
    QTRY_VERIFY(qobject_cast<QMessageBox*>(QApplication::activeModalWidget()) != nullptr);
    auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    QCOMPARE(box->text(), QStringLiteral("Later"));
    box->button(QMessageBox::Yes)->click();
    QTRY_VERIFY(QApplication::activeModalWidget() == nullptr);
}

void PlatformUiTest::postedMessagesArriveInOrderOnTheUserInterfaceThread() {
    platform::ui::QtMessageSink sink;
    std::vector<platform::PostedMessage> chart, data;
    bool allOnUiThread = true;
    auto owner = std::make_unique<QObject>();
    sink.SetHandler(platform::MessageTarget::ChartView, owner.get(), [&](const platform::PostedMessage& m) {
        allOnUiThread &= QThread::currentThread() == qApp->thread();
        chart.push_back(m);
    });
    QObject dataOwner;
    sink.SetHandler(platform::MessageTarget::DataPane, &dataOwner, [&](const platform::PostedMessage& m) {
        allOnUiThread &= QThread::currentThread() == qApp->thread();
        data.push_back(m);
    });
    constexpr unsigned kCount = 500;
    std::thread a([&] {
        for (unsigned i = 0; i < kCount; ++i) sink.Post(platform::MessageTarget::ChartView, 0x604, i, -1);
    });
    std::thread b([&] {
        for (unsigned i = 0; i < kCount; ++i) sink.Post(platform::MessageTarget::DataPane, 0x5F9, i, 7);
    });
    a.join();
    b.join();
    QVERIFY(chart.empty());  // nothing runs before the event loop does
    QTRY_COMPARE(chart.size() + data.size(), std::size_t{2 * kCount});
    QVERIFY(allOnUiThread);
    for (unsigned i = 0; i < kCount; ++i) {
        QCOMPARE(chart[i], (platform::PostedMessage{platform::MessageTarget::ChartView, 0x604, i, -1}));
        QCOMPARE(data[i], (platform::PostedMessage{platform::MessageTarget::DataPane, 0x5F9, i, 7}));
    }

    // A window that is gone gets nothing; a target without a handler neither.
    sink.Post(platform::MessageTarget::ChartView, 0x605);
    owner.reset();
    sink.Post(platform::MessageTarget::ProjectPane, 0x5FA, 3);
    sink.Post(platform::MessageTarget::DataPane, 0x5F9, 6);
    QTRY_COMPARE(data.size(), std::size_t{kCount + 1});
    QCOMPARE(chart.size(), std::size_t{kCount});
}

void PlatformUiTest::languageLibraries() {
    platform::ui::RecordingPresenter messages;
    platform::SetMessagePresenter(&messages);
    platform::SetMessageLanguageEnglish(true);
    QString why;
    QVERIFY(!platform::ui::InstallLanguageLibrary(QStringLiteral("NoSuchMultiLang"), &why));
    QVERIFY(!why.isEmpty());
    QVERIFY(platform::ui::LoadStartupLanguage(false, QStringLiteral("NoSuchMultiLang"), 0x30));
    QVERIFY(messages.Take().empty());
    QVERIFY(!platform::ui::LoadStartupLanguage(true, QStringLiteral("NoSuchMultiLang"), 0x30));
    const std::vector<platform::ui::ShownMessage> shown = messages.Take();
    QCOMPARE(shown.size(), std::size_t{1});
    QCOMPARE(shown[0].text, std::string("Unable to load resource DLL!"));
    QCOMPARE(shown[0].boxType, 0x30u);
    QCOMPARE(
        platform::ui::LanguageLibraryPath(QStringLiteral("QuillfenMultiLang"), QStringLiteral("/opt/x/lib")),
        QStringLiteral("/opt/x/lib/libQuillfenMultiLang.so"));

#ifdef HAVE_REWINDLE_LANGUAGE_LIBRARY
    const auto start = [] { return QCoreApplication::translate("RewindleDialog", "开始"); };
    QCOMPARE(start(), QStringLiteral("开始"));
    QVERIFY2(platform::ui::InstallLanguageLibrary(QStringLiteral("RewindleMultiLang"), &why),
             qPrintable(why));
    QCOMPARE(start(), QStringLiteral("Start"));
    platform::ui::RemoveLanguageLibrary(QStringLiteral("RewindleMultiLang"));
    QCOMPARE(start(), QStringLiteral("开始"));
#endif
}

void PlatformUiTest::dialogsIgnoreEnterAndEscape() {
    QDialog dialog;
    auto* field = new QLineEdit(&dialog);
    auto* button = new QPushButton(QStringLiteral("Go"), &dialog);
    button->setDefault(true);
    auto* layout = new QVBoxLayout(&dialog);
    layout->addWidget(field);
    layout->addWidget(button);
    int clicks = 0;
    QObject::connect(button, &QPushButton::clicked, [&] { ++clicks; });
    platform::ui::SwallowEnterAndEscape(dialog);
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));

    field->setFocus();
    QTest::keyClick(field, Qt::Key_Return);
    QTest::keyClick(field, Qt::Key_Escape);
    button->setFocus();
    QTest::keyClick(button, Qt::Key_Enter);
    QTest::keyClick(button, Qt::Key_Escape);
    QCOMPARE(clicks, 0);
    QVERIFY(dialog.isVisible());
    QTest::keyClick(button, Qt::Key_Space);
    QCOMPARE(clicks, 1);
    // Closing on purpose still works.
    dialog.close();
    QVERIFY(!dialog.isVisible());
}

void PlatformUiTest::numbersReadInTheCManner() {
    if (std::setlocale(LC_NUMERIC, "de_DE.UTF-8") == nullptr)
        QSKIP("no German locale here");
    QCOMPARE(std::localeconv()->decimal_point[0], ',');
    platform::ui::RestoreNumericLocale();
    QCOMPARE(std::localeconv()->decimal_point[0], '.');
    QCOMPARE(std::strtod("2.5", nullptr), 2.5);
}

void PlatformUiTest::screenshotsArePngFiles() {
    QTemporaryDir folder;
    QVERIFY(folder.isValid());
    QLineEdit widget(QStringLiteral("text"));
    widget.resize(160, 30);
    widget.show();
    QVERIFY(QTest::qWaitForWindowExposed(&widget));
    const QString path = folder.filePath(QStringLiteral("deeper/shot.png"));
    QVERIFY(platform::ui::SaveScreenshot(widget, path));
    const QImage image(path, "PNG");
    QCOMPARE(image.size(), widget.grab().size());
    QVERIFY(!platform::ui::SaveScreenshot(widget, QStringLiteral("/proc/no/such/place/shot.png")));
}

QTEST_MAIN(PlatformUiTest)
#include "PlatformUiTest.moc"
