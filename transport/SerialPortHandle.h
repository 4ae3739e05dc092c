#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "transport/ManualResetEvent.h"
#include "transport/NativeHandle.h"
#include "transport/PortHolders.h"
#include "transport/SIO_ConnectionParams.h"

// The open serial device under Serial_UECP_IO_2, and the system calls on it: an exclusive open
// in raw 8N1 at one rate, read back; a wait for input together with the stop event; reads that
// return at once; writes within the caller's budget; a close that lets the output drain and
// never changes the line settings afterwards. termios in transport/posix, overlapped COM I/O in
// transport/win32.
// WaitForInput and Read belong to the I/O thread, Write and WaitWritable to the sending
// thread, Open and Close to the owner while no I/O thread runs.
class SerialPortHandle {
public:
    SerialPortHandle();
    // Closes without waiting for the output.
    ~SerialPortHandle();
    SerialPortHandle(const SerialPortHandle&) = delete;
    SerialPortHandle& operator=(const SerialPortHandle&) = delete;

    // 0 once `path` is open with `settings`; otherwise the system's error (errno, GetLastError),
    // and for a port in use the programs that hold it, where the system can tell.
    int Open(const std::string& path, const SerialLineSettings& settings,
             std::vector<PortHolder>& holders);
    bool IsOpen() const { return handle_ != kInvalidHandle; }
    NativeHandle Native() const { return handle_; }

    struct InputWait {
        bool input = false;  // bytes wait for Read
        bool gone = false;   // the device went away: hang-up, unplugged adapter
        bool ended = false;  // `stop` was set, or the wait itself failed
    };
    // Waits without limit for input, the device's end or `stop`.
    InputWait WaitForInput(const ManualResetEvent& stop);
    // Bytes read, 0 when none are waiting, -1 when the device failed.
    int32_t Read(uint8_t* buffer, int32_t capacity);
    // One write attempt with `leftMs` of the budget left: the bytes written, 0 when the device
    // takes nothing now, -1 when it never will.
    int32_t Write(const uint8_t* data, int32_t length, uint32_t leftMs);
    // Waits at most `leftMs` for the device to take more.
    void WaitWritable(uint32_t leftMs);
    // Lets the queued output reach the line for at most `drainMs`, drops what is left, closes.
    void Close(uint32_t drainMs);

private:
    // What a platform keeps between the calls: on Windows the read kept pending.
    struct Pending;
    NativeHandle handle_ = kInvalidHandle;
    std::unique_ptr<Pending> pending_;
};
