#include "transport/IOThread.h"

#include <system_error>

IOThread::~IOThread() {
    Stop();
}

bool IOThread::Start() {
    CriticalSectionLock hold(*this);
    if (thread.joinable()) {
        return false;
    }
    stopEvent.Reset();
    stopRequested = false;
    try {
        thread = std::thread(&IOThread::ThreadEntry, this);
    } catch (const std::system_error&) {
        return false;
    }
    return true;
}

void IOThread::Stop() {
    CriticalSectionLock hold(*this);
    if (!thread.joinable()) {
        return;
    }
    stopRequested = true;
    stopEvent.Set();
    thread.join();
}

void IOThread::Run() {
    stopEvent.Wait(-1);
}

void IOThread::ThreadEntry() {
    Run();
    stopEvent.Wait(-1);
}
