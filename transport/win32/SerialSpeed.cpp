#include "transport/SerialSpeed.h"

#include <windows.h>

#include <cstdio>

uint32_t SerialSpeedFor(int32_t baud) {
    if (baud <= 0) {
        return 0;
    }
    // The settings builder decides which rates are rates; the driver may still replace one it
    // cannot make, which the open sees when it reads the line settings back.
    char text[40];
    std::snprintf(text, sizeof text, "baud=%d parity=N data=8 stop=1", static_cast<int>(baud));
    DCB dcb{};
    dcb.DCBlength = sizeof dcb;
    if (!BuildCommDCBA(text, &dcb)) {
        return 0;
    }
    return dcb.BaudRate;
}
