#pragma once
// A value with its own lock: every access goes through With(), which holds the lock only for the
// duration of the call. Callers copy or move out what they need and do slow work after it returns.

#include <mutex>
#include <utility>

namespace marivane {

template <typename T>
class Guarded {
public:
    Guarded() = default;
    explicit Guarded(T value) : value_(std::move(value)) {}
    Guarded(const Guarded&) = delete;
    Guarded& operator=(const Guarded&) = delete;

    template <typename F>
    decltype(auto) With(F&& f) {
        std::lock_guard lock(mutex_);
        return std::forward<F>(f)(value_);
    }
    template <typename F>
    decltype(auto) With(F&& f) const {
        std::lock_guard lock(mutex_);
        return std::forward<F>(f)(value_);
    }
    T Copy() const {
        std::lock_guard lock(mutex_);
        return value_;
    }
    void Set(T value) {
        std::lock_guard lock(mutex_);
        value_ = std::move(value);
    }
    // Moves the whole value out and leaves a default one behind.
    T Take() {
        std::lock_guard lock(mutex_);
        T out = std::move(value_);
        value_ = T{};
        return out;
    }

private:
    mutable std::mutex mutex_;
    T value_{};
};

}  // namespace marivane
