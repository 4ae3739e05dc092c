#pragma once

#include <cstdint>
#include <functional>

#include "transport/UECP_IO_ConnectionParams.h"

// What the transports that write on the caller's thread (socket, serial device) share.

// A time-out of the parameters in milliseconds; 0 without parameters or for a negative value.
uint32_t BudgetMs(const UECP_IO_ConnectionParams* params, int32_t UECP_IO_ConnectionParams::*field);

// One attempt at writing `count` bytes with `leftMs` of the budget left: the bytes written, 0 when
// the device takes nothing now, negative when it never will (gone, reset, shut down).
using WriteAttempt = std::function<int32_t(const uint8_t* bytes, int32_t count, uint32_t leftMs)>;
// Waits at most `leftMs` for the device to take more.
using WritableWait = std::function<void(uint32_t leftMs)>;

// Writes `length` bytes through `writeSome` and shows every piece that went out to the hooks.
// While the device takes nothing more it waits through `waitWritable`, within `budgetMs` in all;
// an attempt that says the device never will ends at once. Returns the bytes written.
int32_t WriteWithinBudget(const uint8_t* data, int32_t length, uint32_t budgetMs,
                          const WriteAttempt& writeSome, const WritableWait& waitWritable);
