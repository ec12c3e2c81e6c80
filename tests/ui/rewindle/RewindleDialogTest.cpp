// The replay tool's dialog on the offscreen platform: its captions and enabling rules, its messages,
// the keys it swallows, a replay into a local client that leaves and comes back, and screenshots in
// both languages.

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QtTest>
#include <memory>

#include "Loopback.h"
#include "TestSupport.h"
#include "platform/Message.h"
#include "platform/ui/LanguageLibrary.h"
#include "platform/ui/RecordingPresenter.h"
#include "platform/ui/Screenshot.h"
#include "rewindle/ui/RewindleDialog.h"

using rewindle::ReplayState;
using rewindle::ui::DialogOptions;
using rewindle::ui::RewindleDialog;
using Texts = std::vector<std::string>;

class RewindleDialogTest : public QObject {
    Q_OBJECT

  private slots:
    void initTestCase();
    void cleanupTestCase();
    void init();
    void cleanup();

    void opensStoppedWithTheVersionCaption();
    void buttonsFollowStateAndLevel();
    void startIsRefusedUntilAClientAndAFileAreThere();
    void theFileButtonChecksThePathField();
    void enterAndEscapeAreSwallowed();
    void replayReachesAClientThatLeavesAndComesBack();
    void looksRightInBothLanguages();

  private:
    std::unique_ptr<RewindleDialog> MakeDialog();
    template <typename T>
    T* Child(const char* name) {
        T* child = dialog_->findChild<T*>(QString::fromLatin1(name));
        if (child == nullptr)
            qFatal("no child %s", name);
        return child;
    }
    platform::Socket ConnectClient();
    QString OpenTestFile(std::size_t size);
    void CheckNothingClipped(const QString& language);

    platform::ui::RecordingPresenter messages_;
    std::unique_ptr<rewindle_test::TempFolder> folder_;
    QString nextChoice_;
    std::unique_ptr<RewindleDialog> dialog_;
    std::vector<std::uint8_t> file_;
};

void RewindleDialogTest::initTestCase() {
    platform::SetMessagePresenter(&messages_);
    platform::SetMessageCaption("Rewindle");
}

void RewindleDialogTest::cleanupTestCase() {
    platform::SetMessagePresenter(nullptr);
}

void RewindleDialogTest::init() {
    platform::SetMessageLanguageEnglish(false);
    folder_ = std::make_unique<rewindle_test::TempFolder>();
    dialog_ = MakeDialog();
    dialog_->show();
    QVERIFY(QTest::qWaitForWindowExposed(dialog_.get()));
    messages_.Take();
}

void RewindleDialogTest::cleanup() {
    dialog_.reset();
    folder_.reset();
}

std::unique_ptr<RewindleDialog> RewindleDialogTest::MakeDialog() {
    DialogOptions options;
    options.settings = {"127.0.0.1", 0};  // any free port
    options.bindAddress = loopback::kAddress;
    options.chooseFile = [this](QWidget*) { return nextChoice_; };
    return std::make_unique<RewindleDialog>(options);
}

platform::Socket RewindleDialogTest::ConnectClient() {
    const std::uint64_t before = dialog_->Server().ClientsAccepted();
    platform::Socket client = loopback::Connect(dialog_->ListeningPort());
    [&] { QTRY_VERIFY(dialog_->Server().ClientsAccepted() > before); }();
    return client;
}

QString RewindleDialogTest::OpenTestFile(std::size_t size) {
    file_ = rewindle_test::PatternBytes(size, 5);
    const auto path = rewindle_test::WriteFile(folder_->Path() / "survey.mbm", file_);
    const QString text = QString::fromStdString(path.string());
    if (!dialog_->OpenPath(text))
        qWarning("the test file did not open");
    return text;
}

void RewindleDialogTest::opensStoppedWithTheVersionCaption() {
    QCOMPARE(dialog_->windowTitle(), QStringLiteral("导航数据回放 V0.1.0.0"));
    QCOMPARE(Child<QLineEdit>("ipField")->text(), QStringLiteral("127.0.0.1"));
    QVERIFY(!Child<QLineEdit>("ipField")->isEnabled());
    QCOMPARE(Child<QLineEdit>("portField")->text(), QString::number(dialog_->ListeningPort()));
    QVERIFY(!Child<QLineEdit>("portField")->isEnabled());
    QVERIFY(Child<QLineEdit>("pathField")->hasFocus());
    QCOMPARE(Child<QLabel>("progressText")->text(), QStringLiteral("0.00 %"));
    QCOMPARE(Child<QLabel>("statusText")->text(), QStringLiteral("等待Marivane连接......"));
    QCOMPARE(dialog_->Session().State(), ReplayState::Stopped);
    QCOMPARE(dialog_->Session().Level(), 3);
}

