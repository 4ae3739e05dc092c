// The version a firmware file's name gives is "???" or the name's tail with its last
// underscore made a dot, and the text shown for a file starts with that version.
#include <cstddef>
#include <cstdint>
#include <string>

#include "update/FirmwareFiles.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string baseName(reinterpret_cast<const char*>(data), size);
    const std::string version = VersionFromFileName(baseName);
    if (version != "???") {
        if (version.empty() || version.size() > baseName.size() ||
            version.find('_') != std::string::npos) {
            __builtin_trap();
        }
        const std::string tail = baseName.substr(baseName.size() - version.size());
        const size_t dot = tail.rfind('_');
        if (dot == std::string::npos || tail.substr(0, dot) != version.substr(0, dot) ||
            version[dot] != '.' || tail.substr(dot + 1) != version.substr(dot + 1)) {
            __builtin_trap();
        }
    }
    // Only names that are plain file names can be put in a path and read back.
    if (baseName.find_first_of("/.") != std::string::npos) {
        return 0;
    }
    const std::string shown = VersionToFlashText("/firmware/" + baseName + ".img");
    if (shown != version + " (" + baseName + ".img)") {
        __builtin_trap();
    }
    return 0;
}
