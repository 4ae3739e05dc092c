// What SIGHUP and SIGTERM did before a SignalPipe stays while it watches (an ignored signal stays
// ignored) and comes back after it, and one watcher at a time.
#include <signal.h>

#include <gtest/gtest.h>

#include "console/SignalPipe.h"

namespace {

int g_terms = 0;

void CountTerm(int) {
    ++g_terms;
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
