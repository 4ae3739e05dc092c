#include <gtest/gtest.h>

#include <atomic>
#include <deque>
#include <mutex>
#include <vector>

#include "tests/support/TransportTestSupport.h"
#include "transport/TCP_ConnectionParams.h"
#include "transport/UECP_IO.h"

namespace {

using Clock = std::chrono::steady_clock;

// A transport that supplies only WriteRaw and ReadRaw, over an in-memory device.
class MemoryTransport : public UECP_IO {
public:
    using UECP_IO::UECP_IO;
    ~MemoryTransport() override { Stop(); }

    void Close(bool) override {
        Stop();
        isOpen = false;
    }

    int32_t WriteRaw(const uint8_t* data, int32_t length) override {
        std::lock_guard<std::mutex> hold(lock);
        if (writeResult != 1) {
            return writeResult;
        }
        writes.emplace_back(data, data + length);
        return length;
    }

    int32_t ReadRaw(uint8_t* buffer, int32_t capacity) override {
        std::lock_guard<std::mutex> hold(lock);
        if (readFails) {
            return -1;
        }
        int32_t n = 0;
        while (n < capacity && !input.empty()) {
            buffer[n++] = input.front();
            input.pop_front();
        }
        return n;
    }

    void OnReadError() override { ++readErrors; }
    void OnWriteError() override { ++writeErrors; }
    void OnSendQueued() override { ++queued; }

    void Feed(const std::vector<uint8_t>& bytes) {
        std::lock_guard<std::mutex> hold(lock);
        input.insert(input.end(), bytes.begin(), bytes.end());
    }

    std::vector<std::vector<uint8_t>> Writes() {
        std::lock_guard<std::mutex> hold(lock);
        return writes;
    }

    // Opens without a device: the record gives the budgets.
    void OpenWith(int32_t sendTimeout) {
        TCP_ConnectionParams record;
        record.sendTimeout = sendTimeout;
        ASSERT_EQ(AcceptParams(record), ERR_OK);
        isOpen = true;
    }

