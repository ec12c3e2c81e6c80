#pragma once
// The replay: the file, the state (stopped, sending, paused), the speed level and the send tick that
// hands the file to the client chunk by chunk. Runs on one thread (the dialog's); only the server's
// accept thread runs beside it, behind ReplayLink.
//
// Bytes are never lost to a slow client: a chunk the socket does not take at all is read again at the
// next tick, and the rest of a chunk it takes in part waits in the server and goes out before anything
// newer. The file position counts every byte read; the progress counts only the bytes handed to the
// socket (the position less what waits in the server). Only a real socket error, or a client that
// closed, restarts the server; the bytes it did not take go to the next client first.

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "rewindle/ReplayFile.h"
#include "rewindle/ReplayLink.h"
#include "rewindle/SpeedTable.h"

namespace rewindle {

enum class ReplayState { Stopped = 0, Sending = 1, Paused = 2 };

// What the dialog's buttons show: the start button reads "Pause" while sending; the speed buttons and
// Stop are off while stopped; otherwise Slow Down is on below level 8, Speed UP above level 0.
struct ReplayControls {
    bool startShowsPause = false;
    bool slowDownEnabled = false;
    bool speedUpEnabled = false;
    bool stopEnabled = false;
    friend bool operator==(const ReplayControls&, const ReplayControls&) = default;
};

ReplayControls ControlsFor(ReplayState state, int level);

enum class TickOutcome {
    Idle,        // not sending, or no client or no file: nothing happened
    Sent,        // bytes went out (all of a chunk, or the rest of one waits in the server)
    Waiting,     // the client takes nothing now; the bytes wait for the next tick (no restart)
    Lost,        // the client closed or failed; the server restarted and its bytes go to the next one
    Completed,   // the end of the file: the replay stopped and "File Send complete!" was shown
    ReadFailed,  // the file could not be read: the replay stopped with a message
};

class ReplaySession {
  public:
    explicit ReplaySession(ReplayLink& link);

    // The "..." button, after the file dialog, with the content of the path field: an empty or missing
    // path shows its message and keeps the file that is open; otherwise any open file is closed and
    // this one opened from its start (its message on failure). True when a file was opened.
    bool OpenFile(std::string_view pathText);
    bool HasFile() const { return file_.IsOpen(); }
    // 1 when the file is empty or its size could not be told.
    std::uint64_t FileSize() const { return file_.Size(); }

    // Start/Pause: pauses while sending; otherwise starts when a client is connected and a file is
    // open, else shows why not.
    void StartOrPause();
    // Starts by itself at the first tick that finds a client and a file (the command line's --start).
    void SetAutoStart(bool on) { autoStart_ = on; }
    bool AutoStart() const { return autoStart_; }
    // Back to the start of the file, stopped.
    void Stop();
    // Stopped, and the file closed (the dialog closing).
    void Close();
    void SlowDown() { level_ = ClampLevel(level_ + 1); }
    void SpeedUp() { level_ = ClampLevel(level_ - 1); }
    void SetLevel(int level) { level_ = ClampLevel(level); }

    ReplayState State() const { return state_; }
    int Level() const { return level_; }
    std::chrono::milliseconds Interval() const { return Speed(level_).interval; }
    ReplayControls Controls() const { return ControlsFor(state_, level_); }

    // One tick of the send timer.
    TickOutcome SendTick();
    // One tick of the status timer: reads and discards what the client sent (its keep-alives); a
    // client that closed or failed restarts the server. True when a client is connected afterwards.
    bool StatusTick();

    // The next byte of the file to read, and the bytes handed to the socket so far.
    std::uint64_t Position() const { return position_; }
    std::uint64_t HandedBytes() const { return position_ - inServer_; }
    // Bytes handed to the socket × 100 / file size, at most 100.
    double Percent() const;
    // The progress as the dialog shows it: "%.2f %%".
    std::string ProgressText() const;

    // Ends the client's connection in order once the replay is over: what waits goes out, the sending
    // side is shut down, and the client's keep-alives are read and dropped until it closes or
    // `timeout` passes. True when every byte went out and the client closed in time.
    bool FinishClient(std::chrono::milliseconds timeout);

  private:
    enum class Step { Idle, Sent, Waiting, Lost, AtEnd, ReadError };

    Step Exchange();
    void TakeBackDroppedBytes(std::uint64_t accepted);
    void LoseClient();

    ReplayLink& link_;
    ReplayFile file_;
    ReplayState state_ = ReplayState::Stopped;
    int level_ = kInitialLevel;
    bool autoStart_ = false;
    std::uint64_t position_ = 0;    // the next byte to read
    std::size_t inServer_ = 0;      // bytes before position_ the server still holds for the client
    std::uint64_t generation_ = 0;  // ClientsAccepted() when inServer_ was last known right
    std::vector<std::uint8_t> buffer_;
};

}  // namespace rewindle
