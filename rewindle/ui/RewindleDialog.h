#pragma once
// The replay tool's dialog: the address and port it listens at, the file to replay, the progress,
// the connection status and the Start/Pause, Slow Down, Speed UP and Stop buttons. Two timers drive
// it: the send timer (the speed level's interval, restarted after every tick) and the 500 ms status
// timer. The server runs for the whole life of the dialog.

#include <QDialog>
#include <QString>
#include <QTimer>
#include <chrono>
#include <functional>
#include <string>

#include "rewindle/ReplayServer.h"
#include "rewindle/ReplaySession.h"
#include "rewindle/RewindleSettings.h"

class QLabel;
class QLineEdit;
class QPushButton;

namespace rewindle::ui {

struct DialogOptions {
    RewindleSettings settings;
    std::string bindAddress = "0.0.0.0";  // every local address
    // Asks for the file to replay; an empty answer leaves the path field as it is. Empty: the file
    // dialog.
    std::function<QString(QWidget* parent)> chooseFile;
    // Close after "File Send complete!" once the client has had every byte (see replayFinished).
    bool exitWhenDone = false;
    std::chrono::milliseconds finishTimeout{5000};
};

class RewindleDialog final : public QDialog {
    Q_OBJECT

  public:
    explicit RewindleDialog(DialogOptions options, QWidget* parent = nullptr);
    ~RewindleDialog() override;

    // The "..." button's work after the file dialog: opens what the path field names.
    bool OpenPathField();
    // Puts `path` in the path field and opens it.
    bool OpenPath(const QString& path);

    ReplaySession& Session() { return session_; }
    ReplayServer& Server() { return server_; }
    std::uint16_t ListeningPort() const { return server_.Port(); }

    // Stops both timers and the server and closes the file; the dialog does nothing more.
    void Shutdown();

  signals:
    // With exitWhenDone, after the replay completed and the client's connection was ended: 0 when the
    // client closed in order (it has every byte), 1 when it did not within the time allowed.
    void replayFinished(int exitCode);

  protected:
    void reject() override;

  private:
    void BuildWidgets();
    void RetranslateStatus(bool connected);
    void UpdateControls();
    void OnBrowse();
    void OnStartPause();
    void OnSlowDown();
    void OnSpeedUp();
    void OnStop();
    void OnSendTimer();
    void OnStatusTimer();

    DialogOptions options_;
    ReplayServer server_;
    ReplaySession session_;
    QTimer sendTimer_;
    QTimer statusTimer_;
    bool shutDown_ = false;

    QLineEdit* ipField_ = nullptr;
    QLineEdit* portField_ = nullptr;
    QLineEdit* pathField_ = nullptr;
    QPushButton* browseButton_ = nullptr;
    QLabel* progressText_ = nullptr;
    QLabel* statusText_ = nullptr;
    QPushButton* startButton_ = nullptr;
    QPushButton* slowDownButton_ = nullptr;
    QPushButton* speedUpButton_ = nullptr;
    QPushButton* stopButton_ = nullptr;
};

}  // namespace rewindle::ui
