#pragma once
// Events in the manner of the suite's worker threads: a flag that one thread sets and another waits
// for, either kept set until reset (manual reset) or cleared by the one wait that sees it (auto
// reset). A thread that has to react to several of its events (run, stop, finished) creates them in
// one EventGroup: the events of a group share one lock and one condition variable, so WaitAny can
// sleep until any of them is set.

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <initializer_list>
#include <memory>
#include <mutex>
#include <optional>

namespace platform {

namespace detail {
struct EventSync {
    std::mutex mutex;
    std::condition_variable changed;
};
}  // namespace detail

// The shared lock of a set of events. Cheap to copy; every copy names the same group.
class EventGroup {
public:
    EventGroup() : sync_(std::make_shared<detail::EventSync>()) {}

private:
    friend class Event;
    std::shared_ptr<detail::EventSync> sync_;
};

enum class EventReset { Manual, Auto };

class Event {
public:
    using Duration = std::chrono::steady_clock::duration;

    // An event with a group of its own.
    explicit Event(EventReset reset, bool initiallySet = false);
    // An event that shares the lock of `group`, so that WaitAny can wait on it with the others.
    Event(const EventGroup& group, EventReset reset, bool initiallySet = false);

    Event(const Event&) = delete;
    Event& operator=(const Event&) = delete;

    void Set();
    void Reset();
    // Whether the event is set, without consuming it (an auto-reset event stays set).
    bool IsSet() const;

    // Waits until the event is set or `timeout` has passed; true when it was set. An auto-reset event
    // is cleared by the wait that returns true.
    bool Wait(Duration timeout);
    void Wait();

    EventReset ResetMode() const { return reset_; }

    // Waits until one of `events` is set and returns its position in the list; when several are set,
    // the first of the list wins and only that one is consumed (if it resets automatically). Nothing
    // when `timeout` passes first. Every event must belong to the same group; a list that mixes
    // groups, or an empty list, returns nothing at once.
    static std::optional<std::size_t> WaitAny(std::initializer_list<Event*> events, Duration timeout);
    static std::optional<std::size_t> WaitAny(std::initializer_list<Event*> events);

private:
    bool TakeLocked();  // caller holds the group lock

    std::shared_ptr<detail::EventSync> sync_;
    EventReset reset_;
    bool set_;
};

}  // namespace platform
