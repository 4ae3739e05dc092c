#include "transport/UECP_IO.h"

#include <chrono>
#include <thread>

#include "transport/IOHook.h"
#include "transport/Stopwatch.h"

UECP_IO::UECP_IO(FrameReader* reader)
    : frameBuffer(std::make_unique<AutoFrameBuffer>(reader)),
      sendQueue(std::make_unique<RingBufferCS>(kSendQueueCapacity)) {}

UECP_IO::~UECP_IO() {
    // The concrete destructors have stopped the thread; stop again in case a test double did not.
    Stop();
}

void UECP_IO::NotifyOpenResult(int32_t result) {
    if (params && params->openCallback != nullptr && Started()) {
        params->openCallback(this, 1, result, params->openCallbackData);
    }
}

UECP_IO_Error UECP_IO::AcceptParams(const UECP_IO_ConnectionParams& openParams) {
    if (isOpening || isOpen) {
        return ERR_DEVICE_ALREADY_OPEN;
    }
    params = openParams.Clone();
    return ERR_OK;
}

void UECP_IO::SetFrameReader(FrameReader* reader) {
    frameBuffer->SetReader(reader);
}

void UECP_IO::ClearSendBuffer() {
    CriticalSectionLock hold(*sendQueue);
    sendQueue->Clear();
}

UECP_IO_Error UECP_IO::SendBuffer(const ByteBuffer& buffer) {
    return Send(buffer.bytes.get(), buffer.size);
}

UECP_IO_Error UECP_IO::Send(const uint8_t* data, int32_t length) {
    if (!isOpen) {
        return ERR_DEVICE_NOT_OPEN;
    }
    {
        CriticalSectionLock hold(*sendQueue);
        if (!sendQueue->Write(data, length)) {
            return ERR_SEND_BUFFER_FULL;
        }
    }
    OnSendQueued();
    Stopwatch watch;
    const auto budget = static_cast<uint32_t>(params ? params->sendTimeout : 0);
    for (;;) {
        {
            CriticalSectionLock hold(*sendQueue);
            if (sendQueue->count == 0) {
                return ERR_OK;
            }
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
        if (watch.Elapsed() >= budget) {
            return ERR_SEND_TIMEOUT;
        }
    }
}

void UECP_IO::ReceivePump() {
    if (!isOpen || stopRequested) {
        return;
    }
    while (!stopRequested) {
        const int32_t n = ReadRaw(ioBuffer, kIoPiece);
        if (n < 0) {
            OnReadError();
            return;
        }
        if (n == 0) {
            return;
        }
        bytesReceived.fetch_add(static_cast<uint64_t>(n), std::memory_order_relaxed);
        IOHookList::Instance().Notify(ioBuffer, n, kDirectionReceived);
        frameBuffer->Put(ioBuffer, n);
    }
}

void UECP_IO::SendPump() {
    if (stopRequested || !isOpen) {
        return;
    }
    CriticalSectionLock hold(*sendQueue);
    uint8_t piece[kIoPiece];  // ioBuffer belongs to the receive pump
    while (sendQueue->count > 0 && !stopRequested) {
        const int32_t n = std::min(sendQueue->count, kIoPiece);
        sendQueue->Peek(piece, n);
        const int32_t written = WriteRaw(piece, n);
        if (written == -2) {
            OnWriteError();
            return;
        }
        if (written <= 0) {
            return;
        }
        IOHookList::Instance().Notify(piece, written, kDirectionSent);
        sendQueue->Read(nullptr, written);
    }
}

void UECP_IO::Run() {
    // No time-critical level here; the 1 ms pass is the default body's own pace.
    while (!stopRequested) {
        try {
            SendPump();
            ReceivePump();
        } catch (...) {
            return;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
}
