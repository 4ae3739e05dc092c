#pragma once

// A fuzz input as a command line: arguments are separated by zero bytes; a trailing zero ends
// the last argument, a second one adds an empty argument.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace fuzz_support {

inline std::vector<std::string> ArgumentsFrom(const uint8_t* data, size_t size) {
    std::vector<std::string> arguments;
    std::string current;
    for (size_t i = 0; i < size; ++i) {
        if (data[i] == 0) {
            arguments.push_back(current);
            current.clear();
        } else {
            current.push_back(static_cast<char>(data[i]));
        }
    }
    if (!current.empty()) {
        arguments.push_back(current);
    }
    return arguments;
}

}  // namespace fuzz_support
