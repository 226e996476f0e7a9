// The event exports of linekit/tpx_event.h, as a C program meets them: they
// are the platform's events, named events are found again by name, and a
// closed or unknown handle is refused rather than used.

#include <gtest/gtest.h>

#include <thread>

#include "linekit/tpx_event.h"
#include "platform/Event.h"

namespace {

TEST(EventExports, NamedEventsAreOneEventAcrossHandlesAndWithThePlatform) {
    const std::size_t handlesBefore = platform::OpenEventHandleCount();
    TpxHandle created = nullptr;
    TpxHandle opened = nullptr;
    ASSERT_EQ(TpxCreateEvent("EventExportsTest", 0, &created), 0u);
    ASSERT_EQ(TpxOpenEvent("EventExportsTest", &opened), 0u);
    EXPECT_EQ(TpxWaitForEvent(opened, 0), TPX_WAIT_TIMEOUT);

    // Set through one handle, seen through the other and by the platform.
    ASSERT_EQ(TpxSetEvent(created), 0u);
    EXPECT_EQ(TpxWaitForEvent(opened, 0), TPX_WAIT_OBJECT_0);
    EXPECT_EQ(TpxWaitForEvent(opened, 0), TPX_WAIT_OBJECT_0) << "manual reset: a wait does not clear it";
    EXPECT_EQ(platform::EventName(static_cast<platform::EventHandle>(opened)), "EventExportsTest");
    ASSERT_EQ(TpxResetEvent(opened), 0u);
    EXPECT_EQ(TpxWaitForEvent(created, 0), TPX_WAIT_TIMEOUT);

    // Creating an existing name opens it; its state is not changed.
    TpxHandle again = nullptr;
    ASSERT_EQ(TpxCreateEvent("EventExportsTest", 1, &again), 0u);
    EXPECT_EQ(TpxWaitForEvent(created, 0), TPX_WAIT_TIMEOUT);

    // A waiter on one thread is woken by a set on another.
    std::thread setter([again] { TpxSetEvent(again); });
    EXPECT_EQ(TpxWaitForEvent(created, TPX_INFINITE), TPX_WAIT_OBJECT_0);
    setter.join();

    for (TpxHandle h : {created, opened, again}) EXPECT_EQ(TpxCloseEvent(h), 0u);
    EXPECT_EQ(platform::OpenEventHandleCount(), handlesBefore);
    TpxHandle gone = nullptr;
    EXPECT_EQ(TpxOpenEvent("EventExportsTest", &gone), TPX_ERROR_FILE_NOT_FOUND) << "the name dies with its last handle";
    EXPECT_EQ(gone, nullptr);
}

TEST(EventExports, BadArgumentsAndStaleHandlesAreRefused) {
    TpxHandle unnamed = nullptr;
    ASSERT_EQ(TpxCreateEvent(nullptr, 1, &unnamed), 0u);
    EXPECT_EQ(TpxWaitForEvent(unnamed, 0), TPX_WAIT_OBJECT_0);
    ASSERT_EQ(TpxCloseEvent(unnamed), 0u);

    // The closed handle, and one that never was.
    int notAnEvent = 0;
    for (TpxHandle stale : {unnamed, static_cast<TpxHandle>(&notAnEvent), TpxHandle{}}) {
        EXPECT_EQ(TpxSetEvent(stale), TPX_ERROR_INVALID_HANDLE);
        EXPECT_EQ(TpxResetEvent(stale), TPX_ERROR_INVALID_HANDLE);
        EXPECT_EQ(TpxWaitForEvent(stale, 0), TPX_ERROR_INVALID_HANDLE);
        EXPECT_EQ(TpxCloseEvent(stale), TPX_ERROR_INVALID_HANDLE);
    }

    TpxHandle h = nullptr;
    EXPECT_EQ(TpxCreateEvent("x", 0, nullptr), TPX_ERROR_INVALID_PARAMETER);
    EXPECT_EQ(TpxOpenEvent(nullptr, &h), TPX_ERROR_INVALID_PARAMETER);
    EXPECT_EQ(TpxOpenEvent("", &h), TPX_ERROR_INVALID_PARAMETER);
    EXPECT_EQ(TpxOpenEvent("x", nullptr), TPX_ERROR_INVALID_PARAMETER);
    EXPECT_EQ(TpxOpenEvent("NoSuchEventName", &h), TPX_ERROR_FILE_NOT_FOUND);
}

}  // namespace
