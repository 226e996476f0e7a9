#include "platform/Beep.h"
#include "platform/Event.h"
#include "platform/Thread.h"

#include <gtest/gtest.h>

#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <array>
#include <sched.h>
#include <thread>

namespace {

using namespace platform;

TEST(Event, NamedEventIsSharedUntilItsLastHandleCloses) {
    bool existed = true;
    EventHandle a = CreateEvent("EventTestName", false, &existed);
    ASSERT_NE(a, nullptr);
    EXPECT_FALSE(existed);
    EventHandle b = CreateEvent("EventTestName", false, &existed);
    EXPECT_TRUE(existed);
    EventHandle c = OpenEvent("EventTestName");
    ASSERT_NE(c, nullptr);
    EXPECT_NE(a, b);  // every create or open is a handle of its own

    EXPECT_TRUE(SetEvent(c));
    EXPECT_EQ(WaitForEvent(a, 0), kWaitObject0);
    EXPECT_EQ(WaitForEvent(a, 0), kWaitObject0) << "manual reset: a wait does not consume it";
    EXPECT_TRUE(ResetEvent(b));
    EXPECT_EQ(WaitForEvent(c, 0), kWaitTimeout);

    EXPECT_TRUE(CloseEvent(a));
    EXPECT_TRUE(CloseEvent(b));
    EventHandle d = OpenEvent("EventTestName");  // still alive through c
    EXPECT_NE(d, nullptr);
    CloseEvent(d);
    EXPECT_TRUE(CloseEvent(c));
    EXPECT_EQ(OpenEvent("NoSuchEventAnywhere"), nullptr);
}

TEST(Event, StaleAndUnknownHandlesAreRefusedNotUsed) {
    EventHandle e = CreateEvent({}, true);
    ASSERT_TRUE(CloseEvent(e));
    EXPECT_FALSE(SetEvent(e));
    EXPECT_FALSE(ResetEvent(e));
    EXPECT_FALSE(CloseEvent(e));
    EXPECT_EQ(WaitForEvent(e, 0), kWaitFailed);
    EXPECT_EQ(WaitForAnyEvent({}, 0), kWaitFailed);
    EXPECT_EQ(WaitForEvent(reinterpret_cast<EventHandle>(0x1234), 0), kWaitFailed);
}

// The owner closes its handle exactly once: a moved-from owner leaves it
// open, a reset or destroyed one closes it, and a released one leaves it to
// the caller.
TEST(Event, UniqueEventClosesItsHandleOnceWhateverHappensToTheOwner) {
    UniqueEvent first(CreateEvent({}, false));
    const EventHandle handle = first.Get();
    UniqueEvent second(std::move(first));
    EXPECT_FALSE(first);
    EXPECT_TRUE(SetEvent(handle));
    {
        UniqueEvent third;
        third = std::move(second);
        EXPECT_TRUE(SetEvent(handle));
    }
    EXPECT_FALSE(SetEvent(handle));

    UniqueEvent kept(CreateEvent({}, false));
    const EventHandle released = kept.Release();
    kept.Reset(CreateEvent({}, false));
    const EventHandle replaced = kept.Get();
    kept.Reset();
    EXPECT_FALSE(SetEvent(replaced));
    EXPECT_TRUE(SetEvent(released));
    EXPECT_TRUE(CloseEvent(released));
}

TEST(Event, WaitTimesOutAndWakesWhenAnotherThreadSets) {
    EventHandle e = CreateEvent({}, false);
    EXPECT_EQ(WaitForEvent(e, 20), kWaitTimeout);
    std::thread setter([e] { SetEvent(e); });
    EXPECT_EQ(WaitForEvent(e, kInfinite), kWaitObject0);
    setter.join();
    CloseEvent(e);
}

TEST(Event, WaitForAnyGivesTheLowestSetEvent) {
    std::array<EventHandle, 3> events{CreateEvent({}, false), CreateEvent({}, false),
                                      CreateEvent({}, false)};
    EXPECT_EQ(WaitForAnyEvent(events, 10), kWaitTimeout);
    std::thread setter([&] { SetEvent(events[2]); });
    EXPECT_EQ(WaitForAnyEvent(events, kInfinite), kWaitObject0 + 2);
    setter.join();
    SetEvent(events[1]);
    EXPECT_EQ(WaitForAnyEvent(events, 0), kWaitObject0 + 1);
    for (EventHandle e : events) CloseEvent(e);
}

TEST(Event, ManyThreadsHandingOffThroughTwoEventsLoseNothing) {
    // The ping-pong of the response handshake: one side sets "ready" and waits
    // for "ack"; the other waits, resets "ready" and sets "ack".
    EventHandle ready = CreateEvent({}, false);
    EventHandle ack = CreateEvent({}, false);
    int value = 0;
    constexpr int kRounds = 2000;
    std::thread producer([&] {
        for (int i = 1; i <= kRounds; ++i) {
            value = i;
            SetEvent(ready);
            WaitForEvent(ack, kInfinite);
            ResetEvent(ack);
        }
    });
    int sum = 0;
    for (int i = 1; i <= kRounds; ++i) {
        ASSERT_EQ(WaitForEvent(ready, kInfinite), kWaitObject0);
        sum += value;
        ResetEvent(ready);
        SetEvent(ack);
    }
    producer.join();
    EXPECT_EQ(sum, kRounds * (kRounds + 1) / 2);
    CloseEvent(ready);
    CloseEvent(ack);
}

TEST(Thread, IdlePriorityAppliesToTheCallingThreadOnly) {
    int policy = -1;
    std::thread idle([&] {
        EXPECT_EQ(SetCurrentThreadIdlePriority(), 0);
        policy = ::sched_getscheduler(0);
    });
    idle.join();
    EXPECT_EQ(policy, SCHED_IDLE);
    EXPECT_NE(::sched_getscheduler(0), SCHED_IDLE);

    const int callerNice = ::getpriority(PRIO_PROCESS, static_cast<id_t>(::syscall(SYS_gettid)));
    int nice = 0;
    std::thread low([&] {
        EXPECT_EQ(SetCurrentThreadLowPriority(), 0);
        errno = 0;
        nice = ::getpriority(PRIO_PROCESS, static_cast<id_t>(::syscall(SYS_gettid)));
    });
    low.join();
    EXPECT_EQ(nice, 19);
    EXPECT_EQ(::getpriority(PRIO_PROCESS, static_cast<id_t>(::syscall(SYS_gettid))), callerNice);
}

TEST(Beep, HookReceivesTheToneAndSilenceIsTheDefault) {
    Beep(800, 100);  // no handler: nothing happens
    std::uint32_t hz = 0, ms = 0;
    BeepHandler previous = SetBeepHandler([&](std::uint32_t f, std::uint32_t d) { hz = f; ms = d; });
    Beep(800, 100);
    SetBeepHandler(std::move(previous));
    EXPECT_EQ(hz, 800u);
    EXPECT_EQ(ms, 100u);
}

}  // namespace
