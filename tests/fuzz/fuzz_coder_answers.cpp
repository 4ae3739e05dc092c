// Whatever a coder answers, the coder command set's queries stay inside their buffers, and a
// query that succeeds delivers no more than its answer may hold.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "FuzzedAnswers.h"
#include "protocol/T1x_UECPMessageHandler.h"

namespace {

using Handler = testing_support::FakeOpenHandler<T1x_UECPMessageHandler>;

void Check(bool condition) {
    if (!condition) {
        __builtin_trap();
    }
}

void RunOne(Handler& handler, FuzzedDataProvider& input) {
    const auto address = input.ConsumeIntegral<uint16_t>();
    std::string text;
    uint16_t word = 0;
    switch (input.ConsumeIntegralInRange(0, 11)) {
        case 0: {
            T1xDeviceInfo info;
            if (handler.ReadDeviceInfo(info, address) == ERR_OK) {
                Check(info.text7F.size() <= 10 && info.firmwareVersion.size() <= 5);
                Check(info.deviceClass >= 0 && info.deviceClass <= 2);
            }
            break;
        }
        case 1:
            if (handler.QueryBiosVersion(text, 0, address) == ERR_OK) {
                Check(text.size() <= 4);
            }
            break;
        case 2:
            handler.QueryWord(T1x_UECPMessageHandler::kCmdMainPort, word, address);
            break;
        case 3:
            handler.QueryWordB1(word, address);
            break;
        case 4: {
            uint8_t buffer[64];
            const int32_t capacity = input.ConsumeIntegralInRange<int32_t>(0, sizeof buffer);
            int32_t length = capacity;
            const auto code = input.ConsumeIntegral<uint8_t>();
            if (handler.Query(code, buffer, length, address, input.ConsumeBool()) == ERR_OK) {
                Check(length >= 0 && length <= capacity);
            }
            break;
        }
        case 5:
            handler.StartFirmwareUpdate(address);
            break;
        case 6:
            handler.EraseFlash(input.ConsumeIntegral<uint8_t>(), address);
            break;
        case 7: {
            const auto block = input.ConsumeBytes<uint8_t>(input.ConsumeIntegralInRange(0, 250));
            handler.WriteBlock(block.data(), static_cast<int32_t>(block.size()),
                               input.ConsumeIntegral<uint16_t>(), input.ConsumeIntegral<uint16_t>(),
                               address);
            break;
        }
        case 8:
            handler.FinishFlashProgramming(address);
            break;
        case 9: {
            const auto bytes = input.ConsumeBytes<uint8_t>(input.ConsumeIntegralInRange(13, 15));
            ByteBuffer block(static_cast<int32_t>(bytes.size()), bytes.data());
            handler.SendBlockB2(block, address);
            break;
        }
        case 10:
            if (handler.QueryDeviceName(text, address) == ERR_OK) {
                Check(text.size() <= 10);
            }
            break;
        default: {
            // Several elements in one frame, some of which expect answers of their own.
            UECPMultiMessage request;
            request.data[0] = 0x2D;
            request.length = 1;
            request.address = address;
            request.timeoutMs = 0;
            const int elements = input.ConsumeIntegralInRange(0, 4);
            for (int i = 0; i < elements; ++i) {
                request.elements.push_back(input.ConsumeBool());
                request.answerSpecs.emplace_back(input.ConsumeBool() ? 0x2D : 0,
                                                 input.ConsumeIntegral<uint8_t>() & 0x81);
            }
            handler.TransactMulti(request);
            Check(request.answers.size() <= request.elements.size());
            Check(request.results.size() <= request.elements.size());
            break;
        }
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzedDataProvider input(data, size);
    Handler handler;
    if (!fuzz_support::OpenAnsweringFrom(handler, input)) {
        __builtin_trap();
    }
    for (int i = 0; i < 32 && input.remaining_bytes() > 0; ++i) {
        RunOne(handler, input);
    }
    return 0;
}
