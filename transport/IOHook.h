#pragma once

#include <cstdint>
#include <vector>

#include "transport/MyCriticalSection.h"

class IOHookList;

constexpr int kDirectionReceived = 0;
constexpr int kDirectionSent = 1;

// An observer of every byte any transport sends (direction 1) or receives (direction 0).
// OnData runs under the hook-list lock: it must return quickly and never wait on other threads.
class IOHook {
public:
    IOHook() = default;
    virtual ~IOHook();
    IOHook(const IOHook&) = delete;
    IOHook& operator=(const IOHook&) = delete;

    virtual void OnData(const uint8_t* data, int32_t length, int direction) = 0;

    void Attach(IOHookList& newList);
    void Detach();

    IOHookList* list = nullptr;
};

// The process-wide list of hooks, in attachment order (not owned).
class IOHookList {
public:
    static IOHookList& Instance();

    IOHookList() = default;
    ~IOHookList();
    IOHookList(const IOHookList&) = delete;
    IOHookList& operator=(const IOHookList&) = delete;

    void Notify(const uint8_t* data, int32_t length, int direction);
    void DetachAll();

    MyCriticalSection lock;
    std::vector<IOHook*> hooks;
};
