#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "protocol/T1x_UECPMessageHandler.h"
#include "support/FakeTransport.h"
#include "support/SleepingThread.h"
#include "support/TransportTestSupport.h"

namespace {

using testing_support::Bytes;
using testing_support::FakeOpenHandler;
using testing_support::WireFrame;
using Clock = std::chrono::steady_clock;

const Bytes kAckOk = {0x18, 0x00};

class Handler : public FakeOpenHandler<T1x_UECPMessageHandler> {};

// A handler opened on a fake transport with a short default wait.
void OpenWithWait(Handler& handler, int32_t waitMs) {
    TCP_ConnectionParams params("127.0.0.1", 1);
    params.responseTimeout = waitMs;
    handler.SetTcpParams(params);
    ASSERT_EQ(handler.Open(), ERR_OK);
}

UECPMessage Request(const Bytes& field, int32_t ackMode = -1, bool expectAnswer = false) {
    UECPMessage message;
    std::copy(field.begin(), field.end(), message.data);
    message.length = static_cast<int32_t>(field.size());
    message.ackMode = ackMode;
    message.expectAnswer = expectAnswer;
    return message;
}

long Millis(Clock::duration d) {
    return static_cast<long>(std::chrono::duration_cast<std::chrono::milliseconds>(d).count());
}

TEST(MessageHandler, SequenceCounterStartsAtZeroAndWrapsToOne) {
    Handler handler;
    handler.responder = [](const Bytes&) { return std::vector<Bytes>{WireFrame(kAckOk)}; };
    OpenWithWait(handler, 200);
    for (int i = 0; i < 258; ++i) {
        UECPMessage message = Request({0x2D, 0x03, 0x52, 0x53, 0x53});
        ASSERT_EQ(handler.Transact(message), ERR_OK) << i;
    }
    const auto sent = handler.fake->SentFrames();
    ASSERT_EQ(sent.size(), 258u);
    EXPECT_EQ(sent[0][3], 0);
    EXPECT_EQ(sent[1][3], 1);
    EXPECT_EQ(sent[255][3], 255);
    EXPECT_EQ(sent[256][3], 1);  // 0 only for the first exchange after Open
    EXPECT_EQ(sent[257][3], 2);

    // A new Open starts from 0 again.
    handler.Close(0);
    ASSERT_EQ(handler.Open(), ERR_OK);
    UECPMessage message = Request({0x2D}, 0);
    handler.fake->responder = nullptr;
    ASSERT_EQ(handler.Transact(message), ERR_OK);
    EXPECT_EQ(handler.fake->SentFrames().at(0)[3], 0);
}

TEST(MessageHandler, FailedSendAdvancesTheCounterWithoutWaiting) {
    Handler handler;
    OpenWithWait(handler, 3000);
    handler.fake->sendResult = ERR_SEND_TIMEOUT;
    UECPMessage message = Request({0x2D, 0x03, 0x52, 0x53, 0x7E}, -1, true);
    const auto start = Clock::now();
    EXPECT_EQ(handler.Transact(message), ERR_SEND_TIMEOUT);
    EXPECT_LT(Millis(Clock::now() - start), 1000);
    EXPECT_EQ(handler.sequenceCounter, 1);
}

TEST(MessageHandler, StaleFramesNeverAnswerANewRequest) {
    Handler handler;
    OpenWithWait(handler, 100);
    // An acknowledgement and an answer that arrived before the request are dropped.
    handler.fake->Deliver(WireFrame(kAckOk));
    handler.fake->Deliver(WireFrame({0x2D, 0x08, 0x52, 0x53, 0x7E, 'V', '2', '.', '1', '5'}));
    ASSERT_EQ(handler.received.count, 2);
    UECPMessage message = Request({0x2D, 0x03, 0x52, 0x53, 0x7E}, -1, true);
    EXPECT_EQ(handler.Transact(message), ERR_NO_ACK);
    EXPECT_EQ(message.answer, nullptr);
}

TEST(MessageHandler, AnswerBeforeTheAcknowledgementIsDropped) {
    Handler handler;
    handler.responder = [](const Bytes&) {
        return std::vector<Bytes>{WireFrame({0x2D, 0x04, 0x52, 0x53, 0x7E, 0x31}),
                                  WireFrame(kAckOk)};
    };
    OpenWithWait(handler, 100);
    UECPMessage message = Request({0x2D, 0x03, 0x52, 0x53, 0x7E}, -1, true);
    message.answerMec = 0x2D;
    // The acknowledgement still counts; the answer that came first is gone.
    EXPECT_EQ(handler.Transact(message), ERR_READ_TIMEOUT);
}

TEST(MessageHandler, SilenceGivesNoAckOrReadTimeoutAfterTheBudget) {
    Handler handler;
    OpenWithWait(handler, 150);
    UECPMessage awaitsAck = Request({0x2D, 0x03, 0x52, 0x53, 0x51, 0x00});
    auto start = Clock::now();
    EXPECT_EQ(handler.Transact(awaitsAck), ERR_NO_ACK);
    EXPECT_GE(Millis(Clock::now() - start), 145);

    UECPMessage answerOnly = Request({0x2D, 0x03, 0x52, 0x53, 0x7E}, 0, true);
    answerOnly.timeoutMs = 80;  // the message's own wait wins over the default
    start = Clock::now();
    EXPECT_EQ(handler.Transact(answerOnly), ERR_READ_TIMEOUT);
    const long waited = Millis(Clock::now() - start);
    EXPECT_GE(waited, 75);
    EXPECT_LT(waited, 145);
}

TEST(MessageHandler, NegativeAcknowledgementEndsTheExchange) {
    Handler handler;
    handler.responder = [](const Bytes&) { return std::vector<Bytes>{WireFrame({0x18, 0x06})}; };
    OpenWithWait(handler, 2000);
    UECPMessage message = Request({0x2D, 0x03, 0x52, 0x53, 0x7E}, -1, true);
    const auto start = Clock::now();
    EXPECT_EQ(handler.Transact(message), ERR_NACK_6);
    EXPECT_LT(Millis(Clock::now() - start), 1000);  // no answer wait

    // A bare acknowledgement byte confirms nothing.
    handler.fake->responder = [](const Bytes&) { return std::vector<Bytes>{WireFrame({0x18})}; };
    UECPMessage bare = Request({0x2D, 0x03, 0x52, 0x53, 0x50});
    EXPECT_EQ(handler.Transact(bare), ERR_NACK_UNDEFINED);
}

TEST(MessageHandler, AnswersMatchByMecAndSubCode) {
    Handler handler;
    OpenWithWait(handler, 100);
    struct Case {
        Bytes answer;
        UECP_IO_Error expected;
    };
    const Case cases[] = {
        {{0x2D, 0x00, 0x52, 0x53, 0x7E, 0x31}, ERR_OK},
        {{0x2D, 0x00, 0x52, 0x53}, ERR_NO_ANSWER},              // too short for the sub-code
        {{0x2D, 0x00, 0x52, 0x53, 0x7F, 0x31}, ERR_NO_ANSWER},  // other sub-code
        {{0x7E, 0x00, 0x52, 0x53, 0x7E, 0x31}, ERR_NO_ANSWER},  // other MEC
        {{}, ERR_NO_ANSWER},                                    // empty field needs MEC 0
    };
    for (const Case& c : cases) {
        handler.fake->responder = [&](const Bytes&) {
            return std::vector<Bytes>{WireFrame(c.answer)};
        };
        UECPMessage message = Request({0x2D, 0x03, 0x52, 0x53, 0x7E}, 0, true);
        message.answerMec = 0x2D;
        message.answerSubCode = 0x7E;
        EXPECT_EQ(handler.Transact(message), c.expected) << testing::PrintToString(c.answer);
        EXPECT_EQ(message.answer != nullptr, c.expected == ERR_OK);
    }
}

TEST(MessageHandler, CorruptAnswerIsACrcError) {
    Handler handler;
    handler.responder = [](const Bytes&) {
        Bytes broken = WireFrame({0x2D, 0x04, 0x52, 0x53, 0x7E, 0x31});
        broken[broken.size() - 2] ^= 0x01;
        return std::vector<Bytes>{WireFrame(kAckOk), broken};
    };
    OpenWithWait(handler, 200);
    UECPMessage message = Request({0x2D, 0x03, 0x52, 0x53, 0x7E}, -1, true);
    EXPECT_EQ(handler.Transact(message), ERR_CRC);
}

TEST(MessageHandler, AFrameWakesTheWaiterAtOnce) {
    Handler handler;
    OpenWithWait(handler, 5000);
    const pid_t waiter = CurrentThreadId();
    std::thread device([&] {
        // Answer as the device would, once the request is out and the handler sleeps waiting
        // for the acknowledgement.
        EXPECT_TRUE(WaitUntil([&] { return !handler.fake->SentFrames().empty(); }))
            << "no request within 3 s";
        EXPECT_TRUE(WaitUntilAsleep(waiter)) << "the handler never slept in its wait";
        handler.fake->Deliver(WireFrame(kAckOk));
    });
    UECPMessage message = Request({0x2D, 0x03, 0x52, 0x53, 0x51, 0x01});
    const auto start = Clock::now();
    EXPECT_EQ(handler.Transact(message), ERR_OK);
    EXPECT_LT(Millis(Clock::now() - start), 1000);
    device.join();
}

TEST(MessageHandler, The33rdUnreadFramePushesOutTheFirst) {
    Handler handler;
    for (uint8_t i = 0; i < 33; ++i) {
        const Bytes wire = WireFrame({0x40, i});
        handler.OnFrame(wire.data(), static_cast<int32_t>(wire.size()), nullptr);
    }
    ASSERT_EQ(handler.received.count, 32);
    EXPECT_EQ(handler.received.items[0]->bytes[1], 1);
    EXPECT_EQ(handler.received.items[31]->bytes[1], 32);
}

TEST(MessageHandler, OpenAndCloseRules) {
    Handler handler;
    UECPMessage message = Request({0x2D});
    EXPECT_EQ(handler.Transact(message), ERR_DEVICE_NOT_OPEN);
    EXPECT_EQ(handler.sequenceCounter, 0);  // nothing sent, no advance
    EXPECT_EQ(handler.Open(), ERR_OPEN_PARAMS_NOT_SET);
    handler.Close(0);  // closed: nothing happens

    OpenWithWait(handler, 100);
    testing_support::FakeTransport* first = handler.fake;
    EXPECT_EQ(handler.Open(), ERR_DEVICE_ALREADY_OPEN);
    EXPECT_EQ(handler.fake, first);

    handler.Close(0);
    handler.openResult = ERR_CONNECT;
    EXPECT_EQ(handler.Open(), ERR_CONNECT);  // closed abortively and gone
    EXPECT_FALSE(handler.IsOpen());
    EXPECT_NE(handler.GetParams(), nullptr);  // parameters survive
}

TEST(MessageHandler, UnknownConnectionKindIsNotSupported) {
    struct OtherParams : UECP_IO_ConnectionParams {
        OtherParams() { type = 7; }
        std::unique_ptr<UECP_IO_ConnectionParams> Clone() const override {
            return std::make_unique<OtherParams>(*this);
        }
    };
    // The real transport factory, not the fake one.
    T1x_UECPMessageHandler handler;
    handler.params = std::make_unique<OtherParams>();
    EXPECT_EQ(handler.Open(), ERR_NOT_SUPPORTED);
    EXPECT_FALSE(handler.IsOpen());
}

TEST(MessageHandler, HandOverMovesTheOpenConnectionBothWays) {
    Handler coder;
    Handler netpc;
    EXPECT_EQ(coder.HandOver(netpc), ERR_OPEN_PARAMS_NOT_SET);
    TCP_ConnectionParams params("127.0.0.1", 1);
    params.responseTimeout = 100;
    coder.SetTcpParams(params);
    EXPECT_EQ(coder.HandOver(netpc), ERR_DEVICE_NOT_OPEN);  // closed: both unchanged
    EXPECT_NE(coder.GetParams(), nullptr);
    EXPECT_EQ(netpc.GetParams(), nullptr);

    ASSERT_EQ(coder.Open(), ERR_OK);
    testing_support::FakeTransport* wire = coder.fake;
    UECPMessage first = Request({0x2D}, 0);
    ASSERT_EQ(coder.Transact(first), ERR_OK);

    ASSERT_EQ(coder.HandOver(netpc), ERR_OK);
    EXPECT_FALSE(coder.IsOpen());
    EXPECT_EQ(coder.GetParams(), nullptr);
    UECPMessage refused = Request({0x2D}, 0);
    EXPECT_EQ(coder.Transact(refused), ERR_DEVICE_NOT_OPEN);
    EXPECT_TRUE(wire->isOpen);  // the connection stays open throughout

    // Frames now reach the new handler.
    wire->responder = [](const Bytes&) { return std::vector<Bytes>{WireFrame(kAckOk)}; };
    UECPMessage viaNetpc = Request({0x2D, 0x04, 0x4E, 0x53, 0x07, 0x01});
    EXPECT_EQ(netpc.Transact(viaNetpc), ERR_OK);
    EXPECT_EQ(netpc.GetParams()->responseTimeout, 100);

    ASSERT_EQ(netpc.HandOver(coder), ERR_OK);
    UECPMessage back = Request({0x2D, 0x03, 0x52, 0x53, 0x51, 0x00});
    EXPECT_EQ(coder.Transact(back), ERR_OK);
    // Each handler kept its own counter.
    const auto sent = wire->SentFrames();
    ASSERT_EQ(sent.size(), 3u);
    EXPECT_EQ(sent[1][3], 0);
    EXPECT_EQ(sent[2][3], 1);
}

TEST(MessageHandler, MultiElementAcknowledgementAndAnswers) {
    Handler handler;
    handler.responder = [](const Bytes&) {
        return std::vector<Bytes>{WireFrame({0x18, 0x00, 0x01, 0x00, 0x02}),
                                  WireFrame({0x2D, 0x00, 0x52, 0x53, 0x7E, 0x41}),
                                  WireFrame({0x2D, 0x00, 0x52, 0x53, 0x87, 0x42})};
    };
    OpenWithWait(handler, 100);
    UECPMultiMessage request;
    request.length = 10;
    request.elements = {true, true};
    request.answerSpecs = {{0x2D, 0x7E}, {0x2D, 0x87}};
    EXPECT_EQ(handler.TransactMulti(request), ERR_OK);
    EXPECT_EQ(request.results, (std::vector<UECP_IO_Error>{ERR_OK, ERR_OK}));
    ASSERT_EQ(request.answers.size(), 2u);
    EXPECT_EQ(request.answers[1]->bytes[5], 0x42);

    // A short acknowledgement leaves the missing entries unconfirmed.
    handler.fake->responder = [](const Bytes&) {
        return std::vector<Bytes>{WireFrame({0x18, 0x00, 0x01, 0x00, 0x07})};
    };
    UECPMultiMessage shortAck;
    shortAck.elements = {false, false, false};
    EXPECT_EQ(handler.TransactMulti(shortAck), ERR_NACK_UNDEFINED);
    EXPECT_EQ(shortAck.results, (std::vector<UECP_IO_Error>{ERR_OK, ERR_OK, ERR_NACK_UNDEFINED}));
}

}  // namespace
