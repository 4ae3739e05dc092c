#include "transport/AutoFrameBuffer.h"

void AutoFrameBuffer::Put(const uint8_t* data, int32_t n) {
    if (data == nullptr) {
        return;
    }
    for (int32_t i = 0; i < n; ++i) {
        const uint8_t b = data[i];
        if (!inFrame && b != kFrameStart) {
            continue;
        }
        if (b == kFrameStart) {
            if (inFrame) {
                Discard();
            }
            length = 0;
            inFrame = true;
        }
        frame[length++] = b;
        if (b == kFrameStop) {
            Deliver();
            inFrame = false;
            length = 0;
        } else if (length == kMaxStuffedFrame) {
            Discard();
            inFrame = false;
            length = 0;
        }
    }
}

void AutoFrameBuffer::Reset() {
    length = 0;
    inFrame = false;
}

void AutoFrameBuffer::SetReader(FrameReader* newReader) {
    std::lock_guard<std::recursive_mutex> hold(delivering_);
    reader.store(newReader);
}

void AutoFrameBuffer::Deliver() {
    std::lock_guard<std::recursive_mutex> hold(delivering_);
    if (FrameReader* current = reader.load()) {
        current->OnFrame(frame, length, this);
    }
}

void AutoFrameBuffer::Discard() {
    std::lock_guard<std::recursive_mutex> hold(delivering_);
    if (FrameReader* current = reader.load()) {
        current->OnFrameDiscarded();
    }
}
