#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "transport/SIO_ConnectionParams.h"
#include "transport/SerialPortHandle.h"
#include "transport/UECP_IO.h"

// UECP over a serial port in raw 8N1 mode, opened exclusively. The I/O thread waits for input
// together with the stop event; reads return at once; sends are written on the caller's
// thread, bounded by sendTimeout. Closing waits for the output to leave and leaves the line
// settings as they are. The system calls are SerialPortHandle's.
// When the device goes away (hang-up, unplugged adapter) the I/O thread reports OnReadError()
// once and its body ends, instead of waking for ever on a dead descriptor; Close still works.
// A class that derives from this one to override its notifications calls Stop() in its own
// destructor, so the I/O thread never calls into a part of the object already destroyed.
class Serial_UECP_IO_2 : public UECP_IO {
public:
    explicit Serial_UECP_IO_2(FrameReader* reader);
    ~Serial_UECP_IO_2() override;

    UECP_IO_Error Open(const SIO_ConnectionParams& openParams);
    void Run() override;
    void Close(bool abortive) override;
    UECP_IO_Error Send(const uint8_t* data, int32_t length) override;
    int32_t WriteRaw(const uint8_t* data, int32_t length) override;
    int32_t ReadRaw(uint8_t* buffer, int32_t capacity) override;
    virtual void OnPeerClosed() {}

    UECP_IO_Error OpenPort();

    SerialPortHandle portHandle;
    SerialLineSettings dcb;
    uint16_t portNumber = 0;
    std::string devicePath;
    // The system's error of the last refused open (on POSIX EACCES: not in group dialout, EBUSY
    // or EWOULDBLOCK: in use, ENOENT: missing), 0 after a good one; openFailure has the whole
    // reason.
    int openErrno = 0;

private:
    void ClosePort();
    // Records why the open failed (openErrno, openFailure) and returns ERR_CONNECT.
    UECP_IO_Error Refuse(int error);

    bool readFailed_ = false;     // set by ReadRaw on the I/O thread
    bool namedByNumber_ = false;  // devicePath is what COM portNumber stands for
};
