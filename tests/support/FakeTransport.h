#pragma once

// A transport double for engine tests: records every frame the handler sends and lets a scripted
// device answer by pushing bytes through the transport's own frame assembler, as the I/O thread
// would.

#include <functional>
#include <memory>
#include <mutex>
#include <vector>

#include "protocol/UECPMessageHandler.h"
#include "support/Frames.h"
#include "transport/UECP_IO.h"
#include "uecp/FrameCodec.h"

namespace testing_support {

class FakeTransport : public UECP_IO {
public:
    using Responder = std::function<std::vector<Bytes>(const Bytes& field)>;

    explicit FakeTransport(FrameReader* reader) : UECP_IO(reader) { isOpen = true; }
    ~FakeTransport() override { Stop(); }

    void Close(bool abortive) override {
        closedAbortively = abortive;
        isOpen = false;
    }

    UECP_IO_Error Send(const uint8_t* data, int32_t length) override {
        Bytes plain(kMaxStuffedFrame);
        int32_t m = 0;
        Unstuff(data, length, plain.data(), m);
        plain.resize(static_cast<size_t>(m));
        {
            std::lock_guard<std::mutex> hold(mutex_);
            sent.push_back(plain);
        }
        if (sendResult != ERR_OK) {
            return sendResult;
        }
        if (responder) {
            const Bytes field(plain.begin() + 5, plain.end() - 3);
            for (const Bytes& answer : responder(field)) {
                Deliver(answer);
            }
        }
        return ERR_OK;
    }

    // Bytes as if read from the device. Callers feed one at a time.
    void Deliver(const Bytes& wire) {
        frameBuffer->Put(wire.data(), static_cast<int32_t>(wire.size()));
    }

    int32_t WriteRaw(const uint8_t*, int32_t) override { return 0; }
    int32_t ReadRaw(uint8_t*, int32_t) override { return 0; }

    std::vector<Bytes> SentFrames() {
        std::lock_guard<std::mutex> hold(mutex_);
        return sent;
    }

    Responder responder;
    UECP_IO_Error sendResult = ERR_OK;
    bool closedAbortively = false;

private:
    std::mutex mutex_;
    std::vector<Bytes> sent;  // unstuffed frames
};

// A handler of kind Base whose Open installs a FakeTransport.
template <typename Base>
class FakeOpenHandler : public Base {
public:
    ~FakeOpenHandler() override { this->Close(0); }

    UECP_IO_Error openResult = ERR_OK;
    FakeTransport* fake = nullptr;
    FakeTransport::Responder responder;

protected:
    UECP_IO_Error OpenTransport() override {
        auto transport = std::make_unique<FakeTransport>(this);
        fake = transport.get();
        fake->responder = responder;
        this->transport = std::move(transport);
        return openResult;
    }
};

}  // namespace testing_support
