#include "update/StringResources.h"

#include <map>
#include <mutex>

// Written by the build from resources/StringTable.xml.
extern const unsigned char kStringTableXml[];
extern const std::size_t kStringTableXml_Size;

namespace {

std::mutex& RegistryMutex() {
    static std::mutex mutex;
    return mutex;
}

std::map<std::string, StringResource>& Registry() {
    static std::map<std::string, StringResource> registry = {
        {"135", StringResource{kStringTableXml, kStringTableXml_Size}},
    };
    return registry;
}

}  // namespace

void RegisterStringResource(const std::string& name, const uint8_t* data, size_t size) {
    std::lock_guard<std::mutex> lock(RegistryMutex());
    Registry()[name] = StringResource{data, size};
}

bool FindStringResource(const std::string& name, StringResource& resource) {
    std::lock_guard<std::mutex> lock(RegistryMutex());
    const auto found = Registry().find(name);
    if (found == Registry().end() || found->second.data == nullptr) {
        return false;
    }
    resource = found->second;
    return true;
}
