#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "transport/AutoFrameBuffer.h"

namespace {

using Bytes = std::vector<uint8_t>;

struct Recorder : FrameReader {
    std::vector<Bytes> frames;
    std::vector<std::string> events;  // frames and discard notices in order
    void OnFrame(const uint8_t* data, int32_t length, AutoFrameBuffer*) override {
        frames.emplace_back(data, data + length);
        events.push_back("frame:" + std::to_string(length));
    }
    void OnFrameDiscarded() override { events.push_back("discarded"); }
};

TEST(AutoFrameBuffer, CutsFramesAndReportsDiscards) {
    Recorder reader;
    AutoFrameBuffer assembler(&reader);
    const Bytes stream = {0x11, 0x22, 0xFE, 0xFF, 0xFE, 0x01, 0xFE, 0x02, 0xFF};
    assembler.Put(stream.data(), static_cast<int32_t>(stream.size()));
    ASSERT_EQ(reader.frames.size(), 2u);
    EXPECT_EQ(reader.frames[0], (Bytes{0xFE, 0xFF}));
    EXPECT_EQ(reader.frames[1], (Bytes{0xFE, 0x02, 0xFF}));
    EXPECT_EQ(reader.events, (std::vector<std::string>{"frame:2", "discarded", "frame:3"}));
}

TEST(AutoFrameBuffer, OverlongRunIsDroppedUntilTheNextStart) {
    Recorder reader;
    AutoFrameBuffer assembler(&reader);
    Bytes run(524, 0x41);
    run[0] = 0xFE;
    assembler.Put(run.data(), 524);
    EXPECT_EQ(reader.events, (std::vector<std::string>{"discarded"}));
    const Bytes tail = {0xFF, 0x42, 0xFE, 0x43, 0xFF};  // the stop byte is skipped
    assembler.Put(tail.data(), 5);
    ASSERT_EQ(reader.frames.size(), 1u);
    EXPECT_EQ(reader.frames[0], (Bytes{0xFE, 0x43, 0xFF}));
}

TEST(AutoFrameBuffer, StopByteAsThe524thByteCompletesTheFrame) {
    Recorder reader;
    AutoFrameBuffer assembler(&reader);
    Bytes frame(524, 0x41);
    frame[0] = 0xFE;
    frame[523] = 0xFF;
    assembler.Put(frame.data(), 524);
    ASSERT_EQ(reader.frames.size(), 1u);
    EXPECT_EQ(reader.frames[0].size(), 524u);
    EXPECT_EQ(reader.events.size(), 1u);
}

TEST(AutoFrameBuffer, ByteByByteEqualsWhole) {
    Bytes stream = {0x00, 0xFE, 0x01, 0xFF, 0xFF, 0xFE, 0x05, 0xFE, 0xFD, 0x01, 0xFF, 0x33};
    Bytes longRun(600, 0x10);
    longRun[0] = 0xFE;
    stream.insert(stream.end(), longRun.begin(), longRun.end());
    stream.insert(stream.end(), {0xFE, 0x09, 0xFF});

    Recorder whole;
    AutoFrameBuffer wholeAssembler(&whole);
    wholeAssembler.Put(stream.data(), static_cast<int32_t>(stream.size()));

    Recorder single;
    AutoFrameBuffer singleAssembler(&single);
    for (uint8_t b : stream) {
        singleAssembler.Put(&b, 1);
    }
    EXPECT_EQ(whole.frames, single.frames);
    EXPECT_EQ(whole.events, single.events);
    EXPECT_EQ(whole.frames.size(), 3u);
}

TEST(AutoFrameBuffer, ResetAndReaderChange) {
    Recorder first;
    Recorder second;
    AutoFrameBuffer assembler(&first);
    const Bytes head = {0xFE, 0x01};
    assembler.Put(head.data(), 2);
    assembler.SetReader(&second);  // the partial frame goes to the new reader
    const Bytes tail = {0x02, 0xFF};
    assembler.Put(tail.data(), 2);
    EXPECT_TRUE(first.frames.empty());
    ASSERT_EQ(second.frames.size(), 1u);
    EXPECT_EQ(second.frames[0], (Bytes{0xFE, 0x01, 0x02, 0xFF}));

    assembler.Put(head.data(), 2);
    assembler.Reset();
    assembler.Put(tail.data(), 2);  // no start byte since the reset
    EXPECT_EQ(second.frames.size(), 1u);

    assembler.SetReader(nullptr);
    const Bytes frame = {0xFE, 0xFF};
    assembler.Put(frame.data(), 2);  // no reader: nothing to call
    EXPECT_EQ(second.frames.size(), 1u);
}

// A reader that stays inside OnFrame until the reader has been swapped, or for at most 300 ms,
// and notes which it saw. A hand-over must wait for it, since the reader may be destroyed the
// moment the swap returns.
struct LingeringReader : FrameReader {
    std::mutex lock;
    std::condition_variable changed;
    bool inside = false;
    bool swapped = false;
    bool sawSwapFromInside = false;

    void OnFrame(const uint8_t*, int32_t, AutoFrameBuffer*) override {
        std::unique_lock<std::mutex> hold(lock);
        inside = true;
        changed.notify_all();
        sawSwapFromInside =
            changed.wait_for(hold, std::chrono::milliseconds(300), [this] { return swapped; });
    }
    void OnFrameDiscarded() override {}
};

TEST(AutoFrameBuffer, ReaderSwapWaitsForTheDeliveryInProgress) {
    LingeringReader old;
    Recorder next;
    AutoFrameBuffer assembler(&old);
    const Bytes frame = {0xFE, 0x01, 0xFF};
    std::thread io([&] { assembler.Put(frame.data(), 3); });
    {
        std::unique_lock<std::mutex> hold(old.lock);
        ASSERT_TRUE(old.changed.wait_for(hold, std::chrono::seconds(3), [&] { return old.inside; }))
            << "the frame never reached the reader";
    }
    assembler.SetReader(&next);
    {
        std::lock_guard<std::mutex> hold(old.lock);
        old.swapped = true;
        old.changed.notify_all();
    }
    io.join();
    EXPECT_FALSE(old.sawSwapFromInside) << "the swap returned while the old reader was called";
    assembler.Put(frame.data(), 3);
    EXPECT_EQ(next.frames.size(), 1u);
}

}  // namespace
