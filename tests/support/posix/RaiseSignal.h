#pragma once

#include <signal.h>

// Delivers a stop request to this process as the system would: a signal by its number.
inline void RaiseSignal(int number) {
    raise(number);
}
