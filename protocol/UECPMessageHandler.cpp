#include "protocol/UECPMessageHandler.h"

#include <algorithm>
#include <cstring>

#include "transport/Serial_UECP_IO_2.h"
#include "transport/Stopwatch.h"
#include "transport/TCP_UECP_IO_2.h"
#include "uecp/FrameCodec.h"

namespace {

constexpr uint8_t kAckMec = 0x18;

bool Matches(const FrameData& frame, uint8_t answerMec, uint8_t answerSubCode) {
    if (frame.size == 0) {
        return answerMec == 0;
    }
    const bool mecOk = answerMec == 0 || frame.bytes[0] == answerMec;
    const bool subOk = answerSubCode == 0 || (frame.size >= 5 && frame.bytes[4] == answerSubCode);
    return mecOk && subOk;
}

// A bare 0x18 carries no code. It confirms nothing, so it counts as an undefined negative
// acknowledgement: a block it "acknowledges" is sent again rather than assumed written.
UECP_IO_Error AckResult(const FrameData& ack) {
    if (ack.size < 2) {
        return ERR_NACK_UNDEFINED;
    }
    return AckCodeToError(ack.bytes[1]);
}

bool IsAck(const FrameData& frame) {
    return frame.size > 0 && frame.bytes[0] == kAckMec;
}

// Per-element codes of a multi-element acknowledgement: each entry is a code byte and one more
// byte, plus a third when the code is not 0. Entries the field does not hold count as undefined,
// like a bare acknowledgement.
void ReadElementCodes(const FrameData& ack, size_t elementCount,
                      std::vector<UECP_IO_Error>& results) {
    if (ack.size == 2 || ack.size == 3) {
        results.assign(elementCount, AckCodeToError(ack.bytes[1]));
        return;
    }
    int32_t at = 1;
    for (size_t i = 0; i < elementCount; ++i) {
        if (at >= ack.size) {
            results.push_back(ERR_NACK_UNDEFINED);
            continue;
        }
        const uint8_t code = ack.bytes[at];
        results.push_back(AckCodeToError(code));
        at += code == 0 ? 2 : 3;
    }
}

}  // namespace

UECPMessageHandler::~UECPMessageHandler() {
    Close(0);
}

void UECPMessageHandler::OnFrame(const uint8_t* data, int32_t length, AutoFrameBuffer*) {
    StoreFrame(ParseFrame(data, length));
}

void UECPMessageHandler::StoreFrame(std::unique_ptr<FrameData> frame) {
    received.Push(std::move(frame), kMaxReceived);
}

void UECPMessageHandler::SetSerialParams(const SIO_ConnectionParams& serialParams) {
    params = serialParams.Clone();
}

void UECPMessageHandler::SetTcpParams(const TCP_ConnectionParams& tcpParams) {
    params = std::make_unique<TCP_ConnectionParams>(tcpParams);
}

UECP_IO_Error UECPMessageHandler::Open() {
    if (transport) {
        return ERR_DEVICE_ALREADY_OPEN;
    }
    sequenceCounter = 0;
    FlushReceived();
    m_lastOpenFailure = OpenFailure{};
    if (!params) {
        return ERR_OPEN_PARAMS_NOT_SET;
    }
    const UECP_IO_Error result = OpenTransport();
    if (result != ERR_OK) {
        if (transport) {
            m_lastOpenFailure = transport->openFailure;
        }
        Close(1);
        return result;
    }
    return ERR_OK;
}

UECP_IO_Error UECPMessageHandler::OpenTransport() {
    switch (params->type) {
        case kConnectionSerial: {
            auto serial = std::make_unique<Serial_UECP_IO_2>(this);
            Serial_UECP_IO_2* opening = serial.get();
            transport = std::move(serial);
            return opening->Open(static_cast<const SIO_ConnectionParams&>(*params));
        }
        case kConnectionTcp: {
            auto tcp = std::make_unique<TCP_UECP_IO_2>(this);
            TCP_UECP_IO_2* opening = tcp.get();
            transport = std::move(tcp);
            return opening->Open(static_cast<const TCP_ConnectionParams&>(*params));
        }
        default:
            return ERR_NOT_SUPPORTED;
    }
}

