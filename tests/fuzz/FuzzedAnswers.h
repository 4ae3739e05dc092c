#pragma once

// The far side of a fuzzed exchange: every frame the handler sends is answered with frames the
// fuzz input describes, delivered through the transport's own frame assembler as the I/O
// thread would deliver them. The handler waits 0 ms, so an exchange without an answer ends at
// once.

#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>
#include <vector>

#include "support/FakeTransport.h"

namespace fuzz_support {

using testing_support::Bytes;

// One answer record: a count byte (0 to 3 frames), then per frame a kind byte and its bytes.
// Kind bit 0: raw line bytes, unframed. Otherwise a frame with a valid CRC around a field that
// starts with the request's first five bytes (bit 1) and/or an acknowledgement MEC (bit 2),
// so that answers the handler takes for its own are common.
inline std::vector<Bytes> AnswerFrom(FuzzedDataProvider& input, const Bytes& requestField) {
    std::vector<Bytes> answers;
    const int count = input.ConsumeIntegral<uint8_t>() & 3;
    for (int i = 0; i < count && input.remaining_bytes() > 0; ++i) {
        const uint8_t kind = input.ConsumeIntegral<uint8_t>();
        if ((kind & 1) != 0) {
            answers.push_back(input.ConsumeBytes<uint8_t>(input.ConsumeIntegralInRange(0, 600)));
            continue;
        }
        Bytes field;
        if ((kind & 4) != 0) {
            field.push_back(0x18);
        }
        if ((kind & 2) != 0) {
            const size_t echoed = requestField.size() < 5 ? requestField.size() : 5;
            field.insert(field.end(), requestField.begin(), requestField.begin() + echoed);
        }
        const Bytes rest = input.ConsumeBytes<uint8_t>(input.ConsumeIntegralInRange(0, 255));
        field.insert(field.end(), rest.begin(), rest.end());
        if (field.size() > 255) {
            field.resize(255);
        }
        answers.push_back(testing_support::WireFrame(field, kind >> 3));
    }
    return answers;
}

// Opens `handler` (a FakeOpenHandler) on a fake transport that answers from `input`.
template <typename Handler>
bool OpenAnsweringFrom(Handler& handler, FuzzedDataProvider& input) {
    handler.responder = [&input](const Bytes& field) { return AnswerFrom(input, field); };
    TCP_ConnectionParams params("127.0.0.1", 1);
    params.responseTimeout = 0;
    handler.SetTcpParams(params);
    return handler.Open() == ERR_OK;
}

}  // namespace fuzz_support
