#pragma once

#include <atomic>
#include <cstdint>
#include <memory>

#include "transport/AutoFrameBuffer.h"
#include "transport/IOThread.h"
#include "transport/OpenFailure.h"
#include "transport/RingBuffer.h"
#include "transport/UECP_IO_ConnectionParams.h"
#include "uecp/ByteBuffer.h"
#include "uecp/ResultCodes.h"

// The abstract transport: an I/O thread that pushes received bytes through the hooks and the
// frame assembler to the reader, a send queue and default pumps for transports that only
// supply WriteRaw and ReadRaw. Concrete transports open with their own Open(params).
class UECP_IO : public IOThread {
public:
    static constexpr int32_t kSendQueueCapacity = 8192;
    static constexpr int32_t kIoPiece = 256;

    explicit UECP_IO(FrameReader* reader);
    ~UECP_IO() override;

    // Default body: send pump, receive pump, 1 ms pause.
    void Run() override;

    virtual void OnSendQueued() {}
    virtual void OnReadError() {}
    virtual void OnWriteError() {}
    virtual void NotifyOpenResult(int32_t result);
    virtual void Close(bool abortive) = 0;
    // Returns once every byte is out, or with ERR_SEND_TIMEOUT.
    virtual UECP_IO_Error Send(const uint8_t* data, int32_t length);
    virtual UECP_IO_Error SendBuffer(const ByteBuffer& buffer);
    virtual void ClearSendBuffer();
    // Bytes written, -2 on an error, 0 when nothing could be written.
    virtual int32_t WriteRaw(const uint8_t* data, int32_t length) = 0;
    // Bytes read, 0 when none are waiting, -1 on an error.
    virtual int32_t ReadRaw(uint8_t* buffer, int32_t capacity) = 0;

    void SetFrameReader(FrameReader* reader);
    UECP_IO_Error AcceptParams(const UECP_IO_ConnectionParams& openParams);
    void ReceivePump();
    void SendPump();

    std::unique_ptr<UECP_IO_ConnectionParams> params;
    std::unique_ptr<AutoFrameBuffer> frameBuffer;
    std::unique_ptr<RingBufferCS> sendQueue;
    std::atomic<bool> isOpen{false};
    std::atomic<bool> isOpening{false};
    uint8_t ioBuffer[kIoPiece] = {};
    // The system's reason for the last refused open; kind None after a good one.
    OpenFailure openFailure;
    // Bytes received on this connection: none at all tells a silent peer from one that
    // answered something the engine did not take.
    std::atomic<uint64_t> bytesReceived{0};
};
