#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "transport/IOFrameLog.h"
#include "transport/MessageWindow.h"

namespace {

struct Written {
    int direction;
    std::vector<uint8_t> bytes;
    bool operator==(const Written& other) const {
        return direction == other.direction && bytes == other.bytes;
    }
};

// Records the frames written, in order; WriteFrame runs on the test (owner) thread.
class RecordingLog : public IOFrameLog {
public:
    ~RecordingLog() override { StopLogging(); }
    void WriteFrame(const uint8_t* data, int32_t length, int direction) override {
        EXPECT_EQ(std::this_thread::get_id(), logWindow->ownerThread);
        written.push_back(Written{direction, std::vector<uint8_t>(data, data + length)});
    }
    int Drain() { return logWindow->DispatchPending(); }
    std::vector<Written> written;
};

void Show(const std::vector<uint8_t>& bytes, int direction) {
    IOHookList::Instance().Notify(bytes.data(), static_cast<int32_t>(bytes.size()), direction);
}

const std::vector<uint8_t> kSent = {0xFE, 0x00, 0x00, 0x01, 0x02, 0x2D, 0x52, 0x53, 0xFF};
const std::vector<uint8_t> kAck = {0xFE, 0x18, 0x02, 0x01, 0x00, 0x12, 0x34, 0xFF};

TEST(IOFrameLog, AFrameSentInTwoPiecesIsWrittenOnceWhole) {
    RecordingLog log;
    log.StartLogging();
    Show({kSent.begin(), kSent.begin() + 5}, kDirectionSent);
    EXPECT_EQ(log.logWindow->PendingCount(), 0);
    Show({kSent.begin() + 5, kSent.end()}, kDirectionSent);
    EXPECT_EQ(log.logWindow->PendingCount(), 1);
    EXPECT_EQ(log.Drain(), 1);
    ASSERT_EQ(log.written.size(), 1u);
    EXPECT_EQ(log.written[0], (Written{1, kSent}));
    EXPECT_EQ(log.sentFrames.count, 0);
}

TEST(IOFrameLog, DirectionsInterleaveInCompletionOrder) {
    RecordingLog log;
    log.StartLogging();
    // The ack's start is seen before the sent frame completes, but it completes after it.
    Show({kAck.begin(), kAck.begin() + 3}, kDirectionReceived);
    Show(kSent, kDirectionSent);
    Show({kAck.begin() + 3, kAck.end()}, kDirectionReceived);
    Show(kSent, kDirectionSent);
    Show(kAck, kDirectionReceived);
    EXPECT_EQ(log.Drain(), 4);
    EXPECT_EQ(log.written, (std::vector<Written>{{1, kSent}, {0, kAck}, {1, kSent}, {0, kAck}}));
}

TEST(IOFrameLog, OnlyTrafficWhileLoggingIsWritten) {
    RecordingLog log;
    Show(kSent, kDirectionSent);
    // A frame whose start byte came before the start is not written either.
    Show({kAck.begin(), kAck.begin() + 4}, kDirectionReceived);
    log.StartLogging();
    log.StartLogging();  // a second start changes nothing
    Show({kAck.begin() + 4, kAck.end()}, kDirectionReceived);
    EXPECT_EQ(log.Drain(), 0);
    EXPECT_TRUE(log.written.empty());

    Show(kAck, kDirectionReceived);
    log.StopLogging();
    Show(kSent, kDirectionSent);
    // Queued before the stop: still written while the window exists.
    EXPECT_EQ(log.Drain(), 1);
    EXPECT_EQ(log.written, (std::vector<Written>{{0, kAck}}));
}

TEST(IOFrameLog, RestartDropsStaleFramesAndTheirMessages) {
    RecordingLog log;
    log.StartLogging();
    Show(kAck, kDirectionReceived);
    log.StopLogging();
    log.StartLogging();
    Show(kSent, kDirectionSent);
    Show(kAck, kDirectionReceived);
    EXPECT_EQ(log.Drain(), 2);
    EXPECT_EQ(log.written, (std::vector<Written>{{1, kSent}, {0, kAck}}));
}

TEST(IOFrameLog, NoiseAndOverlongRunsYieldOnlyRealFrames) {
    RecordingLog log;
    log.StartLogging();
    std::vector<uint8_t> noisy(4 + kAck.size(), 0x13);
    noisy[2] = 0xFF;  // a stop byte outside a frame means nothing
    std::copy(kAck.begin(), kAck.end(), noisy.begin() + 4);
    Show(noisy, kDirectionReceived);
    std::vector<uint8_t> run(524, 0x20);
    run[0] = 0xFE;
    Show(run, kDirectionReceived);
    Show({0xFF}, kDirectionReceived);  // the run was dropped; this stop byte starts nothing
    EXPECT_EQ(log.logWindow->PendingCount(), 1);
    EXPECT_EQ(log.Drain(), 1);
    EXPECT_EQ(log.written, (std::vector<Written>{{0, kAck}}));
}

TEST(IOFrameLog, DestructionDiscardsWhatWasNotWritten) {
    const int windowsBefore = MessageWindow::InstanceCount();
    {
        RecordingLog log;
        EXPECT_EQ(MessageWindow::InstanceCount(), windowsBefore + 1);
        log.StartLogging();
        Show(kSent, kDirectionSent);
        Show(kAck, kDirectionReceived);
        EXPECT_EQ(log.sentFrames.count, 1);
    }
    EXPECT_EQ(MessageWindow::InstanceCount(), windowsBefore);
    EXPECT_TRUE(IOHookList::Instance().hooks.empty()) << "a destroyed log stayed attached";
    Show(kSent, kDirectionSent);  // reaches nothing, and must not crash
}

class CountingWindow : public MessageWindow {
public:
    intptr_t WindowProc(uint32_t message, uintptr_t wParam, intptr_t lParam) override {
        seen.push_back({message, wParam, lParam});
        return 0;
    }
    struct Seen {
        uint32_t message;
        uintptr_t wParam;
        intptr_t lParam;
    };
    std::vector<Seen> seen;
};

TEST(MessageWindow, SharesOneClassRegistrationWhileAnyWindowExists) {
    ASSERT_EQ(MessageWindow::InstanceCount(), 0);
    EXPECT_FALSE(MessageWindow::IsClassRegistered());
    EXPECT_STREQ(MessageWindow::kClassName, "(-: MessageWindow :-)");
    const int registrations = MessageWindow::RegistrationCount();
    auto first = std::make_unique<MessageWindow>();
    auto second = std::make_unique<MessageWindow>();
    EXPECT_TRUE(MessageWindow::IsClassRegistered());
    EXPECT_EQ(MessageWindow::RegistrationCount(), registrations + 1);
    EXPECT_EQ(MessageWindow::InstanceCount(), 2);
    EXPECT_NE(first->hwnd, second->hwnd);
    first.reset();
    EXPECT_TRUE(MessageWindow::IsClassRegistered());
    second.reset();
    EXPECT_FALSE(MessageWindow::IsClassRegistered());
    MessageWindow third;
    EXPECT_TRUE(MessageWindow::IsClassRegistered());
    EXPECT_EQ(MessageWindow::RegistrationCount(), registrations + 2);
}

TEST(MessageWindow, DispatchesInPostingOrderOnItsOwnThreadOnly) {
    CountingWindow window;
    std::atomic<int> wakeups{0};
    window.SetWakeup([&] { ++wakeups; });
    EXPECT_FALSE(window.WaitForMessages(0));
    std::thread poster([&] {
        EXPECT_TRUE(window.Post(0x465, 0, 1));
        EXPECT_TRUE(window.Post(0x466, 2, 0));
        EXPECT_EQ(window.DispatchPending(), -1) << "dispatched on a foreign thread";
    });
    poster.join();
    EXPECT_EQ(wakeups, 2);
    EXPECT_TRUE(window.WaitForMessages(0));
    EXPECT_EQ(window.DispatchPending(), 2);
    ASSERT_EQ(window.seen.size(), 2u);
    EXPECT_EQ(window.seen[0].message, 0x465u);
    EXPECT_EQ(window.seen[0].lParam, 1);
    EXPECT_EQ(window.seen[1].message, 0x466u);
    EXPECT_EQ(window.seen[1].wParam, 2u);
    window.Post(0x465, 0, 0);
    window.Post(0x467, 0, 0);
    EXPECT_EQ(window.DiscardPending(0x465), 1);
    EXPECT_EQ(window.DispatchPending(), 1);
    EXPECT_EQ(window.seen.back().message, 0x467u);
}

TEST(MessageWindow, WaitEndsWhenAMessageIsPostedOrTheBoundPasses) {
    MessageWindow window;
    const auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(window.WaitForMessages(30));
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(25));
    std::thread poster([&] { window.Post(1, 0, 0); });
    EXPECT_TRUE(window.WaitForMessages(5000));
    poster.join();
    EXPECT_EQ(window.DispatchPending(), 1);
}