void RewindleDialogTest::buttonsFollowStateAndLevel() {
    auto* start = Child<QPushButton>("startButton");
    auto* slow = Child<QPushButton>("slowDownButton");
    auto* fast = Child<QPushButton>("speedUpButton");
    auto* stop = Child<QPushButton>("stopButton");
    const auto expect = [&](const char* startText, bool slowOn, bool fastOn, bool stopOn) {
        QCOMPARE(start->text(), QString::fromUtf8(startText));
        QCOMPARE(slow->isEnabled(), slowOn);
        QCOMPARE(fast->isEnabled(), fastOn);
        QCOMPARE(stop->isEnabled(), stopOn);
    };
    expect("开始", false, false, false);

    OpenTestFile(5'000'000);  // long enough to outlast the test
    platform::Socket client = ConnectClient();
    QTest::mouseClick(start, Qt::LeftButton);
    QCOMPARE(dialog_->Session().State(), ReplayState::Sending);
    expect("暂停", true, true, true);
    QTRY_COMPARE(Child<QLabel>("statusText")->text(), QStringLiteral("Marivane已经连接"));

    for (int i = 0; i < 3; ++i) QTest::mouseClick(fast, Qt::LeftButton);
    QCOMPARE(dialog_->Session().Level(), 0);
    expect("暂停", true, false, true);
    for (int i = 0; i < 8; ++i) QTest::mouseClick(slow, Qt::LeftButton);
    QCOMPARE(dialog_->Session().Level(), 8);
    expect("暂停", false, true, true);

    QTest::mouseClick(start, Qt::LeftButton);
    QCOMPARE(dialog_->Session().State(), ReplayState::Paused);
    expect("开始", false, true, true);
    QTest::mouseClick(stop, Qt::LeftButton);
    QCOMPARE(dialog_->Session().State(), ReplayState::Stopped);
    QCOMPARE(Child<QLabel>("progressText")->text(), QStringLiteral("0.00 %"));
    expect("开始", false, false, false);
    QVERIFY(messages_.Take().empty());
}

void RewindleDialogTest::startIsRefusedUntilAClientAndAFileAreThere() {
    auto* start = Child<QPushButton>("startButton");
    QTest::mouseClick(start, Qt::LeftButton);
    platform::Socket client = ConnectClient();
    QTest::mouseClick(start, Qt::LeftButton);
    QCOMPARE(dialog_->Session().State(), ReplayState::Stopped);
    const std::vector<platform::ui::ShownMessage> shown = messages_.Take();
    QCOMPARE(shown.size(), std::size_t{2});
    QCOMPARE(shown[0].text, std::string("未与Marivane软件建立连接!"));
    QCOMPARE(shown[1].text, std::string("请先打开文件"));
    for (const auto& m : shown) {
        QCOMPARE(m.caption, std::string("Rewindle"));
        QCOMPARE(m.boxType, 0x30u);  // a warning with an OK button
    }
}

void RewindleDialogTest::theFileButtonChecksThePathField() {
    auto* browse = Child<QPushButton>("browseButton");
    auto* path = Child<QLineEdit>("pathField");
    nextChoice_.clear();  // the file dialog cancelled, the field empty
    QTest::mouseClick(browse, Qt::LeftButton);
    nextChoice_ = QString::fromStdString((folder_->Path() / "absent.mbm").string());
    QTest::mouseClick(browse, Qt::LeftButton);
    QCOMPARE(path->text(), nextChoice_);
    QCOMPARE(messages_.TakeTexts(), (Texts{"文件路径为空", "文件不存在"}));

    file_ = rewindle_test::PatternBytes(1000);
    nextChoice_ = QString::fromStdString(rewindle_test::WriteFile(folder_->Path() / "a.mbm", file_).string());
    QTest::mouseClick(browse, Qt::LeftButton);
    QVERIFY(dialog_->Session().HasFile());
    QVERIFY(messages_.Take().empty());
    // Cancelling the file dialog uses what the field holds.
    nextChoice_.clear();
    path->setText(QStringLiteral("   "));
    QTest::mouseClick(browse, Qt::LeftButton);
    QCOMPARE(messages_.TakeTexts(), Texts{"文件不存在"});
}

void RewindleDialogTest::enterAndEscapeAreSwallowed() {
    auto* start = Child<QPushButton>("startButton");
    start->setFocus();
    QTest::keyClick(start, Qt::Key_Return);
    QTest::keyClick(start, Qt::Key_Enter);
    QTest::keyClick(Child<QLineEdit>("pathField"), Qt::Key_Return);
    QTest::keyClick(dialog_.get(), Qt::Key_Escape);
    QTest::keyClick(Child<QLineEdit>("pathField"), Qt::Key_Escape);
    QVERIFY(dialog_->isVisible());
    QVERIFY2(messages_.Take().empty(), "a key pressed a button");
    // Space still presses the focused button.
    start->setFocus();
    QTest::keyClick(start, Qt::Key_Space);
    QCOMPARE(messages_.TakeTexts(), Texts{"未与Marivane软件建立连接!"});
}

