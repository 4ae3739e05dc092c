// SIGINT, SIGTERM and SIGHUP as numbers in a pipe: their order, bounded waits, the handlers
// that were there before, and one watcher at a time.
#include "console/SignalPipe.h"

#include <signal.h>

#include <gtest/gtest.h>

#include <future>

namespace {

int g_terms = 0;

void CountTerm(int) {
    ++g_terms;
}

TEST(SignalPipe, EachSignalArrivesByItsNumber) {
    SignalPipe signals;
    ASSERT_TRUE(signals.Valid()) << signals.Error();
    EXPECT_EQ(WaitReadable({signals.Handle()}, std::chrono::milliseconds(0)),
              std::vector<bool>{false});
    for (const int number : {SIGHUP, SIGTERM, SIGINT, SIGINT}) {
        raise(number);
    }
    EXPECT_EQ(WaitReadable({signals.Handle()}, std::chrono::milliseconds(0)),
              std::vector<bool>{true});
    EXPECT_EQ(signals.Take(), (std::vector<int>{kSignalHangUp, kSignalTerminate, kSignalInterrupt,
                                                kSignalInterrupt}));
    EXPECT_TRUE(signals.Take().empty());
    raise(SIGTERM);
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

TEST(SignalPipe, WhatWasThereBeforeStaysAndComesBack) {
    signal(SIGHUP, SIG_IGN);
    signal(SIGTERM, CountTerm);
    g_terms = 0;
    {
        SignalPipe signals;
        ASSERT_TRUE(signals.Valid()) << signals.Error();
        raise(SIGHUP);  // ignored, as under nohup
        raise(SIGTERM);
        EXPECT_EQ(signals.Take(), std::vector<int>{kSignalTerminate});
        EXPECT_EQ(g_terms, 0);

        SignalPipe second;
        EXPECT_FALSE(second.Valid());
        EXPECT_FALSE(second.Error().empty());
    }
    raise(SIGTERM);
    EXPECT_EQ(g_terms, 1) << "the previous handler is back";
    {
        SignalPipe again;
        EXPECT_TRUE(again.Valid()) << again.Error();
    }
    signal(SIGHUP, SIG_DFL);
    signal(SIGTERM, SIG_DFL);
}

}  // namespace