// Frames from two threads at once while the owner writes them; each direction keeps its order
// and nothing is lost. Meant for the thread sanitizer as much as for the counts.
TEST(IOFrameLog, FramesFromTwoThreadsWhileTheOwnerDrains) {
    RecordingLog log;
    log.StartLogging();
    constexpr int kFrames = 400;
    auto produce = [](int direction) {
        for (int i = 0; i < kFrames; ++i) {
            const std::vector<uint8_t> frame = {0xFE, static_cast<uint8_t>(direction),
                                                static_cast<uint8_t>(i / 100),
                                                static_cast<uint8_t>(i % 100), 0xFF};
            // Two pieces, so an assembler holds a partial frame between calls.
            Show({frame.begin(), frame.begin() + 2}, direction);
            Show({frame.begin() + 2, frame.end()}, direction);
        }
    };
    std::thread receiver(produce, kDirectionReceived);
    std::thread sender(produce, kDirectionSent);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (log.written.size() < 2 * kFrames && std::chrono::steady_clock::now() < deadline) {
        if (log.logWindow->WaitForMessages(100)) {
            log.Drain();
        }
    }
    receiver.join();
    sender.join();
    ASSERT_EQ(log.written.size(), 2u * kFrames) << "frames lost";
    int next[2] = {0, 0};
    for (const Written& frame : log.written) {
        ASSERT_EQ(frame.bytes.size(), 5u);
        EXPECT_EQ(frame.bytes[1], frame.direction);
        EXPECT_EQ(frame.bytes[2] * 100 + frame.bytes[3], next[frame.direction]++);
    }
}

}  // namespace
