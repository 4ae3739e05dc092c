#pragma once

#include <stdlib.h>

// Sets an environment variable of this process, or removes it for a null value.
inline void SetEnvironment(const char* name, const char* value) {
    if (value == nullptr) {
        unsetenv(name);
    } else {
        setenv(name, value, 1);
    }
}
