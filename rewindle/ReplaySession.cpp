#include "rewindle/ReplaySession.h"

#include <algorithm>
#include <filesystem>
#include <system_error>

#include "platform/NumberText.h"
#include "rewindle/ReplayMessages.h"

namespace rewindle {

using platform::ProbeResult;
using platform::SendResult;

ReplayControls ControlsFor(ReplayState state, int level) {
    ReplayControls c;
    c.startShowsPause = state == ReplayState::Sending;
    if (state != ReplayState::Stopped) {
        c.slowDownEnabled = level < kSlowestLevel;
        c.speedUpEnabled = level > kFastestLevel;
        c.stopEnabled = true;
    }
    return c;
}

ReplaySession::ReplaySession(ReplayLink& link) : link_(link), generation_(link.ClientsAccepted()) {}

bool ReplaySession::OpenFile(std::string_view pathText) {
    if (pathText.empty()) {
        Show(kMsgEmptyPath);
        return false;
    }
    // A path with a zero byte in it names no file the system could open.
    const bool plausible = pathText.find('\0') == std::string_view::npos;
    std::error_code error;
    const std::filesystem::path path(pathText);
    if (!plausible || !std::filesystem::exists(path, error)) {
        Show(kMsgMissingFile);
        return false;
    }
    position_ = 0;
    inServer_ = 0;
    if (!file_.Open(path)) {
        Show(kMsgOpenFailed);
        return false;
    }
    return true;
}

void ReplaySession::StartOrPause() {
    if (state_ == ReplayState::Sending) {
        state_ = ReplayState::Paused;
        return;
    }
    if (!link_.ClientConnected()) {
        Show(kMsgNotConnected);
        return;
    }
    if (!file_.IsOpen()) {
        Show(kMsgNoFile);
        return;
    }
    state_ = ReplayState::Sending;
}

void ReplaySession::Stop() {
    // Bytes the server still holds from before go out first when sending starts again; the file
    // itself starts over.
    position_ = 0;
    inServer_ = 0;
    state_ = ReplayState::Stopped;
    autoStart_ = false;
}

void ReplaySession::Close() {
    Stop();
    file_.Close();
}

double ReplaySession::Percent() const {
    const double percent = static_cast<double>(HandedBytes()) * 100.0 / static_cast<double>(file_.Size());
    return std::min(percent, 100.0);  // a file that grew since it was opened
}

std::string ReplaySession::ProgressText() const {
    return platform::FormatDouble("%.2f %%", Percent());
}

bool ReplaySession::StatusTick() {
    if (link_.ClientConnected() && link_.Probe() == ProbeResult::Gone)
        link_.Restart();
    return link_.ClientConnected();
}

bool ReplaySession::FinishClient(std::chrono::milliseconds timeout) {
    return link_.CloseClientGracefully(timeout);
}

void ReplaySession::TakeBackDroppedBytes(std::uint64_t accepted) {
    // The server holds unsent bytes for one client only: when that client was replaced or closed since
    // the last tick, they were dropped with it and have to be read again for the next one. Nothing has
    // gone to the new client yet, since only the send tick sends.
    if (inServer_ > 0 && (accepted != generation_ || link_.PendingBytes() < inServer_)) {
        position_ -= inServer_;
        inServer_ = 0;
    }
}

void ReplaySession::LoseClient() {
    position_ -= inServer_;
    inServer_ = 0;
    link_.Restart();
}

ReplaySession::Step ReplaySession::Exchange() {
    // A client that has closed is found before it is handed bytes it would never read.
    if (link_.Probe() == ProbeResult::Gone) {
        LoseClient();
        return Step::Lost;
    }
    if (inServer_ > 0 || link_.PendingBytes() > 0) {
        switch (link_.Flush()) {
            case SendResult::Sent:
                inServer_ = 0;
                break;
            case SendResult::Busy:
            case SendResult::Pending:
                inServer_ = std::min(inServer_, link_.PendingBytes());
                return Step::Waiting;
            case SendResult::NoClient:
                position_ -= inServer_;
                inServer_ = 0;
                return Step::Lost;
            case SendResult::Failed:
                LoseClient();
                return Step::Lost;
        }
    }

    buffer_.resize(Speed(level_).chunkBytes);
    const ReadResult read = file_.ReadAt(position_, buffer_);
    if (read.status == ReadStatus::EndOfFile)
        return Step::AtEnd;
    if (read.status == ReadStatus::Error)
        return Step::ReadError;

    switch (link_.Send({buffer_.data(), read.bytes})) {
        case SendResult::Sent:
            position_ += read.bytes;
            return Step::Sent;
        case SendResult::Pending:
            position_ += read.bytes;
            inServer_ = std::min(link_.PendingBytes(), read.bytes);
            return Step::Sent;
        case SendResult::Busy:
            return Step::Waiting;  // nothing was taken: the same bytes are read again next time
        case SendResult::NoClient:
            return Step::Lost;
        case SendResult::Failed:
            LoseClient();  // nothing was taken: the chunk goes to the next client
            return Step::Lost;
    }
    return Step::Idle;
}

TickOutcome ReplaySession::SendTick() {
    if (autoStart_ && state_ == ReplayState::Stopped && file_.IsOpen() && link_.ClientConnected()) {
        autoStart_ = false;
        state_ = ReplayState::Sending;
    }
    if (state_ != ReplayState::Sending || !file_.IsOpen() || !link_.ClientConnected())
        return TickOutcome::Idle;

    const std::uint64_t accepted = link_.ClientsAccepted();
    TakeBackDroppedBytes(accepted);
    const std::uint64_t surelyHanded = position_ - inServer_;
    const Step step = Exchange();

    if (link_.ClientsAccepted() != accepted) {
        // A client came in while this tick was sending: whether its bytes reached the client before it
        // or the new one cannot be told. The new one is let go (it connects again), and the next client
        // gets everything from the last byte surely handed over, so that its stream has no gap.
        position_ = surelyHanded;
        inServer_ = 0;
        link_.Restart();
        generation_ = link_.ClientsAccepted();
        return TickOutcome::Lost;
    }
    generation_ = accepted;

    switch (step) {
        case Step::Idle:
            return TickOutcome::Idle;
        case Step::Sent:
            return TickOutcome::Sent;
        case Step::Waiting:
            return TickOutcome::Waiting;
        case Step::Lost:
            return TickOutcome::Lost;
        case Step::AtEnd:
            Stop();
            Show(kMsgSendComplete);
            return TickOutcome::Completed;
        case Step::ReadError:
            Stop();
            Show(kMsgReadFailed);
            return TickOutcome::ReadFailed;
    }
    return TickOutcome::Idle;
}

}  // namespace rewindle