    std::mutex lock;
    std::deque<uint8_t> input;
    std::vector<std::vector<uint8_t>> writes;
    int32_t writeResult = 1;  // 1: accept everything; otherwise what WriteRaw returns
    bool readFails = false;
    std::atomic<int> readErrors{0};
    std::atomic<int> writeErrors{0};
    std::atomic<int> queued{0};
};

// A thread body that ends on its own, signalling or not.
class ShortBody : public IOThread {
public:
    explicit ShortBody(bool signal) : signalStop(signal) {}
    ~ShortBody() override { Stop(); }
    void Run() override {
        if (signalStop) {
            stopEvent.Set();
        }
        bodyDone = true;
    }
    bool signalStop;
    std::atomic<bool> bodyDone{false};
};

// A body that asks for its own stop, as a notification that closes its transport would.
class SelfStoppingBody : public IOThread {
public:
    ~SelfStoppingBody() override { Stop(); }
    void Run() override {
        Stop();
        asked = true;
    }
    std::atomic<bool> asked{false};
};

TEST(IOThread, StartsOnceStopsWithoutThreadAndRestarts) {
    IOThread worker;
    worker.Stop();  // nothing running: nothing happens
    EXPECT_FALSE(worker.Started());
    ASSERT_TRUE(worker.Start());
    EXPECT_FALSE(worker.Start()) << "a second thread was started";
    EXPECT_TRUE(worker.Started());
    worker.Stop();
    EXPECT_FALSE(worker.Started());
    EXPECT_TRUE(worker.stopRequested);
    ASSERT_TRUE(worker.Start());
    EXPECT_FALSE(worker.stopRequested);
    EXPECT_FALSE(worker.stopEvent.IsSet());
    worker.Stop();
}

TEST(IOThread, ABodyThatSignalsEndsItsThreadAtOnce) {
    ShortBody worker(true);
    ASSERT_TRUE(worker.Start());
    EXPECT_TRUE(WaitUntil([&] { return worker.Finished(); })) << "thread did not end";
    EXPECT_FALSE(worker.Start()) << "an ended thread still needs Stop";
    worker.Stop();
    EXPECT_TRUE(worker.Start());
    worker.Stop();
}

TEST(IOThread, ABodyThatDoesNotSignalWaitsForStop) {
    ShortBody worker(false);
    ASSERT_TRUE(worker.Start());
    ASSERT_TRUE(WaitUntil([&] { return worker.bodyDone.load(); }));
    EXPECT_FALSE(worker.stopEvent.Wait(50));
    EXPECT_FALSE(worker.Finished());
    worker.Stop();
    EXPECT_FALSE(worker.Started());
}

TEST(IOThread, StopFromTheThreadItselfDoesNotDeadlock) {
    SelfStoppingBody worker;
    ASSERT_TRUE(worker.Start());
    ASSERT_TRUE(WaitUntil([&] { return worker.Finished(); }));
    EXPECT_TRUE(worker.asked);
    worker.Stop();
    EXPECT_FALSE(worker.Started());
}

TEST(UECP_IO, DefaultSendQueuesWhatFitsAndReportsWhatDoesNot) {
    RecordingReader reader;
    MemoryTransport transport(&reader);
    std::vector<uint8_t> bytes(UECP_IO::kSendQueueCapacity + 1, 0x42);
    EXPECT_EQ(transport.Send(bytes.data(), 1), ERR_DEVICE_NOT_OPEN);

    transport.OpenWith(50);
    EXPECT_EQ(transport.AcceptParams(TCP_ConnectionParams()), ERR_DEVICE_ALREADY_OPEN);
    EXPECT_EQ(transport.Send(bytes.data(), UECP_IO::kSendQueueCapacity + 1), ERR_SEND_BUFFER_FULL);
    EXPECT_EQ(transport.sendQueue->count, 0) << "a refused send left bytes queued";
    EXPECT_EQ(transport.queued, 0);

    // No thread drains the queue: the send times out and its bytes stay queued.
    const auto start = Clock::now();
    EXPECT_EQ(transport.Send(bytes.data(), 100), ERR_SEND_TIMEOUT);
    EXPECT_GE(MillisecondsSince(start), 45);
    EXPECT_EQ(transport.sendQueue->count, 100);
    transport.ClearSendBuffer();
    EXPECT_EQ(transport.sendQueue->count, 0);
}

TEST(UECP_IO, DefaultBodyWritesTheQueueInPiecesAndShowsThem) {
    RecordingReader reader;
    RecordingHook hook;
    MemoryTransport transport(&reader);
    transport.OpenWith(3000);
    ASSERT_TRUE(transport.Start());
    std::vector<uint8_t> bytes(UECP_IO::kSendQueueCapacity);
    for (size_t i = 0; i < bytes.size(); ++i) {
        bytes[i] = static_cast<uint8_t>(i);
    }
    ASSERT_EQ(transport.Send(bytes.data(), static_cast<int32_t>(bytes.size())), ERR_OK);
    EXPECT_EQ(transport.queued, 1);
    std::vector<uint8_t> written;
    for (const auto& piece : transport.Writes()) {
        EXPECT_LE(piece.size(), 256u);
        written.insert(written.end(), piece.begin(), piece.end());
    }
    EXPECT_EQ(written, bytes);
    EXPECT_EQ(hook.Joined(kDirectionSent), bytes);
    transport.Close(false);
}

TEST(UECP_IO, DefaultBodyFeedsReceivedBytesToHooksThenReader) {
    RecordingReader reader;
    RecordingHook hook;
    MemoryTransport transport(&reader);
    transport.OpenWith(3000);
    std::vector<uint8_t> input(600, 0x10);
    input[0] = 0xFE;
    input[599] = 0xFF;
    input[300] = 0xFE;  // restarts the frame: one discard
    transport.Feed(input);
    ASSERT_TRUE(transport.Start());
    ASSERT_TRUE(reader.WaitFrames(1));
    EXPECT_EQ(reader.Frames()[0], std::vector<uint8_t>(input.begin() + 300, input.end()));
    EXPECT_EQ(reader.Discarded(), 1);
    EXPECT_EQ(hook.Joined(kDirectionReceived), input);
    for (const auto& piece : hook.Pieces()) {
        EXPECT_LE(piece.bytes.size(), 256u);
    }
    transport.Close(false);
}

TEST(UECP_IO, PumpsReportReadAndWriteErrors) {
    RecordingReader reader;
    MemoryTransport transport(&reader);
    transport.OpenWith(100);
    transport.readFails = true;
    transport.ReceivePump();
    EXPECT_EQ(transport.readErrors, 1);
    transport.writeResult = -2;
    const uint8_t byte = 1;
    {
        CriticalSectionLock hold(*transport.sendQueue);
        transport.sendQueue->Write(&byte, 1);
    }
    transport.SendPump();
    EXPECT_EQ(transport.writeErrors, 1);
    EXPECT_EQ(transport.sendQueue->count, 1) << "a failed write must not drop the bytes";
    // Closed or stopping: the pumps do nothing.
    transport.isOpen = false;
    transport.ReceivePump();
    transport.SendPump();
    EXPECT_EQ(transport.readErrors, 1);
    EXPECT_EQ(transport.writeErrors, 1);
}

TEST(UECP_IO, SetFrameReaderHandsAPartialFrameToTheNewReader) {
    RecordingReader first;
    RecordingReader second;
    MemoryTransport transport(&first);
    transport.OpenWith(100);
    transport.Feed({0xFE, 0x01});
    transport.ReceivePump();
    transport.SetFrameReader(&second);
    transport.Feed({0x02, 0xFF});
    transport.ReceivePump();
    EXPECT_TRUE(first.Frames().empty());
    ASSERT_EQ(second.Frames().size(), 1u);
    EXPECT_EQ(second.Frames()[0], (std::vector<uint8_t>{0xFE, 0x01, 0x02, 0xFF}));
}

}  // namespace
