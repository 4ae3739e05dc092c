// Whatever reaches the simulated coder and its NetPC, in whatever state and at whatever time,
// it answers only with frames that carry a valid CRC (noise between them included) and never
// with an answer due before the request came.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstddef>
#include <cstdint>
#include <vector>

#include "sim/SimDevice.h"
#include "support/Frames.h"
#include "transport/AutoFrameBuffer.h"
#include "uecp/FrameCodec.h"

namespace {

void Check(bool condition) {
    if (!condition) {
        __builtin_trap();
    }
}

// Collects the frames an assembler delivers.
struct Collector : FrameReader {
    std::vector<Bytes> frames;
    void OnFrame(const uint8_t* frame, int32_t length, AutoFrameBuffer*) override {
        frames.emplace_back(frame, frame + length);
    }
    void OnFrameDiscarded() override {}
};

SimOptions OptionsFrom(FuzzedDataProvider& input) {
    SimOptions options;
    options.state =
        input.ConsumeBool() ? SimOptions::StartState::Bios : SimOptions::StartState::Firmware;
    options.transferMode = input.ConsumeBool() ? 1 : 0;
    options.oldNetPc = input.ConsumeBool();
    options.noise = input.ConsumeBool();
    options.stayInBios = input.ConsumeBool();
    options.noFinishAck = input.ConsumeBool();
    options.noReconnect = input.ConsumeBool();
    if (input.ConsumeBool()) {
        options.biosVersion.reset();
    }
    if (input.ConsumeBool()) {
        options.mainPort.reset();
    }
    static constexpr uint32_t kRates[] = {1200, 2400, 9600, 19200, 115200};
    options.baud = input.PickValueInArray(kRates);
    options.eraseMs = input.ConsumeIntegralInRange(0, 300);
    options.timeScale = input.ConsumeBool() ? 1.0 : 0.01;
    if (input.ConsumeBool()) {
        options.nacks.push_back({input.ConsumeIntegralInRange<int64_t>(0, 8),
                                 input.ConsumeIntegral<uint8_t>(),
                                 input.ConsumeIntegralInRange(-1, 3)});
    }
    if (input.ConsumeBool()) {
        options.eraseNacks.push_back({input.ConsumeIntegralInRange<uint8_t>(0, 2),
                                      input.ConsumeIntegralInRange<uint8_t>(1, 255)});
    }
    if (input.ConsumeBool()) {
        options.loseAcks.push_back(input.ConsumeIntegralInRange<int64_t>(0, 8));
    }
    if (input.ConsumeBool()) {
        options.dropAfter = input.ConsumeIntegralInRange<int64_t>(0, 8);
    }
    return options;
}

// A request as the line carries it: mostly well-formed coder or NetPC requests around fuzzed
// arguments, sometimes arbitrary bytes.
Bytes RequestFrom(FuzzedDataProvider& input) {
    const uint8_t kind = input.ConsumeIntegral<uint8_t>();
    if ((kind & 3) == 0) {
        return input.ConsumeBytes<uint8_t>(input.ConsumeIntegralInRange(0, 300));
    }
    static constexpr uint8_t kCodes[] = {0x7E, 0x87, 0xCE, 0x7B, 0x7F, 0xB1, 0xB2, 0xEF,
                                         0x51, 0x50, 0x53, 0x06, 0x07, 0x04, 0x00};
    Bytes field = {0x2D, 0x03, static_cast<uint8_t>((kind & 4) != 0 ? 'N' : 'R'), 'S',
                   input.PickValueInArray(kCodes)};
    const Bytes arguments = input.ConsumeBytes<uint8_t>(input.ConsumeIntegralInRange(0, 250));
    field.insert(field.end(), arguments.begin(), arguments.end());
    return testing_support::WireFrame(field, input.ConsumeIntegral<uint8_t>(),
                                      input.ConsumeIntegral<uint16_t>());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzedDataProvider input(data, size);
    const SimOptions options = OptionsFrom(input);
    SimDevice device(options);
    const LinkKind kind = input.ConsumeBool() ? LinkKind::Serial : LinkKind::Tcp;

    Collector requests;
    AutoFrameBuffer line(&requests);
    SimTime now{0};
    for (int i = 0; i < 64 && input.remaining_bytes() > 0; ++i) {
        now += SimTime(input.ConsumeIntegralInRange<int64_t>(0, 10'000'000));
        LinkInfo link{kind, 0};
        if (kind == LinkKind::Serial) {
            link.baud = input.ConsumeBool() ? CoderDevice::kBiosBaud : options.baud;
        }
        const Bytes wire = RequestFrom(input);
        line.Put(wire.data(), static_cast<int32_t>(wire.size()));
        std::vector<Bytes> frames;
        frames.swap(requests.frames);
        for (const Bytes& frame : frames) {
            const std::vector<Emission> emissions =
                device.OnFrame(frame.data(), static_cast<int32_t>(frame.size()), link, now);
            for (const Emission& emission : emissions) {
                Check(emission.due >= now);
                Collector answers;
                AutoFrameBuffer reader(&answers);
                reader.Put(emission.bytes.data(), static_cast<int32_t>(emission.bytes.size()));
                for (const Bytes& answer : answers.frames) {
                    const auto parsed =
                        ParseFrame(answer.data(), static_cast<int32_t>(answer.size()));
                    Check(parsed->crcOk);
                }
            }
        }
        if (kind == LinkKind::Serial && input.ConsumeBool()) {
            device.Coder().SerialLineClosed();
        }
    }
    return 0;
}
