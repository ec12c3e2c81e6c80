#include "rewindle/ui/RewindleDialog.h"

#include <QCoreApplication>
#include <QFileDialog>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>
#include <algorithm>
#include <cstdio>
#include <utility>

#include "platform/ui/DialogKeys.h"
#include "rewindle/VersionCaption.h"

namespace rewindle::ui {
namespace {

// The dialog's texts are Chinese; the English library translates them in the context "RewindleDialog".
QString Tr(const char* chinese) {
    return QCoreApplication::translate("RewindleDialog", chinese);
}

constexpr std::chrono::milliseconds kStatusInterval{500};

ReplayServerOptions ServerOptionsFrom(const DialogOptions& options) {
    ReplayServerOptions out;
    out.port = options.settings.port;
    out.bindAddress = options.bindAddress;
    return out;
}

QPushButton* MakeButton(const QString& text, const char* name, QWidget* parent) {
    auto* button = new QPushButton(text, parent);
    button->setObjectName(QString::fromLatin1(name));
    return button;
}

QLabel* MakeLabel(const QString& text, const char* name, QWidget* parent) {
    auto* label = new QLabel(text, parent);
    label->setObjectName(QString::fromLatin1(name));
    return label;
}

}  // namespace

RewindleDialog::RewindleDialog(DialogOptions options, QWidget* parent)
    : QDialog(parent), options_(std::move(options)), server_(ServerOptionsFrom(options_)), session_(server_) {
    setWindowTitle(QString::fromStdString(VersionCaption(REWINDLE_VERSION_MAJOR, REWINDLE_VERSION_MINOR,
                                                         REWINDLE_VERSION_PATCH, REWINDLE_VERSION_TWEAK)));
    BuildWidgets();
    platform::ui::SwallowEnterAndEscape(*this);

    server_.Start();
    const std::uint16_t port = server_.Listening() ? server_.Port() : options_.settings.port;
    ipField_->setText(QString::fromStdString(options_.settings.ip));
    portField_->setText(QString::number(port));
    pathField_->setFocus();
    progressText_->setText(QString::fromStdString(session_.ProgressText()));
    RetranslateStatus(false);
    UpdateControls();

    sendTimer_.setSingleShot(true);
    connect(&sendTimer_, &QTimer::timeout, this, &RewindleDialog::OnSendTimer);
    connect(&statusTimer_, &QTimer::timeout, this, &RewindleDialog::OnStatusTimer);
    statusTimer_.start(kStatusInterval);
    sendTimer_.start(session_.Interval());
}

RewindleDialog::~RewindleDialog() {
    Shutdown();
}

void RewindleDialog::BuildWidgets() {
    ipField_ = new QLineEdit(this);
    ipField_->setObjectName(QStringLiteral("ipField"));
    ipField_->setEnabled(false);
    portField_ = new QLineEdit(this);
    portField_->setObjectName(QStringLiteral("portField"));
    portField_->setEnabled(false);
    pathField_ = new QLineEdit(this);
    pathField_->setObjectName(QStringLiteral("pathField"));
    pathField_->setMinimumWidth(300);
    browseButton_ = MakeButton(QStringLiteral("..."), "browseButton", this);
    browseButton_->setMaximumWidth(40);
    progressText_ = MakeLabel(QString(), "progressText", this);
    progressText_->setMinimumWidth(
        progressText_->fontMetrics().horizontalAdvance(QStringLiteral("100.00 %")) + 8);
    statusText_ = MakeLabel(QString(), "statusText", this);
    // Wide enough for either status, so that the dialog keeps its size when the status changes.
    statusText_->setMinimumWidth(
        std::max(statusText_->fontMetrics().horizontalAdvance(Tr("Marivane已经连接")),
                 statusText_->fontMetrics().horizontalAdvance(Tr("等待Marivane连接......"))));
    startButton_ = MakeButton(Tr("开始"), "startButton", this);
    slowDownButton_ = MakeButton(Tr("减速"), "slowDownButton", this);
    speedUpButton_ = MakeButton(Tr("加速"), "speedUpButton", this);
    stopButton_ = MakeButton(Tr("停止"), "stopButton", this);
    // The start button's width fits both of its captions.
    const QFontMetrics metrics = startButton_->fontMetrics();
    startButton_->setMinimumWidth(
        std::max(metrics.horizontalAdvance(Tr("开始")), metrics.horizontalAdvance(Tr("暂停"))) + 24);

    auto* grid = new QGridLayout;
    grid->addWidget(MakeLabel(Tr("本地IP"), "ipLabel", this), 0, 0);
    grid->addWidget(ipField_, 0, 1);
    auto* portRow = new QHBoxLayout;
    portRow->addWidget(MakeLabel(Tr("本地端口号"), "portLabel", this));
    portRow->addWidget(portField_);
    grid->addLayout(portRow, 0, 2, 1, 2);
    grid->addWidget(MakeLabel(Tr("发送文件"), "fileLabel", this), 1, 0);
    grid->addWidget(pathField_, 1, 1, 1, 2);
    grid->addWidget(browseButton_, 1, 3);
    grid->addWidget(MakeLabel(Tr("文件进度："), "percentLabel", this), 2, 0);
    grid->addWidget(progressText_, 2, 1);
    grid->addWidget(statusText_, 2, 2, 1, 2);
    grid->setColumnStretch(1, 1);
    grid->setColumnStretch(2, 1);

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(startButton_);
    buttons->addWidget(slowDownButton_);
    buttons->addWidget(speedUpButton_);
    buttons->addWidget(stopButton_);

    auto* top = new QVBoxLayout(this);
    top->addLayout(grid);
    top->addSpacing(6);
    top->addLayout(buttons);
    top->setSizeConstraint(QLayout::SetFixedSize);

    connect(browseButton_, &QPushButton::clicked, this, &RewindleDialog::OnBrowse);
    connect(startButton_, &QPushButton::clicked, this, &RewindleDialog::OnStartPause);
    connect(slowDownButton_, &QPushButton::clicked, this, &RewindleDialog::OnSlowDown);
    connect(speedUpButton_, &QPushButton::clicked, this, &RewindleDialog::OnSpeedUp);
    connect(stopButton_, &QPushButton::clicked, this, &RewindleDialog::OnStop);
}

void RewindleDialog::RetranslateStatus(bool connected) {
    statusText_->setText(connected ? Tr("Marivane已经连接") : Tr("等待Marivane连接......"));
}

void RewindleDialog::UpdateControls() {
    const ReplayControls c = session_.Controls();
    startButton_->setText(c.startShowsPause ? Tr("暂停") : Tr("开始"));
    slowDownButton_->setEnabled(c.slowDownEnabled);
    speedUpButton_->setEnabled(c.speedUpEnabled);
    stopButton_->setEnabled(c.stopEnabled);
}

bool RewindleDialog::OpenPathField() {
    const bool opened = session_.OpenFile(pathField_->text().toStdString());
    progressText_->setText(QString::fromStdString(session_.ProgressText()));
    return opened;
}

bool RewindleDialog::OpenPath(const QString& path) {
    pathField_->setText(path);
    return OpenPathField();
}

void RewindleDialog::OnBrowse() {
    const QString chosen = options_.chooseFile
                               ? options_.chooseFile(this)
                               : QFileDialog::getOpenFileName(this, Tr("打开多波束文件"), QString(),
                                                              QStringLiteral("MultipleBeam File(*.mbm)"));
    if (!chosen.isEmpty())
        pathField_->setText(chosen);
    OpenPathField();
}

void RewindleDialog::OnStartPause() {
    session_.StartOrPause();
    UpdateControls();
}

void RewindleDialog::OnSlowDown() {
    session_.SlowDown();
    UpdateControls();
}

void RewindleDialog::OnSpeedUp() {
    session_.SpeedUp();
    UpdateControls();
}

void RewindleDialog::OnStop() {
    session_.Stop();
    progressText_->setText(QString::fromStdString(session_.ProgressText()));
    UpdateControls();
}

void RewindleDialog::OnSendTimer() {
    if (shutDown_)
        return;
    const TickOutcome outcome = session_.SendTick();
    if (shutDown_)
        return;  // closed while a message was shown
    progressText_->setText(QString::fromStdString(session_.ProgressText()));
    UpdateControls();
    if (outcome == TickOutcome::Completed && options_.exitWhenDone) {
        sendTimer_.stop();
        statusTimer_.stop();
        const bool confirmed = session_.FinishClient(options_.finishTimeout);
        if (!confirmed) {
            std::fprintf(stderr,
                         "rewindle: the client did not close its connection within %lld ms; it may not "
                         "have had every byte\n",
                         static_cast<long long>(options_.finishTimeout.count()));
        }
        emit replayFinished(confirmed ? 0 : 1);
        return;
    }
    sendTimer_.start(session_.Interval());
}

void RewindleDialog::OnStatusTimer() {
    if (shutDown_)
        return;
    server_.ShowDeferredFault();
    RetranslateStatus(session_.StatusTick());
}

void RewindleDialog::Shutdown() {
    if (shutDown_)
        return;
    shutDown_ = true;
    sendTimer_.stop();
    statusTimer_.stop();
    server_.Stop();
    session_.Close();
}

void RewindleDialog::reject() {
    Shutdown();
    QDialog::reject();
}

}  // namespace rewindle::ui
