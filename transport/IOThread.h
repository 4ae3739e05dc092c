#pragma once

#include <atomic>
#include <cstdint>
#include <thread>

#include "transport/ManualResetEvent.h"
#include "transport/MyCriticalSection.h"

// A restartable worker thread with a stop flag and a stop event. The base lock guards Start and
// Stop and is held while Stop waits, so concurrent Start/Stop calls wait too.
class IOThread : public MyCriticalSection {
public:
    IOThread() = default;
    // Derived classes stop the thread in their own destructors, before their members go.
    ~IOThread() override;

    virtual bool Start();
    virtual void Stop();
    // The thread body; by default waits for the stop request. A body that ends on its own and
    // wants its thread to end at once sets stopEvent itself.
    virtual void Run();
    // True once the thread body and its wait are over; the thread still needs Stop to be
    // released.
    bool Finished() const { return finished_; }
    // True from Start until Stop has released the thread; safe to ask from the thread itself,
    // which may run before Start has stored its handle.
    bool Started() const { return started_; }

    std::atomic<bool> stopRequested{false};
    ManualResetEvent stopEvent;
    std::thread thread;

private:
    void ThreadEntry();

    std::atomic<bool> finished_{false};
    std::atomic<bool> started_{false};
};
