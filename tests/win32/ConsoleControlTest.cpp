// The console control handler as Windows calls it, on a thread of its own: which signal each
// event becomes, that a closing console's handler holds the process until the program stopped
// (or its grace ran out), and WaitReadable beyond the 64 handles of one system wait.
#include "console/win32/ConsoleControl.h"

#include <gtest/gtest.h>

#include <future>

#include "console/SignalPipe.h"

namespace {

using std::chrono::milliseconds;
using std::chrono::seconds;

std::future<BOOL> Deliver(DWORD event, milliseconds grace) {
    return std::async(std::launch::async, [=] { return HandleConsoleControl(event, grace); });
}

TEST(ConsoleControl, EachEventArrivesAsItsSignalAndOnlyAClosingOneHoldsTheProcess) {
    struct Case {
        DWORD event;
        int signal;
        bool holds;  // until Stop()
    };
    const Case cases[] = {
        {CTRL_C_EVENT, kSignalInterrupt, false},       {CTRL_BREAK_EVENT, kSignalInterrupt, false},
        {CTRL_CLOSE_EVENT, kSignalHangUp, true},       {CTRL_LOGOFF_EVENT, kSignalTerminate, true},
        {CTRL_SHUTDOWN_EVENT, kSignalTerminate, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.event);
        SignalPipe signals;
        ASSERT_TRUE(signals.Valid()) << signals.Error();
        std::future<BOOL> handled = Deliver(c.event, seconds(30));
        EXPECT_EQ(signals.Wait(seconds(5)), c.signal);
        if (c.holds) {
            EXPECT_EQ(handled.wait_for(milliseconds(100)), std::future_status::timeout)
                << "returned before the program stopped: Windows would end it now";
            signals.Stop();
        }
        ASSERT_EQ(handled.wait_for(seconds(5)), std::future_status::ready);
        EXPECT_TRUE(handled.get());
    }
}

TEST(ConsoleControl, AClosingConsoleIsHeldNoLongerThanItsGraceAndNotWithoutAPipe) {
    EXPECT_FALSE(HandleConsoleControl(CTRL_C_EVENT, milliseconds(0)))
        << "without a SignalPipe the system's default must decide";
    SignalPipe signals;
    ASSERT_TRUE(signals.Valid()) << signals.Error();
    const auto before = std::chrono::steady_clock::now();
    EXPECT_TRUE(HandleConsoleControl(CTRL_CLOSE_EVENT, milliseconds(100)));
    EXPECT_GE(std::chrono::steady_clock::now() - before, milliseconds(100));
    EXPECT_EQ(signals.Take(), std::vector<int>{kSignalHangUp});
    EXPECT_EQ(WaitReadable({signals.Handle()}, milliseconds(0)), std::vector<bool>{false});
    signals.Stop();
    EXPECT_FALSE(HandleConsoleControl(CTRL_BREAK_EVENT, milliseconds(0))) << "stopped";
}

TEST(ConsoleControl, ACtrlCOfTheConsoleArrives) {
    DWORD processes[4];
    if (GetConsoleProcessList(processes, 4) == 0) {
        GTEST_SKIP() << "no console (as under ctest): nothing can send Ctrl-C";
    }
    SignalPipe signals;
    ASSERT_TRUE(signals.Valid()) << signals.Error();
    ASSERT_TRUE(GenerateConsoleCtrlEvent(CTRL_C_EVENT, 0)) << GetLastError();
    EXPECT_EQ(signals.Wait(seconds(5)), kSignalInterrupt);
}

TEST(WaitReadable, ServesMoreHandlesThanOneSystemWaitTakes) {
    std::vector<HANDLE> events;
    std::vector<SystemHandle> handles;
    for (int i = 0; i < 70; ++i) {
        events.push_back(CreateEventW(nullptr, TRUE, FALSE, nullptr));
        handles.push_back({reinterpret_cast<std::intptr_t>(events.back())});
    }
    handles.insert(handles.begin() + 3, SystemHandle{});
    std::vector<bool> expected(handles.size(), false);
    EXPECT_EQ(WaitReadable(handles, milliseconds(50)), expected);
    std::future<void> later = std::async(std::launch::async, [&] {
        Sleep(50);
        SetEvent(events[66]);
    });
    const auto before = std::chrono::steady_clock::now();
    expected[67] = true;
    EXPECT_EQ(WaitReadable(handles, seconds(10)), expected);
    EXPECT_LT(std::chrono::steady_clock::now() - before, seconds(5)) << "woke by its bound";
    later.get();
    for (const HANDLE event : events) {
        CloseHandle(event);
    }
}

}  // namespace
