#include "platform/Event.h"

#include <algorithm>

namespace platform {
namespace {

using Duration = Event::Duration;

// Waits until pred() holds or `timeout` has passed. Long time-outs are waited a day at a time so that
// no deadline overflows the clock. `pred` may consume what it finds; it is called again only after it
// returned false.
template <typename Pred>
bool WaitFor(std::unique_lock<std::mutex>& lock, std::condition_variable& cv, Duration timeout, Pred pred) {
    constexpr Duration kStep = std::chrono::hours(24);
    Duration remaining = timeout;
    for (;;) {
        if (pred())
            return true;
        if (remaining <= Duration::zero())
            return false;
        const Duration step = std::min(remaining, kStep);
        if (cv.wait_until(lock, std::chrono::steady_clock::now() + step, pred))
            return true;
        remaining -= step;
    }
}

}  // namespace

Event::Event(EventReset reset, bool initiallySet)
    : sync_(std::make_shared<detail::EventSync>()), reset_(reset), set_(initiallySet) {}

Event::Event(const EventGroup& group, EventReset reset, bool initiallySet)
    : sync_(group.sync_), reset_(reset), set_(initiallySet) {}

void Event::Set() {
    {
        std::lock_guard lock(sync_->mutex);
        set_ = true;
    }
    sync_->changed.notify_all();
}

void Event::Reset() {
    std::lock_guard lock(sync_->mutex);
    set_ = false;
}

bool Event::IsSet() const {
    std::lock_guard lock(sync_->mutex);
    return set_;
}

bool Event::TakeLocked() {
    if (!set_)
        return false;
    if (reset_ == EventReset::Auto)
        set_ = false;
    return true;
}

bool Event::Wait(Duration timeout) {
    std::unique_lock lock(sync_->mutex);
    return WaitFor(lock, sync_->changed, timeout, [this] { return TakeLocked(); });
}

void Event::Wait() {
    Wait(Duration::max());
}

std::optional<std::size_t> Event::WaitAny(std::initializer_list<Event*> events) {
    return WaitAny(events, Duration::max());
}

std::optional<std::size_t> Event::WaitAny(std::initializer_list<Event*> events, Duration timeout) {
    if (events.size() == 0)
        return std::nullopt;
    detail::EventSync* sync = (*events.begin()) ? (*events.begin())->sync_.get() : nullptr;
    for (const Event* e : events) {
        if (e == nullptr || e->sync_.get() != sync)
            return std::nullopt;
    }

    std::optional<std::size_t> found;
    std::unique_lock lock(sync->mutex);
    WaitFor(lock, sync->changed, timeout, [&] {
        std::size_t index = 0;
        for (Event* e : events) {
            if (e->TakeLocked()) {
                found = index;
                return true;
            }
            ++index;
        }
        return false;
    });
    return found;
}

}  // namespace platform
