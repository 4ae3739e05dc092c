#pragma once

#include <condition_variable>
#include <cstdint>
#include <memory>

#include "transport/MyCriticalSection.h"
#include "transport/ObjectList.h"
#include "uecp/ByteBuffer.h"

// A locked queue of received frames. A waiter blocks on `arrived` until a frame is appended or
// its budget runs out, so a frame is taken the moment it is queued.
class FrameDataListCS : public ObjectList<FrameData, 16>, public MyCriticalSection {
public:
    FrameDataListCS() = default;
    ~FrameDataListCS() override { Clear(); }

    void Clear() override {
        CriticalSectionLock hold(*this);
        ObjectList::Clear();
    }

    // Appends under the lock, dropping the oldest frames while `maxCount` or more are queued
    // (0: unbounded), and wakes a waiter.
    void Push(std::unique_ptr<FrameData> frame, int32_t maxCount = 0);

    // Takes the oldest frame, waiting at most `timeoutMs`; null when none came in time.
    std::unique_ptr<FrameData> WaitTakeFirst(uint32_t timeoutMs);

private:
    std::condition_variable_any arrived_;
};
