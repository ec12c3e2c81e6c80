#include "platform/Event.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

namespace {

using namespace std::chrono_literals;
using platform::Event;
using platform::EventGroup;
using platform::EventReset;

TEST(Event, ManualStaysSetAutoIsConsumedByOneWait) {
    struct Case {
        EventReset reset;
        bool setAfterFirstWait;
    };
    for (const Case c : {Case{EventReset::Manual, true}, Case{EventReset::Auto, false}}) {
        Event e(c.reset);
        EXPECT_FALSE(e.Wait(0ms));
        e.Set();
        EXPECT_TRUE(e.IsSet());
        EXPECT_TRUE(e.IsSet()) << "looking must not consume";
        EXPECT_TRUE(e.Wait(0ms));
        EXPECT_EQ(e.IsSet(), c.setAfterFirstWait);
        EXPECT_EQ(e.Wait(0ms), c.setAfterFirstWait);
        e.Set();
        e.Reset();
        EXPECT_FALSE(e.Wait(0ms));
    }
    Event initially(EventReset::Manual, true);
    EXPECT_TRUE(initially.IsSet());
}

TEST(Event, WaitTimesOutThenWakesOnSetFromAnotherThread) {
    Event e(EventReset::Auto);
    const auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(e.Wait(30ms));
    EXPECT_GE(std::chrono::steady_clock::now() - start, 30ms);

    std::thread setter([&] {
        std::this_thread::sleep_for(20ms);
        e.Set();
    });
    EXPECT_TRUE(e.Wait(5s));
    setter.join();
    EXPECT_FALSE(e.IsSet());
}

TEST(Event, WaitAnyPrefersTheFirstOfTheListAndConsumesOnlyIt) {
    EventGroup group;
    Event stop(group, EventReset::Auto);
    Event run(group, EventReset::Manual);
    Event finished(group, EventReset::Auto);

    EXPECT_EQ(Event::WaitAny({&stop, &run, &finished}, 0ms), std::nullopt);
    run.Set();
    finished.Set();
    EXPECT_EQ(Event::WaitAny({&stop, &run, &finished}, 0ms), 1u);
    EXPECT_TRUE(run.IsSet());
    EXPECT_TRUE(finished.IsSet()) << "only the reported event may be consumed";
    stop.Set();
    EXPECT_EQ(Event::WaitAny({&stop, &run, &finished}, 0ms), 0u);
    EXPECT_FALSE(stop.IsSet());
    run.Reset();
    EXPECT_EQ(Event::WaitAny({&stop, &run, &finished}, 0ms), 2u);
    EXPECT_FALSE(finished.IsSet());
}

TEST(Event, WaitAnyWakesWhenAnyMemberIsSetLater) {
    EventGroup group;
    Event a(group, EventReset::Auto);
    Event b(group, EventReset::Auto);
    std::thread setter([&] {
        std::this_thread::sleep_for(20ms);
        b.Set();
    });
    EXPECT_EQ(Event::WaitAny({&a, &b}), 1u);
    setter.join();
}

TEST(Event, WaitAnyRefusesEventsOfDifferentGroups) {
    Event a(EventReset::Manual, true);
    Event b(EventReset::Manual, true);
    EXPECT_EQ(Event::WaitAny({&a, &b}, 10ms), std::nullopt);
    EXPECT_EQ(Event::WaitAny({}, 10ms), std::nullopt);
    EXPECT_EQ(Event::WaitAny({&a}, 10ms), 0u);
}

TEST(Event, ManyWaitersOfOneManualEventAllWake) {
    Event go(EventReset::Manual);
    std::atomic<int> woken{0};
    std::vector<std::thread> waiters;
    for (int i = 0; i < 4; ++i) {
        waiters.emplace_back([&] {
            if (go.Wait(5s))
                ++woken;
        });
    }
    std::this_thread::sleep_for(10ms);
    go.Set();
    for (auto& t : waiters) t.join();
    EXPECT_EQ(woken.load(), 4);
}

}  // namespace
