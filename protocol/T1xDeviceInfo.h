#pragma once

#include <cstdint>
#include <string>

// What ReadDeviceInfo learns of a coder.
struct T1xDeviceInfo {
    uint8_t deviceClass = 0;
    int32_t deviceType = 0;
    int32_t modelNumber = 0;
    std::string deviceName;
    std::string text7F;
    std::string firmwareVersion;
};
