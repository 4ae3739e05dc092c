#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "protocol/T1xDeviceInfo.h"
#include "protocol/UECPMultiMessage.h"
#include "transport/FrameDataListCS.h"
#include "transport/FrameReader.h"
#include "transport/MyCriticalSection.h"
#include "transport/SIO_ConnectionParams.h"
#include "transport/TCP_ConnectionParams.h"
#include "transport/UECP_IO.h"
#include "uecp/ResultCodes.h"
#include "uecp/UECPMessage.h"

constexpr int kHandlerKindCoder = 2;
constexpr int kHandlerKindNetPC = 3;

// The request/response engine between the update procedure and one transport. Frames arrive on
// the transport's I/O thread and wait in `received` until an exchange takes them; a waiting
// exchange blocks on that list and wakes the moment a frame is queued.
class UECPMessageHandler : public FrameReader, public MyCriticalSection {
public:
    static constexpr int32_t kMaxReceived = 32;

    UECPMessageHandler() = default;
    // Derived handlers close in their own destructors, so the I/O thread never calls into a
    // half-destroyed object.
    ~UECPMessageHandler() override;

    void OnFrame(const uint8_t* data, int32_t length, AutoFrameBuffer* source) override;
    void OnFrameDiscarded() override {}
    virtual int GetKind() const = 0;
    virtual void OnFrameSent(const uint8_t* /*data*/, int32_t /*length*/) {}
    virtual bool AcceptFrame(const uint8_t* /*data*/, int32_t /*length*/) { return true; }
    virtual UECP_IO_Error Open();
    // flag 1 closes abortively.
    virtual void Close(int flag);
    virtual UECP_IO_Error Transact(UECPMessage& message);
    virtual UECP_IO_Error TransactMulti(UECPMultiMessage& request);
    virtual UECP_IO_Error SendFrame(UECPMessage& message);
    virtual UECP_IO_Error WaitForAnswer(UECPMessage& message);
    virtual void FlushReceived();
    virtual UECP_IO_Error QueryText7F(std::string& text, uint16_t address);
    virtual UECP_IO_Error ReadDeviceInfo(T1xDeviceInfo& info, uint16_t address);
    virtual UECP_IO_Error QueryWordB1(uint16_t& value, uint16_t address);
    virtual UECP_IO_Error SendBlockB2(const ByteBuffer& buffer, uint16_t address);

    void SetSerialParams(const SIO_ConnectionParams& serialParams);
    void SetTcpParams(const TCP_ConnectionParams& tcpParams);
    const UECP_IO_ConnectionParams* GetParams() const { return params.get(); }
    // Lends the open transport and the parameters to `target`; both stay as they are.
    UECP_IO_Error HandOver(UECPMessageHandler& target);
    UECP_IO_Error WaitForAck(UECPMessage& message);
    UECP_IO_Error TakeFrame(std::unique_ptr<FrameData>& frame, int32_t timeoutMs);
    bool IsOpen() const { return transport != nullptr; }
    // Bytes that came back on the open connection so far; 0 when none is open.
    uint64_t BytesReceived() const { return transport ? transport->bytesReceived.load() : 0; }
    // Why the last Open() failed, as the transport saw it; kind None after a good one.
    const OpenFailure& LastOpenFailure() const { return m_lastOpenFailure; }

    FrameDataListCS received;
    std::unique_ptr<UECP_IO_ConnectionParams> params;
    std::unique_ptr<UECP_IO> transport;
    uint8_t sequenceCounter = 0;

protected:
    // Creates the transport for the parameters' kind, stores it in `transport` and opens it.
    // Tests replace it to put a double in place of a real connection.
    virtual UECP_IO_Error OpenTransport();
    // Queues a parsed frame, dropping the oldest beyond kMaxReceived.
    void StoreFrame(std::unique_ptr<FrameData> frame);

private:
    int32_t WaitBudget(int32_t timeoutMs) const;
    UECP_IO_Error WaitForMatch(std::unique_ptr<FrameData>& answer, uint8_t answerMec,
                               uint8_t answerSubCode, int32_t timeoutMs);
    void AdvanceCounter();

    OpenFailure m_lastOpenFailure;
};
