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
    finished_ = false;
    started_ = true;
    try {
        thread = std::thread(&IOThread::ThreadEntry, this);
    } catch (const std::system_error&) {
        started_ = false;
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
    if (thread.get_id() == std::this_thread::get_id()) {
        // Asked from the body itself (a notification that closes): it cannot wait for its own
        // end; the request makes it leave, and the next Stop from outside releases it.
        return;
    }
    thread.join();
    started_ = false;
}

void IOThread::Run() {
    stopEvent.Wait(-1);
}

void IOThread::ThreadEntry() {
    Run();
    stopEvent.Wait(-1);
    finished_ = true;
}