void UECPMessageHandler::Close(int flag) {
    if (!transport) {
        return;
    }
    transport->Close(flag != 0);
    transport.reset();
}

UECP_IO_Error UECPMessageHandler::HandOver(UECPMessageHandler& target) {
    if (!params) {
        return ERR_OPEN_PARAMS_NOT_SET;
    }
    if (!transport) {
        return ERR_DEVICE_NOT_OPEN;
    }
    transport->SetFrameReader(nullptr);
    std::unique_ptr<UECP_IO> lent = std::move(transport);
    std::unique_ptr<UECP_IO_ConnectionParams> lentParams = std::move(params);
    target.Close(0);
    target.params.reset();
    target.transport = std::move(lent);
    target.transport->SetFrameReader(&target);
    target.params = std::move(lentParams);
    return ERR_OK;
}

void UECPMessageHandler::FlushReceived() {
    received.Clear();
}

int32_t UECPMessageHandler::WaitBudget(int32_t timeoutMs) const {
    if (timeoutMs != -1) {
        return std::max(timeoutMs, 0);
    }
    return params ? std::max(params->responseTimeout, 0) : 0;
}

void UECPMessageHandler::AdvanceCounter() {
    sequenceCounter = sequenceCounter == 255 ? 1 : static_cast<uint8_t>(sequenceCounter + 1);
}

UECP_IO_Error UECPMessageHandler::Transact(UECPMessage& message) {
    CriticalSectionLock hold(*this);
    if (!transport) {
        return ERR_DEVICE_NOT_OPEN;
    }
    UECP_IO_Error result = SendFrame(message);
    if (result == ERR_OK && message.AwaitsAck()) {
        result = WaitForAck(message);
    }
    if (result == ERR_OK && message.expectAnswer) {
        result = WaitForAnswer(message);
    }
    AdvanceCounter();
    return result;
}

UECP_IO_Error UECPMessageHandler::SendFrame(UECPMessage& message) {
    uint8_t frame[kMaxStuffedFrame];
    int32_t length = 0;
    BuildFrame(message, sequenceCounter, frame, length);
    transport->ClearSendBuffer();
    FlushReceived();
    const UECP_IO_Error result = transport->Send(frame, length);
    if (result == ERR_OK) {
        OnFrameSent(frame, length);
    }
    return result;
}

UECP_IO_Error UECPMessageHandler::TakeFrame(std::unique_ptr<FrameData>& frame, int32_t timeoutMs) {
    frame = received.WaitTakeFirst(static_cast<uint32_t>(WaitBudget(timeoutMs)));
    if (!frame) {
        return ERR_READ_TIMEOUT;
    }
    if (!frame->crcOk) {
        frame.reset();
        return ERR_CRC;
    }
    return ERR_OK;
}

UECP_IO_Error UECPMessageHandler::WaitForAck(UECPMessage& message) {
    const auto budget = static_cast<uint32_t>(WaitBudget(message.timeoutMs));
    Stopwatch watch;
    do {
        std::unique_ptr<FrameData> frame;
        // Silence and corrupt frames only use up the budget; the first acknowledgement counts.
        if (TakeFrame(frame, static_cast<int32_t>(watch.Remaining(budget))) == ERR_OK &&
            IsAck(*frame)) {
            return AckResult(*frame);
        }
    } while (watch.Elapsed() < budget);
    return ERR_NO_ACK;
}

