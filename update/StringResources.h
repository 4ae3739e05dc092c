#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

// The documents the string manager can load by name. "135" is the string table compiled into
// the program; more can be registered (tests do).

struct StringResource {
    const uint8_t* data = nullptr;
    size_t size = 0;
};

// The bytes must outlive every load; a second registration under a name replaces the first.
void RegisterStringResource(const std::string& name, const uint8_t* data, size_t size);

bool FindStringResource(const std::string& name, StringResource& resource);
