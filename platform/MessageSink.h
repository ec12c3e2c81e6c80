#pragma once
// Posted messages from worker threads to the windows of a program. Workers never call into the user
// interface; they post a message id with two integer parameters to a named target, and the program
// delivers it later on its user-interface thread. Data travels in the owners' locked queues, never
// inside a message.

#include <cstdint>
#include <deque>
#include <mutex>
#include <optional>
#include <vector>

namespace platform {

enum class MessageTarget : std::uint8_t { MainFrame, ChartView, DataPane, ProjectPane };

struct PostedMessage {
    MessageTarget target;
    unsigned id;
    std::uintptr_t wParam;
    std::intptr_t lParam;
    friend bool operator==(const PostedMessage&, const PostedMessage&) = default;
};

class MessageSink {
public:
    virtual ~MessageSink() = default;
    // Must be safe to call from any thread and must not block for long.
    virtual void Post(MessageTarget target, unsigned id, std::uintptr_t wParam = 0, std::intptr_t lParam = 0) = 0;
};

// A sink that only drops what is posted (for tools that have no windows).
class NullMessageSink final : public MessageSink {
public:
    void Post(MessageTarget, unsigned, std::uintptr_t, std::intptr_t) override {}
};

// A sink that keeps every message in order, for tests and for command-line drivers that poll.
class QueueMessageSink final : public MessageSink {
public:
    void Post(MessageTarget target, unsigned id, std::uintptr_t wParam, std::intptr_t lParam) override {
        std::lock_guard lock(mutex_);
        queue_.push_back({target, id, wParam, lParam});
    }
    std::vector<PostedMessage> Take() {
        std::lock_guard lock(mutex_);
        std::vector<PostedMessage> out(queue_.begin(), queue_.end());
        queue_.clear();
        return out;
    }
    std::size_t Count(unsigned id) const {
        std::lock_guard lock(mutex_);
        std::size_t n = 0;
        for (const auto& m : queue_) n += m.id == id ? 1 : 0;
        return n;
    }

private:
    mutable std::mutex mutex_;
    std::deque<PostedMessage> queue_;
};

}  // namespace platform
