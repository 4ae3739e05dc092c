#include "transport/SerialPorts.h"

#include <windows.h>

#include <cfgmgr32.h>
#include <setupapi.h>

#include <map>
#include <memory>

#include "transport/win32/CommSettings.h"
#include "transport/win32/DeviceIds.h"
#include "transport/win32/WideText.h"

// Windows keeps its COM ports in two places: HARDWARE\DEVICEMAP\SERIALCOMM names every port a
// serial driver has made (COMn and its kernel device), and SetupAPI knows the device behind
// it (the Ports class, and the COM port interface that USB modems offer), with its names and
// ids. Neither says who holds a port.

namespace {

// {4D36E978-E325-11CE-BFC1-08002BE10318} and {86E0D1E0-8089-11D0-9CE4-08003E301F73}: spelled
// out, so that nothing else has to be linked for them.
constexpr GUID kPortsClass = {
    0x4D36E978, 0xE325, 0x11CE, {0xBF, 0xC1, 0x08, 0x00, 0x2B, 0xE1, 0x03, 0x18}};
constexpr GUID kComPortInterface = {
    0x86E0D1E0, 0x8089, 0x11D0, {0x9C, 0xE4, 0x08, 0x00, 0x3E, 0x30, 0x1F, 0x73}};

struct DeviceSetCloser {
    void operator()(void* set) const { SetupDiDestroyDeviceInfoList(set); }
};
using DeviceSet = std::unique_ptr<void, DeviceSetCloser>;

// COM number -> the kernel device a serial driver made for it ("\Device\Serial0").
std::map<int, std::string> SerialCommPorts() {
    std::map<int, std::string> ports;
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"HARDWARE\\DEVICEMAP\\SERIALCOMM", 0, KEY_READ, &key) !=
        ERROR_SUCCESS) {
        return ports;
    }
    for (DWORD index = 0;; ++index) {
        wchar_t name[256];
        DWORD nameLength = 256;
        wchar_t data[64] = {};
        DWORD dataSize = sizeof data - sizeof(wchar_t);  // room for a terminator it may lack
        DWORD type = 0;
        const LONG status = RegEnumValueW(key, index, name, &nameLength, nullptr, &type,
                                          reinterpret_cast<BYTE*>(data), &dataSize);
        if (status == ERROR_NO_MORE_ITEMS) {
            break;
        }
        if (status != ERROR_SUCCESS || type != REG_SZ) {
            continue;
        }
        const int number = ComNumber(data);
        if (number != 0) {
            ports[number] = Narrow(std::wstring(name, nameLength));
        }
    }
    RegCloseKey(key);
    return ports;
}

std::wstring RegistryProperty(HDEVINFO set, SP_DEVINFO_DATA& device, DWORD property) {
    wchar_t buffer[512] = {};
    DWORD type = 0;
    // Room for the terminators a multi-string may lack; the first string is the one we want.
    if (!SetupDiGetDeviceRegistryPropertyW(set, &device, property, &type,
                                           reinterpret_cast<BYTE*>(buffer),
                                           sizeof buffer - 2 * sizeof(wchar_t), nullptr)) {
        return {};
    }
    return buffer;
}

std::wstring InstanceId(DEVINST instance) {
    wchar_t id[MAX_DEVICE_ID_LEN + 1] = {};
    return CM_Get_Device_IDW(instance, id, MAX_DEVICE_ID_LEN, 0) == CR_SUCCESS ? id : L"";
}

// The port's name as its driver recorded it ("COM5").
int PortNumberOf(HDEVINFO set, SP_DEVINFO_DATA& device) {
    const HKEY key = SetupDiOpenDevRegKey(set, &device, DICS_FLAG_GLOBAL, 0, DIREG_DEV, KEY_READ);
    if (key == INVALID_HANDLE_VALUE) {
        return 0;
    }
    wchar_t name[64] = {};
    DWORD size = sizeof name - sizeof(wchar_t);
    DWORD type = 0;
    const bool read = RegQueryValueExW(key, L"PortName", nullptr, &type,
                                       reinterpret_cast<BYTE*>(name), &size) == ERROR_SUCCESS &&
                      type == REG_SZ;
    RegCloseKey(key);
    return read ? ComNumber(name) : 0;
}

void Describe(HDEVINFO set, SP_DEVINFO_DATA& device, SerialPortDetails& port) {
    port.manufacturer = Narrow(RegistryProperty(set, device, SPDRP_MFG));
    port.product = Narrow(RegistryProperty(set, device, SPDRP_FRIENDLYNAME));
    if (port.product.empty()) {
        port.product = Narrow(RegistryProperty(set, device, SPDRP_DEVICEDESC));
    }
    const UsbIds ids = UsbIdsOf(RegistryProperty(set, device, SPDRP_HARDWAREID));
    port.usbVendorId = ids.vendor;
    port.usbProductId = ids.product;
    // The serial number is in the id of the USB device: the port itself for a CDC device, a
    // parent for an FTDI port or an interface of a composite device.
    DEVINST at = device.DevInst;
    for (int level = 0; level < 4 && port.serialNumber.empty(); ++level) {
        port.serialNumber = UsbSerialNumber(InstanceId(at));
        DEVINST parent = 0;
        if (CM_Get_Parent(&parent, at, 0) != CR_SUCCESS) {
            break;
        }
        at = parent;
    }
}

