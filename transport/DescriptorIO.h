#pragma once

#include <poll.h>
#include <sys/types.h>

#include <cstdint>
#include <functional>

#include "transport/UECP_IO_ConnectionParams.h"

// What the descriptor-based transports (socket, serial device) share.

// poll() that carries on after a signal.
int PollRetrying(pollfd* fds, nfds_t count, int timeoutMs);

// A time-out of the parameters in milliseconds; 0 without parameters or for a negative value.
uint32_t BudgetMs(const UECP_IO_ConnectionParams* params, int32_t UECP_IO_ConnectionParams::*field);

// Writes `length` bytes through `writeSome` (which returns like write(2)) and shows every piece
// that went out to the hooks. While the descriptor takes nothing more it waits for it to become
// writable, within `budgetMs` in all; an errno for which `isFatal` holds ends at once. Returns the
// bytes written.
int32_t WriteWithinBudget(int fd, const uint8_t* data, int32_t length, uint32_t budgetMs,
                          const std::function<ssize_t(const uint8_t*, size_t)>& writeSome,
                          const std::function<bool(int)>& isFatal);
