#include "transport/IOFrameLog.h"

IOFrameLog::IOFrameLog()
    : logWindow(std::make_unique<IOLogMsgWnd>(this)),
      receivedAssembler(std::make_unique<AutoFrameBuffer>(this)),
      sentAssembler(std::make_unique<AutoFrameBuffer>(this)) {}

IOFrameLog::~IOFrameLog() {
    StopLogging();
    logWindow.reset();
    receivedAssembler.reset();
    sentAssembler.reset();
    sentFrames.Clear();
    receivedFrames.Clear();
}

void IOFrameLog::StartLogging() {
    if (isLogging) {
        return;
    }
    receivedAssembler->Reset();
    sentAssembler->Reset();
    receivedFrames.Clear();
    sentFrames.Clear();
    // Messages of frames dropped above would otherwise pull later frames out of order.
    logWindow->DiscardPending(kLogFrameMessage);
    Attach(IOHookList::Instance());
    isLogging = true;
}

void IOFrameLog::StopLogging() {
    if (!isLogging) {
        return;
    }
    Detach();
    isLogging = false;
}

void IOFrameLog::OnData(const uint8_t* data, int32_t length, int direction) {
    if (direction == kDirectionReceived) {
        receivedAssembler->Put(data, length);
    } else {
        sentAssembler->Put(data, length);
    }
}

void IOFrameLog::OnFrame(const uint8_t* data, int32_t length, AutoFrameBuffer* source) {
    int direction = 0;
    FrameDataListCS* frames = nullptr;
    if (source == receivedAssembler.get()) {
        direction = kDirectionReceived;
        frames = &receivedFrames;
    } else if (source == sentAssembler.get()) {
        direction = kDirectionSent;
        frames = &sentFrames;
    } else {
        return;
    }
    frames->Push(std::make_unique<FrameData>(length, data));
    logWindow->Post(kLogFrameMessage, 0, direction);
}

void IOFrameLog::DeliverNext(int direction) {
    FrameDataListCS& frames = direction == kDirectionReceived ? receivedFrames : sentFrames;
    std::unique_ptr<FrameData> frame;
    {
        CriticalSectionLock hold(frames);
        frame = frames.TakeFirst();
    }
    if (frame) {
        WriteFrame(frame->bytes.get(), frame->size, direction);
    }
}
