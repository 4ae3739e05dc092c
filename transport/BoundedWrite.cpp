#include "transport/BoundedWrite.h"

#include "transport/IOHook.h"
#include "transport/Stopwatch.h"

uint32_t BudgetMs(const UECP_IO_ConnectionParams* params,
                  int32_t UECP_IO_ConnectionParams::*field) {
    return params != nullptr && params->*field > 0 ? static_cast<uint32_t>(params->*field) : 0;
}

int32_t WriteWithinBudget(const uint8_t* data, int32_t length, uint32_t budgetMs,
                          const WriteAttempt& writeSome, const WritableWait& waitWritable) {
    const Stopwatch watch;
    int32_t done = 0;
    IOHookList& hooks = IOHookList::Instance();
    while (done < length) {
        int32_t n = 0;
        {
            // The hooks learn of the bytes before the I/O thread can show them an answer to
            // them: the log must not read as if the device answered before it was asked.
            CriticalSectionLock hold(hooks.lock);
            n = writeSome(data + done, length - done, watch.Remaining(budgetMs));
            if (n > 0) {
                hooks.Notify(data + done, n, kDirectionSent);
            }
        }
        if (n > 0) {
            done += n;
            continue;
        }
        if (n < 0) {
            break;  // gone, reset or shut down: waiting cannot get the bytes out
        }
        const uint32_t left = watch.Remaining(budgetMs);
        if (left == 0) {
            break;
        }
        waitWritable(left);
    }
    return done;
}
