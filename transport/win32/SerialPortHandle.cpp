#include "transport/SerialPortHandle.h"

#include <algorithm>
#include <cstring>

#include "transport/Stopwatch.h"
#include "transport/win32/CommSettings.h"
#include "transport/win32/Handles.h"

// The I/O thread keeps one overlapped read of a single byte pending and waits on its event
// together with the stop event: a read of one byte ends the moment a byte comes, whatever the
// port's time-outs. What else has arrived by then is read at once, as the driver counts it
// (ClearCommError). WaitCommEvent is not used: under Wine it ends early without an event.
struct SerialPortHandle::Pending {
    OVERLAPPED read{};
    HANDLE readEvent = nullptr;
    bool reading = false;  // the read is in flight
    DWORD got = 0;         // bytes the read brought that Read has not handed on yet
    uint8_t bytes[1] = {};
};

namespace {

DWORD LastErrorOr(DWORD fallback) {
    const DWORD error = GetLastError();
    return error != 0 ? error : fallback;
}

}  // namespace

SerialPortHandle::SerialPortHandle() : pending_(std::make_unique<Pending>()) {}

SerialPortHandle::~SerialPortHandle() {
    Close(0);
}

int SerialPortHandle::Open(const std::string& path, const SerialLineSettings& settings,
                           std::vector<PortHolder>& holders) {
    holders.clear();  // Windows does not say who holds a port
    if (IsOpen()) {
        return ERROR_BUSY;
    }
    if (path.empty()) {
        return ERROR_FILE_NOT_FOUND;
    }
    if (settings.speed == 0) {
        return ERROR_INVALID_PARAMETER;
    }
    const DeviceOpenArguments arguments = SerialOpenArguments(path);
    const HANDLE port = CreateFileW(arguments.path.c_str(), arguments.access, arguments.shareMode,
                                    nullptr, arguments.creation, arguments.flags, nullptr);
    if (port == INVALID_HANDLE_VALUE) {
        return static_cast<int>(LastErrorOr(ERROR_FILE_NOT_FOUND));
    }
    DWORD error = 0;
    COMMTIMEOUTS timeouts = SerialTimeouts();
    DCB wanted{};
    wanted.DCBlength = sizeof wanted;
    DCB actual = wanted;
    if (!SetCommTimeouts(port, &timeouts) || !GetCommState(port, &wanted)) {
        error = LastErrorOr(ERROR_INVALID_FUNCTION);
    } else {
        MakeRaw8N1(wanted, settings.speed);
        // SetCommState takes rates the driver then replaces: read back what the line got.
        if (!SetCommState(port, &wanted) || !GetCommState(port, &actual)) {
            error = LastErrorOr(ERROR_INVALID_PARAMETER);
        } else if (!TookLineSettings(wanted, actual)) {
            error = ERROR_INVALID_PARAMETER;
        }
    }
    HANDLE readEvent = nullptr;
    if (error == 0) {
        readEvent = CreateEventW(nullptr, TRUE, FALSE, nullptr);
        if (readEvent == nullptr) {
            error = LastErrorOr(ERROR_NOT_ENOUGH_MEMORY);
        }
    }
    if (error != 0) {
        CloseHandle(port);
        return static_cast<int>(error);
    }
    *pending_ = Pending{};
    pending_->readEvent = readEvent;
    handle_ = AsNative(port);
    return 0;
}

SerialPortHandle::InputWait SerialPortHandle::WaitForInput(const ManualResetEvent& stop) {
    InputWait wait;
    Pending& p = *pending_;
    const HANDLE port = AsHandle(handle_);
    if (p.got == 0 && !p.reading) {
        ResetEvent(p.readEvent);
        p.read = OVERLAPPED{};
        p.read.hEvent = p.readEvent;
        DWORD n = 0;
        if (ReadFile(port, p.bytes, sizeof p.bytes, nullptr, &p.read)) {
            GetOverlappedResult(port, &p.read, &n, FALSE);
            p.got = n;
        } else if (GetLastError() == ERROR_IO_PENDING) {
            p.reading = true;
        } else {
            wait.gone = true;  // unplugged (ERROR_BAD_COMMAND, ERROR_DEVICE_REMOVED, ...)
            return wait;
        }
    }
    if (p.reading) {
        const HANDLE waits[2] = {AsHandle(stop.Handle()), p.readEvent};
        const DWORD woke = WaitForMultipleObjects(2, waits, FALSE, INFINITE);
        if (woke != WAIT_OBJECT_0 + 1) {
            // The stop event, or a wait that failed: the read must be over before its record
            // may be used again or go.
            CancelIoEx(port, &p.read);
            DWORD n = 0;
            GetOverlappedResult(port, &p.read, &n, TRUE);
            p.reading = false;
            wait.ended = true;
            return wait;
        }
        p.reading = false;
        DWORD n = 0;
        if (!GetOverlappedResult(port, &p.read, &n, FALSE)) {
            // A read that ends in an error we did not cause (109 after a hang-up, a cancel by
            // the driver of a removed adapter): the device is gone.
            wait.gone = true;
            return wait;
        }
        p.got = n;
    }
    wait.input = p.got > 0;
    return wait;
}

