// Which coder of a fleet starts when: -j, canary, --max-failures, Ctrl-C and serial ports.
#include <gtest/gtest.h>

#include "fleet/FleetScheduler.h"

namespace {

using Limits = FleetScheduler::Limits;

std::vector<size_t> StartAll(FleetScheduler& s) {
    std::vector<size_t> started;
    while (const auto next = s.Next()) {
        started.push_back(*next);
    }
    return started;
}

TEST(FleetScheduler, InventoryOrderAtMostJobsAtOnce) {
    FleetScheduler s(std::vector<std::string>(5), Limits{2, 0, 0});
    EXPECT_EQ(StartAll(s), (std::vector<size_t>{0, 1}));
    s.Finished(1, CoderOutcome::Succeeded);
    EXPECT_EQ(StartAll(s), (std::vector<size_t>{2}));
    s.Finished(0, CoderOutcome::Failed);  // a failure does not stop the others without a limit
    s.Finished(2, CoderOutcome::Current);
    EXPECT_EQ(StartAll(s), (std::vector<size_t>{3, 4}));
    EXPECT_FALSE(s.Done());
    s.Finished(3, CoderOutcome::Succeeded);
    s.Finished(4, CoderOutcome::Succeeded);
    EXPECT_TRUE(s.Done());
    EXPECT_EQ(s.CloseWaiting(), "");
    EXPECT_EQ(s.Count(CoderOutcome::Succeeded), 3u);
}

TEST(FleetScheduler, CanariesRunAloneAndAFailedOneStopsTheRest) {
    FleetScheduler good(std::vector<std::string>(5), Limits{8, 2, 0});
    EXPECT_EQ(StartAll(good), (std::vector<size_t>{0, 1}));
    good.Finished(0, CoderOutcome::Succeeded);
    EXPECT_EQ(StartAll(good), std::vector<size_t>{});  // the second canary still runs
    good.Finished(1, CoderOutcome::Current);
    EXPECT_EQ(StartAll(good), (std::vector<size_t>{2, 3, 4}));

    FleetScheduler bad(std::vector<std::string>(4), Limits{8, 2, 0});
    EXPECT_EQ(StartAll(bad), (std::vector<size_t>{0, 1}));
    bad.Finished(1, CoderOutcome::NeedsConfirmation);
    EXPECT_FALSE(bad.Done());  // canary 0 still runs and finishes
    bad.Finished(0, CoderOutcome::Succeeded);
    EXPECT_EQ(StartAll(bad), std::vector<size_t>{});
    EXPECT_TRUE(bad.Done());
    EXPECT_NE(bad.CloseWaiting().find("canary coder 2 ended needs-confirmation"),
              std::string::npos);
    EXPECT_EQ(bad.Outcome(2), CoderOutcome::NotStarted);
    EXPECT_EQ(bad.Reason(3).rfind("not started: canary", 0), 0u);
}

TEST(FleetScheduler, MaxFailuresLetsTheRunningFinish) {
    FleetScheduler s(std::vector<std::string>(6), Limits{3, 0, 2});
    EXPECT_EQ(StartAll(s), (std::vector<size_t>{0, 1, 2}));
    s.Finished(0, CoderOutcome::Failed);
    EXPECT_EQ(StartAll(s), (std::vector<size_t>{3}));
    s.Finished(1, CoderOutcome::Blocked);  // the second failure
    EXPECT_EQ(StartAll(s), std::vector<size_t>{});
    EXPECT_FALSE(s.Done());
    s.Finished(2, CoderOutcome::Succeeded);
    s.Finished(3, CoderOutcome::Succeeded);
    EXPECT_TRUE(s.Done());
    EXPECT_EQ(s.CloseWaiting(), "2 coders failed (--max-failures 2)");
    EXPECT_EQ(s.Count(CoderOutcome::NotStarted), 2u);
}

TEST(FleetScheduler, InterruptStartsNothingMore) {
    FleetScheduler s(std::vector<std::string>(4), Limits{2, 0, 0});
    EXPECT_EQ(StartAll(s), (std::vector<size_t>{0, 1}));
    s.Interrupt();
    s.Finished(0, CoderOutcome::Interrupted);
    EXPECT_EQ(StartAll(s), std::vector<size_t>{});
    EXPECT_FALSE(s.Done());
    s.Finished(1, CoderOutcome::Succeeded);
    EXPECT_TRUE(s.Done());
    EXPECT_TRUE(s.Interrupted());
    EXPECT_EQ(s.CloseWaiting(), "interrupted");
}

TEST(FleetScheduler, OneSerialDeviceNeverRunsTwice) {
    FleetScheduler s({"/dev/ttyUSB0", "", "/dev/ttyUSB0", "/dev/ttyUSB1"}, Limits{8, 0, 0});
    EXPECT_EQ(StartAll(s), (std::vector<size_t>{0, 1, 3}));
    s.Finished(0, CoderOutcome::Succeeded);
    EXPECT_EQ(StartAll(s), (std::vector<size_t>{2}));
}

TEST(FleetScheduler, OutcomesThatKeepExitStatusZero) {
    for (CoderOutcome o :
         {CoderOutcome::Succeeded, CoderOutcome::Current, CoderOutcome::Identified}) {
        EXPECT_TRUE(OutcomeIsGood(o)) << OutcomeName(o);
    }
    for (CoderOutcome o :
         {CoderOutcome::Failed, CoderOutcome::Blocked, CoderOutcome::NeedsConfirmation,
          CoderOutcome::Interrupted, CoderOutcome::NotStarted}) {
        EXPECT_FALSE(OutcomeIsGood(o)) << OutcomeName(o);
    }
}

}  // namespace
