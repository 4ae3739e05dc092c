#include "transport/Serial_UECP_IO_2.h"

#include <vector>

#include "transport/BoundedWrite.h"
#include "transport/SerialPorts.h"

Serial_UECP_IO_2::Serial_UECP_IO_2(FrameReader* reader) : UECP_IO(reader) {}

Serial_UECP_IO_2::~Serial_UECP_IO_2() {
    Stop();
    ClosePort();
    isOpen = false;
}

UECP_IO_Error Serial_UECP_IO_2::Open(const SIO_ConnectionParams& openParams) {
    const UECP_IO_Error accepted = AcceptParams(openParams);
    if (accepted != ERR_OK) {
        return accepted;
    }
    Stop();  // releases a thread whose body ended when its device went away
    isOpen = false;
    ClearSendBuffer();
    portNumber = openParams.port;
    dcb = openParams.dcb;
    namedByNumber_ = openParams.devicePath.empty();
    devicePath = namedByNumber_ ? ResolveComPort(openParams.port) : openParams.devicePath;
    UECP_IO_Error result = OpenPort();
    if (result == ERR_OK) {
        readFailed_ = false;
        isOpen = true;
        if (!Start()) {
            isOpen = false;
            ClosePort();
            result = ERR_CONNECT;
        }
    }
    if (openParams.openAsync) {
        NotifyOpenResult(result);
    }
    return result;
}

UECP_IO_Error Serial_UECP_IO_2::Refuse(int error) {
    openErrno = error;
    openFailure = OpenFailure{};
    openFailure.kind = DeviceFailureKind(error);
    openFailure.systemError = error;
    openFailure.target = devicePath;
    openFailure.comPort = namedByNumber_ ? portNumber : 0;
    if (openFailure.kind == OpenFailureKind::Permission) {
        openFailure.deviceGroup = DeviceGroup(devicePath);
    }
    return ERR_CONNECT;
}

UECP_IO_Error Serial_UECP_IO_2::OpenPort() {
    if (portHandle.IsOpen()) {
        return ERR_DEVICE_ALREADY_OPEN;
    }
    std::vector<PortHolder> holders;
    const int error = portHandle.Open(devicePath, dcb, holders);
    if (error != 0) {
        const UECP_IO_Error result = Refuse(error);
        if (!holders.empty()) {
            openFailure.holderPid = holders.front().pid;
            openFailure.holderName = holders.front().name;
        }
        return result;
    }
    openErrno = 0;
    openFailure = OpenFailure{};
    return ERR_OK;
}

void Serial_UECP_IO_2::ClosePort() {
    // What is still queued may reach the line for at most sendTimeout.
    portHandle.Close(BudgetMs(params.get(), &UECP_IO_ConnectionParams::sendTimeout));
}

void Serial_UECP_IO_2::Close(bool) {
    Stop();
    ClosePort();
    isOpen = false;
}

void Serial_UECP_IO_2::Run() {
    while (!stopRequested) {
        const SerialPortHandle::InputWait wait = portHandle.WaitForInput(stopEvent);
        if (wait.ended) {
            break;
        }
        if (wait.input) {
            ReceivePump();
        }
        if (readFailed_ || wait.gone) {
            if (!readFailed_) {
                OnReadError();
            }
            break;  // the device is gone; waiting on it again would wake us for ever
        }
    }
    stopEvent.Set();
}

int32_t Serial_UECP_IO_2::ReadRaw(uint8_t* buffer, int32_t capacity) {
    if (capacity <= 0) {
        return 0;
    }
    const int32_t n = portHandle.Read(buffer, capacity);
    if (n < 0) {
        readFailed_ = true;
    }
    return n;
}

int32_t Serial_UECP_IO_2::WriteRaw(const uint8_t*, int32_t) {
    return 0;  // sends go straight to the device, never through the queue
}

UECP_IO_Error Serial_UECP_IO_2::Send(const uint8_t* data, int32_t length) {
    if (length == 0) {
        return ERR_OK;
    }
    if (data == nullptr || length < 0) {
        return ERR_INVALID_PARAMETER;
    }
    if (!portHandle.IsOpen()) {
        return ERR_DEVICE_NOT_OPEN;
    }
    const int32_t done = WriteWithinBudget(
        data, length, BudgetMs(params.get(), &UECP_IO_ConnectionParams::sendTimeout),
        [this](const uint8_t* bytes, int32_t count, uint32_t leftMs) {
            return portHandle.Write(bytes, count, leftMs);
        },
        [this](uint32_t leftMs) { portHandle.WaitWritable(leftMs); });
    if (done == length) {
        return ERR_OK;
    }
    OnWriteError();
    return ERR_SEND_TIMEOUT;
}