int32_t SerialPortHandle::Read(uint8_t* buffer, int32_t capacity) {
    Pending& p = *pending_;
    if (p.reading) {
        return 0;
    }
    const HANDLE port = AsHandle(handle_);
    int32_t n = 0;
    if (p.got > 0) {
        n = std::min(static_cast<int32_t>(p.got), capacity);
        std::memcpy(buffer, p.bytes, static_cast<size_t>(n));
        std::memmove(p.bytes, p.bytes + n, p.got - static_cast<DWORD>(n));
        p.got -= static_cast<DWORD>(n);
    }
    DWORD errors = 0;
    COMSTAT status{};
    if (!ClearCommError(port, &errors, &status)) {
        return n > 0 ? n : -1;
    }
    const DWORD waiting = std::min<DWORD>(status.cbInQue, static_cast<DWORD>(capacity - n));
    if (waiting == 0) {
        return n;
    }
    // The bytes are in the driver already: this read ends at once.
    ResetEvent(p.readEvent);
    p.read = OVERLAPPED{};
    p.read.hEvent = p.readEvent;
    DWORD got = 0;
    if (!ReadFile(port, buffer + n, waiting, nullptr, &p.read) &&
        GetLastError() != ERROR_IO_PENDING) {
        return n > 0 ? n : -1;
    }
    if (!GetOverlappedResult(port, &p.read, &got, TRUE)) {
        return n > 0 ? n : -1;
    }
    return n + static_cast<int32_t>(got);
}

int32_t SerialPortHandle::Write(const uint8_t* data, int32_t length, uint32_t leftMs) {
    const HANDLE port = AsHandle(handle_);
    // Each write has its own record and event; reads keep theirs on the I/O thread.
    OVERLAPPED write{};
    write.hEvent = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    if (write.hEvent == nullptr) {
        return -1;
    }
    int32_t result = -1;
    if (WriteFile(port, data, static_cast<DWORD>(length), nullptr, &write) ||
        GetLastError() == ERROR_IO_PENDING) {
        if (WaitForSingleObject(write.hEvent, leftMs) != WAIT_OBJECT_0) {
            // Out of time: what the driver has not sent stays unsent.
            CancelIoEx(port, &write);
        }
        DWORD done = 0;
        // Waits for the cancel too: the record must not go while the driver may still write
        // into it. A cancelled write still says how much went out before.
        if (GetOverlappedResult(port, &write, &done, TRUE) ||
            GetLastError() == ERROR_OPERATION_ABORTED) {
            result = static_cast<int32_t>(done);
        }
    }
    CloseHandle(write.hEvent);
    return result;
}

void SerialPortHandle::WaitWritable(uint32_t leftMs) {
    // Write itself waits until the driver has the bytes; this only follows a write that took
    // none without waiting, so that such a driver is not asked again at once.
    Sleep(std::min<uint32_t>(leftMs, 1));
}

void SerialPortHandle::Close(uint32_t drainMs) {
    if (!IsOpen()) {
        return;
    }
    const HANDLE port = AsHandle(handle_);
    Pending& p = *pending_;
    if (p.reading) {
        CancelIoEx(port, &p.read);
        DWORD n = 0;
        GetOverlappedResult(port, &p.read, &n, TRUE);
        p.reading = false;
    }
    // As on POSIX: what is still queued may reach the line within the budget; only what could
    // not drain is dropped, and the line settings stay as they are.
    const Stopwatch watch;
    DWORD queued = 0;
    DWORD errors = 0;
    COMSTAT status{};
    while (ClearCommError(port, &errors, &status) && (queued = status.cbOutQue) > 0 &&
           watch.Remaining(drainMs) > 0) {
        Sleep(10);  // no event tells us the queue ran empty
    }
    if (queued > 0) {
        PurgeComm(port, PURGE_TXABORT | PURGE_TXCLEAR);
    } else {
        // The driver's queue is empty, but a UART or a USB adapter may still hold the tail of
        // the last frame.
        FlushFileBuffers(port);
    }
    CloseHandle(port);
    CloseHandle(p.readEvent);
    *pending_ = Pending{};
    handle_ = kInvalidHandle;
}
