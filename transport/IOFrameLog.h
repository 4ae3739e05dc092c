#pragma once

#include <cstdint>
#include <memory>

#include "transport/AutoFrameBuffer.h"
#include "transport/FrameDataListCS.h"
#include "transport/FrameReader.h"
#include "transport/IOHook.h"
#include "transport/IOLogMsgWnd.h"

// Turns the traffic of every transport back into whole frames, one stream per direction, and
// writes them on the thread that built the log, in the order they were completed. Frames are
// queued on the observing thread (under the hook-list lock, then the frame list's lock) and a
// message per frame is posted to the log window; the window's thread writes them with no lock
// held. That thread drains logWindow (DispatchPending, or a wake-up into its event loop).
class IOFrameLog : public IOHook, public FrameReader {
public:
    IOFrameLog();
    ~IOFrameLog() override;

    void OnData(const uint8_t* data, int32_t length, int direction) override;
    // One raw frame, 0xFE to 0xFF, still stuffed; direction 0 received, 1 sent. The bytes are
    // valid only during the call.
    virtual void WriteFrame(const uint8_t* data, int32_t length, int direction) = 0;

    void OnFrame(const uint8_t* data, int32_t length, AutoFrameBuffer* source) override;
    void OnFrameDiscarded() override {}

    void StartLogging();
    void StopLogging();
    void DeliverNext(int direction);

    bool isLogging = false;
    std::unique_ptr<IOLogMsgWnd> logWindow;
    FrameDataListCS receivedFrames;
    FrameDataListCS sentFrames;
    std::unique_ptr<AutoFrameBuffer> receivedAssembler;
    std::unique_ptr<AutoFrameBuffer> sentAssembler;
};
