// The wait that keeps the thread's messages flowing.
#include "link_test_support.h"
#include "watchdog.h"

#include <thread>

using namespace link_test;

namespace {

class PumpingWaitTest : public ::testing::Test {
protected:
    void SetUp() override { event = CreateEventW(nullptr, FALSE, FALSE, nullptr); }
    void TearDown() override { CloseHandle(event); }
    HANDLE event = nullptr;
    MessageProbe probe;
    Watchdog watchdog{"the pumping wait to return"};
};

TEST_F(PumpingWaitTest, ZeroTimeoutOnlyPolls)
{
    probe.Post();
    EXPECT_EQ(WAIT_TIMEOUT, PumpingWaitOne(event, 0));
    EXPECT_EQ(0, probe.dispatched);

    SetEvent(event);
    EXPECT_EQ(WAIT_OBJECT_0, PumpingWaitOne(event, 0));
    EXPECT_EQ(WAIT_TIMEOUT, WaitForSingleObject(event, 0));  // the poll consumed it
    EXPECT_EQ(0, probe.dispatched);

    HANDLE other = CreateEventW(nullptr, TRUE, TRUE, nullptr);
    HANDLE both[] = {event, other};
    EXPECT_EQ(WAIT_OBJECT_0 + 1, PumpingWait(2, both, FALSE, 0));
    EXPECT_EQ(WAIT_TIMEOUT, PumpingWait(2, both, TRUE, 0));
    CloseHandle(other);
}

TEST_F(PumpingWaitTest, FiniteTimeoutDispatchesUntilItRunsOut)
{
    probe.Post();
    probe.SetEventAfter(40, nullptr);  // a timer that fires in the middle of the wait
    DWORD start = GetTickCount();
    EXPECT_EQ(WAIT_TIMEOUT, PumpingWaitOne(event, 200));
    DWORD elapsed = GetTickCount() - start;
    EXPECT_EQ(1, probe.dispatched);
    EXPECT_EQ(1, probe.timers);
    // Dispatching did not cut the wait short (loose: scheduling varies).
    EXPECT_GE(elapsed, 120u);

    // A stop asked after each message ends the wait at the one it answers
    // true to; the next is left for the next pump.
    probe.Post();
    probe.Post();
    auto secondDispatched = [](void* p) { return static_cast<MessageProbe*>(p)->dispatched == 2; };
    EXPECT_EQ(WAIT_OBJECT_0 + 1, PumpingWait(1, &event, FALSE, 200, secondDispatched, &probe));
    EXPECT_EQ(2, probe.dispatched);
    EXPECT_FALSE(DispatchQueued(secondDispatched, &probe));
    EXPECT_EQ(3, probe.dispatched);
}

TEST_F(PumpingWaitTest, UnlimitedWaitEndsWhenAHandlerSetsTheEvent)
{
    // A posted message's handler.
    watchdog.Waiting("a posted message's handler to end an unlimited wait");
    probe.Post(event);
    EXPECT_EQ(WAIT_OBJECT_0, PumpingWaitOne(event, INFINITE));
    EXPECT_EQ(1, probe.dispatched);

    // A timer's handler, after a few idle wake-ups' worth of time.
    watchdog.Waiting("a timer's handler to end an unlimited wait");
    probe.SetEventAfter(50, event);
    EXPECT_EQ(WAIT_OBJECT_0, PumpingWaitOne(event, INFINITE));
    EXPECT_EQ(1, probe.timers);

    // A message sent from another thread is delivered inside the wait too.
    watchdog.Waiting("a message sent from another thread to end an unlimited wait");
    std::thread sender([&] { SendMessageW(probe.window, WM_APP, 0, (LPARAM)event); });
    EXPECT_EQ(WAIT_OBJECT_0, PumpingWaitOne(event, INFINITE));
    sender.join();
    EXPECT_EQ(2, probe.dispatched);
}

TEST_F(PumpingWaitTest, AnInvalidHandleFailsTheWait)
{
    HANDLE none = nullptr;
    EXPECT_EQ(WAIT_FAILED, PumpingWaitOne(none, INFINITE));
    EXPECT_EQ(WAIT_FAILED, PumpingWaitOne(none, 0));
}

}  // namespace
