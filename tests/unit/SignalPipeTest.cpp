// SIGINT, SIGTERM and SIGHUP as numbers in a pipe: their order, bounded waits and the end of a
// wait by Stop(). On Windows the console's control events stand for them.
#include "console/SignalPipe.h"

#include <gtest/gtest.h>

#include <future>

#include "RaiseSignal.h"

namespace {

TEST(SignalPipe, EachSignalArrivesByItsNumber) {
    SignalPipe signals;
    ASSERT_TRUE(signals.Valid()) << signals.Error();
    EXPECT_EQ(WaitReadable({signals.Handle()}, std::chrono::milliseconds(0)),
              std::vector<bool>{false});
    for (const int number : {kSignalHangUp, kSignalTerminate, kSignalInterrupt, kSignalInterrupt}) {
        RaiseSignal(number);
    }
    EXPECT_EQ(WaitReadable({signals.Handle()}, std::chrono::milliseconds(0)),
              std::vector<bool>{true});
    EXPECT_EQ(signals.Take(), (std::vector<int>{kSignalHangUp, kSignalTerminate, kSignalInterrupt,
                                                kSignalInterrupt}));
    EXPECT_TRUE(signals.Take().empty());
    RaiseSignal(kSignalTerminate);
    EXPECT_EQ(signals.Wait(std::chrono::seconds(5)), kSignalTerminate);
    EXPECT_EQ(SignalPipe::Name(kSignalHangUp), "SIGHUP");
    EXPECT_EQ(SignalPipe::Name(10), "signal 10");
}

TEST(SignalPipe, AWaitEndsAtItsBoundOrByStop) {
    SignalPipe signals;
    ASSERT_TRUE(signals.Valid()) << signals.Error();
    const auto before = std::chrono::steady_clock::now();
    EXPECT_EQ(signals.Wait(std::chrono::milliseconds(50)), 0);
    EXPECT_GE(std::chrono::steady_clock::now() - before, std::chrono::milliseconds(50));

    std::future<int> waiting = std::async(std::launch::async, [&] { return signals.Wait(); });
    EXPECT_EQ(waiting.wait_for(std::chrono::milliseconds(50)), std::future_status::timeout);
    signals.Stop();
    ASSERT_EQ(waiting.wait_for(std::chrono::seconds(5)), std::future_status::ready)
        << "Stop() did not end the wait";
    EXPECT_EQ(waiting.get(), 0);
}

}  // namespace
