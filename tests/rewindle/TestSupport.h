#pragma once
// Helpers of the replay tests: a message recorder, replay files made in a temporary folder, and a
// scripted stand-in for the server that decides how many bytes its "socket" takes.

#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "platform/Message.h"
#include "rewindle/ReplayLink.h"

namespace rewindle_test {

// Keeps the texts of the messages shown (English), in order, while it lives.
class MessageLog final : public platform::MessagePresenter {
  public:
    MessageLog() {
        platform::SetMessageLanguageEnglish(true);
        platform::SetMessagePresenter(this);
    }
    ~MessageLog() override { platform::SetMessagePresenter(nullptr); }
    MessageLog(const MessageLog&) = delete;
    MessageLog& operator=(const MessageLog&) = delete;

    platform::MessageAnswer Present(std::string_view text, std::string_view, unsigned, bool) override {
        std::lock_guard lock(mutex_);
        texts_.emplace_back(text);
        return platform::MessageAnswer::Ok;
    }
    std::vector<std::string> Take() {
        std::lock_guard lock(mutex_);
        return std::exchange(texts_, {});
    }

  private:
    std::mutex mutex_;
    std::vector<std::string> texts_;
};

class TempFolder {
  public:
    TempFolder() {
        path_ = std::filesystem::temp_directory_path() /
                ("rewindle_test_" + std::to_string(::getpid()) + "_" +
                 std::to_string(std::chrono::steady_clock::now().time_since_epoch().count()));
        std::filesystem::create_directories(path_);
    }
    ~TempFolder() {
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;
    const std::filesystem::path& Path() const { return path_; }

  private:
    std::filesystem::path path_;
};

// Bytes in which every stretch is unlike every other one: a lost, repeated or reordered piece shows.
inline std::vector<std::uint8_t> PatternBytes(std::size_t size, std::uint32_t seed = 1) {
    std::vector<std::uint8_t> out(size);
    std::uint32_t state = seed * 2654435761u + 1;
    for (std::size_t i = 0; i < size; ++i) {
        state = state * 1664525u + 1013904223u;
        out[i] = static_cast<std::uint8_t>(state >> 24);
    }
    return out;
}

inline std::filesystem::path WriteFile(const std::filesystem::path& path,
                                       const std::vector<std::uint8_t>& bytes) {
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    return path;
}

inline std::vector<std::uint8_t> Slice(const std::vector<std::uint8_t>& bytes, std::size_t from,
                                       std::size_t to = SIZE_MAX) {
    to = std::min(to, bytes.size());
    from = std::min(from, to);
    return {bytes.begin() + static_cast<std::ptrdiff_t>(from),
            bytes.begin() + static_cast<std::ptrdiff_t>(to)};
}

// A stand-in for the server with the same promises: a message is taken whole, in part (the rest waits
// and goes first next time) or not at all. How much its socket takes per call is set by the test;
// every client's stream is kept.
class ScriptedLink final : public rewindle::ReplayLink {
  public:
    static constexpr std::size_t kTakesAll = SIZE_MAX;

    // A new client (replacing any earlier one and the bytes that waited for it).
    void Connect() {
        pending_.clear();
        connected_ = true;
        ++accepted_;
        streams_.emplace_back();
    }
    // The client closes: the next probe finds it gone.
    void ClientCloses() { closing_ = true; }
    // The next send or flush fails with a socket error.
    void FailNextSend() { failNext_ = true; }
    // How many bytes the socket takes per call from now on.
    void SetTakes(std::size_t bytes) { takes_ = bytes; }
    // Runs inside the next Send, after the socket took its bytes (a client coming in meanwhile).
    void DuringNextSend(std::function<void()> action) { duringSend_ = std::move(action); }

    const std::vector<std::vector<std::uint8_t>>& Streams() const { return streams_; }
    int Restarts() const { return restarts_; }
    int Sends() const { return sends_; }

    bool ClientConnected() const override { return connected_; }
    std::uint64_t ClientsAccepted() const override { return accepted_; }
    std::size_t PendingBytes() const override { return pending_.size(); }

    platform::SendResult Send(std::span<const std::uint8_t> message) override {
        ++sends_;
        if (!connected_)
            return platform::SendResult::NoClient;
        const platform::SendResult before = FlushPending();
        if (before != platform::SendResult::Sent)
            return before;
        const std::size_t taken = std::min(takes_, message.size());
        Deliver(message.first(taken));
        platform::SendResult result = platform::SendResult::Sent;
        if (taken == 0) {
            result = platform::SendResult::Busy;
        } else if (taken < message.size()) {
            pending_.assign(message.begin() + static_cast<std::ptrdiff_t>(taken), message.end());
            result = platform::SendResult::Pending;
        }
        if (duringSend_)
            std::exchange(duringSend_, {})();
        return result;
    }
    platform::SendResult Flush() override {
        if (!connected_)
            return platform::SendResult::NoClient;
        return FlushPending();
    }
    platform::ProbeResult Probe() override {
        if (!connected_)
            return platform::ProbeResult::NoClient;
        if (closing_) {
            Drop();
            return platform::ProbeResult::Gone;
        }
        return platform::ProbeResult::Alive;
    }
    void Restart() override {
        ++restarts_;
        Drop();
    }
    bool CloseClientGracefully(std::chrono::milliseconds) override {
        const bool ok = connected_ && FlushPending() == platform::SendResult::Sent;
        Drop();
        return ok;
    }

  private:
    void Drop() {
        pending_.clear();
        connected_ = false;
        closing_ = false;
    }
    void Deliver(std::span<const std::uint8_t> bytes) {
        streams_.back().insert(streams_.back().end(), bytes.begin(), bytes.end());
    }
    platform::SendResult FlushPending() {
        if (failNext_) {
            failNext_ = false;
            Drop();
            return platform::SendResult::Failed;
        }
        if (pending_.empty())
            return platform::SendResult::Sent;
        const std::size_t taken = std::min(takes_, pending_.size());
        Deliver({pending_.data(), taken});
        pending_.erase(pending_.begin(), pending_.begin() + static_cast<std::ptrdiff_t>(taken));
        return pending_.empty() ? platform::SendResult::Sent : platform::SendResult::Busy;
    }

    bool connected_ = false;
    bool closing_ = false;
    bool failNext_ = false;
    std::uint64_t accepted_ = 0;
    std::size_t takes_ = kTakesAll;
    int restarts_ = 0;
    int sends_ = 0;
    std::vector<std::uint8_t> pending_;
    std::vector<std::vector<std::uint8_t>> streams_;
    std::function<void()> duringSend_;
};

}  // namespace rewindle_test