UECP_IO_Error UECPMessageHandler::WaitForMatch(std::unique_ptr<FrameData>& answer,
                                               uint8_t answerMec, uint8_t answerSubCode,
                                               int32_t timeoutMs) {
    const auto budget = static_cast<uint32_t>(WaitBudget(timeoutMs));
    Stopwatch watch;
    // Silence is a read time-out; frames that came but did not match are "no answer", also
    // when the budget runs out while waiting for the next one.
    bool sawOtherFrame = false;
    do {
        std::unique_ptr<FrameData> frame;
        const UECP_IO_Error result =
            TakeFrame(frame, static_cast<int32_t>(watch.Remaining(budget)));
        if (result == ERR_READ_TIMEOUT && sawOtherFrame) {
            return ERR_NO_ANSWER;
        }
        if (result != ERR_OK) {
            return result;
        }
        if (Matches(*frame, answerMec, answerSubCode)) {
            answer = std::move(frame);
            return ERR_OK;
        }
        sawOtherFrame = true;
    } while (watch.Elapsed() < budget);
    return ERR_NO_ANSWER;
}

UECP_IO_Error UECPMessageHandler::WaitForAnswer(UECPMessage& message) {
    return WaitForMatch(message.answer, message.answerMec, message.answerSubCode,
                        message.timeoutMs);
}

UECP_IO_Error UECPMessageHandler::TransactMulti(UECPMultiMessage& request) {
    CriticalSectionLock hold(*this);
    if (!transport) {
        return ERR_DEVICE_NOT_OPEN;
    }
    UECPMessage single;
    std::memcpy(single.data, request.data, sizeof single.data);
    single.length = request.length;
    single.address = request.address;
    single.ackMode = request.ackMode;
    single.timeoutMs = request.timeoutMs;

    UECP_IO_Error result = SendFrame(single);
    if (result == ERR_OK && single.AwaitsAck()) {
        result = ERR_NO_ACK;
        const auto budget = static_cast<uint32_t>(WaitBudget(request.timeoutMs));
        Stopwatch watch;
        do {
            std::unique_ptr<FrameData> frame;
            if (TakeFrame(frame, static_cast<int32_t>(watch.Remaining(budget))) == ERR_OK &&
                IsAck(*frame)) {
                ReadElementCodes(*frame, request.elements.size(), request.results);
                auto failed = std::find_if(request.results.begin(), request.results.end(),
                                           [](UECP_IO_Error r) { return r != ERR_OK; });
                result = failed == request.results.end() ? ERR_OK : *failed;
                break;
            }
        } while (watch.Elapsed() < budget);
    }

    if (result == ERR_OK || !request.results.empty()) {
        UECP_IO_Error lastWait = ERR_OK;
        size_t nextAnswer = 0;
        for (size_t i = 0; i < request.elements.size() && i < request.results.size(); ++i) {
            if (!request.elements[i]) {
                continue;
            }
            if (request.results[i] == ERR_OK && nextAnswer < request.answerSpecs.size()) {
                std::unique_ptr<FrameData> answer;
                lastWait = WaitForMatch(answer, request.answerSpecs[nextAnswer].first,
                                        request.answerSpecs[nextAnswer].second, request.timeoutMs);
                if (lastWait != ERR_OK) {
                    break;
                }
                request.answers.push_back(std::move(answer));
            }
            ++nextAnswer;
        }
        if (result == ERR_OK) {
            result = lastWait;
        }
    }
    AdvanceCounter();
    return result;
}

UECP_IO_Error UECPMessageHandler::QueryText7F(std::string&, uint16_t) {
    return ERR_NOT_SUPPORTED;
}

UECP_IO_Error UECPMessageHandler::ReadDeviceInfo(T1xDeviceInfo&, uint16_t) {
    return ERR_NOT_SUPPORTED;
}

UECP_IO_Error UECPMessageHandler::QueryWordB1(uint16_t&, uint16_t) {
    return ERR_NOT_SUPPORTED;
}

UECP_IO_Error UECPMessageHandler::SendBlockB2(const ByteBuffer&, uint16_t) {
    return ERR_NOT_SUPPORTED;
}