void RewindleDialogTest::replayReachesAClientThatLeavesAndComesBack() {
    OpenTestFile(400'000);
    dialog_->Session().SetLevel(5);  // 16384 bytes every 75 ms
    auto* start = Child<QPushButton>("startButton");
    const auto readInto = [](platform::Socket& s, std::vector<std::uint8_t>& into) {
        std::uint8_t buffer[8192];
        for (;;) {
            const platform::IoResult r = s.Receive(buffer, sizeof buffer);
            if (r.status != platform::IoStatus::Ok)
                return r.status;
            into.insert(into.end(), buffer, buffer + r.bytes);
        }
    };

    platform::Socket first = ConnectClient();
    QTest::mouseClick(start, Qt::LeftButton);
    std::vector<std::uint8_t> firstBytes;
    QTRY_VERIFY_WITH_TIMEOUT((readInto(first, firstBytes), firstBytes.size() >= 100'000), 10000);
    QVERIFY(Child<QLabel>("progressText")->text() != QStringLiteral("0.00 %"));
    // Paused, the client reads what is on its way and leaves; the dialog notices.
    QTest::mouseClick(start, Qt::LeftButton);
    QTRY_COMPARE((readInto(first, firstBytes), firstBytes.size()), dialog_->Session().HandedBytes());
    first.Close();
    QTRY_COMPARE(Child<QLabel>("statusText")->text(), QStringLiteral("等待Marivane连接......"));

    platform::Socket second = ConnectClient();
    QTRY_COMPARE(Child<QLabel>("statusText")->text(), QStringLiteral("Marivane已经连接"));
    QTest::mouseClick(start, Qt::LeftButton);
    std::vector<std::uint8_t> secondBytes;
    QTRY_VERIFY_WITH_TIMEOUT(
        (readInto(second, secondBytes), firstBytes.size() + secondBytes.size() >= file_.size() &&
                                            dialog_->Session().State() == ReplayState::Stopped),
        20000);
    QCOMPARE(messages_.TakeTexts(), Texts{"文件发送完成！"});
    QCOMPARE(Child<QLabel>("progressText")->text(), QStringLiteral("0.00 %"));
    std::vector<std::uint8_t> whole = firstBytes;
    whole.insert(whole.end(), secondBytes.begin(), secondBytes.end());
    QCOMPARE(whole.size(), file_.size());
    QVERIFY2(whole == file_, "bytes lost, repeated or out of order");
}

void RewindleDialogTest::CheckNothingClipped(const QString& language) {
    for (QLabel* label : dialog_->findChildren<QLabel*>()) {
        const int needed = label->fontMetrics().horizontalAdvance(label->text());
        QVERIFY2(needed <= label->contentsRect().width(),
                 qPrintable(language + ": label cut: " + label->text()));
    }
    for (QPushButton* button : dialog_->findChildren<QPushButton*>()) {
        const int needed = button->fontMetrics().horizontalAdvance(button->text()) + 8;
        QVERIFY2(needed <= button->contentsRect().width(),
                 qPrintable(language + ": button cut: " + button->text()));
    }
}

void RewindleDialogTest::looksRightInBothLanguages() {
    CheckNothingClipped(QStringLiteral("Chinese"));
    const QString folder = QStringLiteral(SCREENSHOT_DIR);
    QVERIFY(platform::ui::SaveScreenshot(*dialog_, folder + QStringLiteral("/rewindle_zh.png")));

    QString why;
    QVERIFY2(platform::ui::InstallLanguageLibrary(QStringLiteral("RewindleMultiLang"), &why),
             qPrintable(why));
    dialog_ = MakeDialog();
    dialog_->show();
    QVERIFY(QTest::qWaitForWindowExposed(dialog_.get()));
    const std::pair<const char*, const char*> english[] = {
        {"ipLabel", "Local IP:"},
        {"portLabel", "Local Port:"},
        {"fileLabel", "File Name"},
        {"percentLabel", "Percentage:"},
        {"startButton", "Start"},
        {"slowDownButton", "Slow Down"},
        {"speedUpButton", "Speed UP"},
        {"stopButton", "Stop"},
        {"statusText", "Waitting for Marivane to connect"},
    };
    for (const auto& [name, text] : english) {
        QWidget* widget = Child<QWidget>(name);
        const QString shown = widget->property("text").toString();
        QCOMPARE(shown, QString::fromLatin1(text));
    }
    QCOMPARE(dialog_->windowTitle(), QStringLiteral("导航数据回放 V0.1.0.0"));
    CheckNothingClipped(QStringLiteral("English"));
    QVERIFY(platform::ui::SaveScreenshot(*dialog_, folder + QStringLiteral("/rewindle_en.png")));
    qInfo("screenshots in %s", qPrintable(folder));
    platform::ui::RemoveLanguageLibrary(QStringLiteral("RewindleMultiLang"));
}

QTEST_MAIN(RewindleDialogTest)
#include "RewindleDialogTest.moc"
