// The NetPC parser never reads outside the delivered frame, whichever of its three shapes the
// bytes claim, and the NetPC's transfer-mode exchanges survive any answer.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstddef>
#include <cstdint>

#include "FuzzedAnswers.h"
#include "protocol/ArmNetPC_UECPMessageHandler.h"

namespace {

using Handler = testing_support::FakeOpenHandler<ArmNetPC_UECPMessageHandler>;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // The whole input as one delivered frame, in a buffer of exactly its size.
    const auto frame =
        ArmNetPC_UECPMessageHandler::ParseNetPCFrame(data, static_cast<int32_t>(size));
    // A raw frame's field is at most 65535 bytes, the others' at most 255 (the length byte).
    if (frame->size < 0 || frame->size > 65535 || (frame->size > 0 && frame->bytes == nullptr)) {
        __builtin_trap();
    }

    FuzzedDataProvider input(data, size);
    Handler handler;
    if (!fuzz_support::OpenAnsweringFrom(handler, input)) {
        __builtin_trap();
    }
    for (int i = 0; i < 16 && input.remaining_bytes() > 0; ++i) {
        const auto address = input.ConsumeIntegral<uint16_t>();
        if (input.ConsumeBool()) {
            uint8_t mode = 0xAA;
            if (handler.QueryTransferMode(mode, address) != ERR_OK && mode != 0xAA) {
                __builtin_trap();  // a failed query leaves the mode alone
            }
        } else {
            handler.SetTransferMode(input.ConsumeIntegral<uint8_t>(), address);
        }
    }
    return 0;
}