// Adds every present device of `guid` with a COM port name to `ports`, with its details when
// `describe` holds; ports found already keep theirs.
void AddDevices(const GUID& guid, DWORD flags, bool describe,
                std::map<int, SerialPortDetails>& ports) {
    DeviceSet set(SetupDiGetClassDevsW(&guid, nullptr, nullptr, flags | DIGCF_PRESENT));
    if (set.get() == INVALID_HANDLE_VALUE) {
        set.release();
        return;
    }
    SP_DEVINFO_DATA device{};
    device.cbSize = sizeof device;
    for (DWORD index = 0; SetupDiEnumDeviceInfo(set.get(), index, &device); ++index) {
        const int number = PortNumberOf(set.get(), device);
        if (number == 0 || ports.count(number) != 0) {
            continue;
        }
        SerialPortDetails& port = ports[number];
        port.comNumber = number;
        if (describe) {
            Describe(set.get(), device, port);
        }
    }
}

enum class PortKind { NotAPort, Usable, Refused };

// Opens the port the way the transport does, without keeping it. Refused for the system's
// reason (in use: access denied), not a port when no such device answers to the name.
PortKind ProbePort(const std::string& device, int& openError) {
    openError = 0;
    const DeviceOpenArguments arguments = SerialOpenArguments(device);
    const HANDLE port = CreateFileW(arguments.path.c_str(), arguments.access, arguments.shareMode,
                                    nullptr, arguments.creation, arguments.flags, nullptr);
    if (port == INVALID_HANDLE_VALUE) {
        openError = static_cast<int>(GetLastError());
        return DeviceFailureKind(openError) == OpenFailureKind::NoDevice ? PortKind::NotAPort
                                                                         : PortKind::Refused;
    }
    DCB state{};
    state.DCBlength = sizeof state;
    const bool serial = GetCommState(port, &state) != 0;
    CloseHandle(port);
    return serial ? PortKind::Usable : PortKind::NotAPort;
}

}  // namespace

std::vector<SerialPortDetails> WalkSerialPorts(bool describe) {
    std::map<int, SerialPortDetails> found;
    AddDevices(kPortsClass, 0, describe, found);
    AddDevices(kComPortInterface, DIGCF_DEVICEINTERFACE, describe, found);
    for (const auto& [number, kernelDevice] : SerialCommPorts()) {
        found[number].comNumber = number;
        found[number].realDevice = kernelDevice;
    }
    std::vector<SerialPortDetails> ports;
    for (auto& [number, port] : found) {
        if (number < kFirstComPort || number > kLastComPort) {
            continue;
        }
        port.device = ResolveComPort(number);
        const PortKind kind = ProbePort(port.device, port.openError);
        if (kind == PortKind::NotAPort) {
            continue;
        }
        // A port another program holds is listed all the same, as on POSIX: it may let go
        // before Next, and the refusal then says it is in use.
        port.opens =
            kind == PortKind::Usable || DeviceFailureKind(port.openError) == OpenFailureKind::Busy;
        port.usable = kind == PortKind::Usable;
        ports.push_back(std::move(port));
    }
    return ports;
}

std::string PortsFolder() {
    return "";  // COMn is always \\.\COMn on Windows
}

std::string ResolveComPort(int number) {
    return number >= 1 ? "\\\\.\\COM" + std::to_string(number) : "";
}

OpenFailure PortOpenFailure(const SerialPortDetails& port) {
    OpenFailure failure;
    if (port.usable) {
        return failure;
    }
    failure.kind = port.openError != 0 ? DeviceFailureKind(port.openError) : OpenFailureKind::Busy;
    failure.systemError = port.openError != 0 ? port.openError : ERROR_ACCESS_DENIED;
    failure.target = port.device;
    failure.comPort = port.comNumber;
    return failure;
}

std::string DeviceGroup(const std::string&) {
    return "";  // no device groups on Windows
}

void ReadSerialPortDetails(const std::string& devicePath, SerialPortDetails& details,
                           const std::string&, const std::string&) {
    const std::string name = devicePath.substr(devicePath.find_last_of('\\') + 1);
    const int number = ComNumber(Widen(name));
    if (number == 0) {
        return;
    }
    std::map<int, SerialPortDetails> found;
    AddDevices(kPortsClass, 0, true, found);
    AddDevices(kComPortInterface, DIGCF_DEVICEINTERFACE, true, found);
    const std::map<int, std::string> kernelDevices = SerialCommPorts();
    if (const auto port = found.find(number); port != found.end()) {
        const SerialPortDetails& described = port->second;
        details.usbVendorId = described.usbVendorId;
        details.usbProductId = described.usbProductId;
        details.manufacturer = described.manufacturer;
        details.product = described.product;
        details.serialNumber = described.serialNumber;
    }
    if (const auto kernel = kernelDevices.find(number); kernel != kernelDevices.end()) {
        details.realDevice = kernel->second;
    }
}

int LatencyTimerMs(const std::string&, const std::string&) {
    // An FTDI driver keeps its latency timer in the device's registry key; the note the
    // command line gives for it is about Linux, so none is reported.
    return -1;
}
