#pragma once

#include <stdlib.h>

// Sets an environment variable of this process, or removes it for a null value. The C
// runtime keeps no empty variables: an empty value removes it as well.
inline void SetEnvironment(const char* name, const char* value) {
    _putenv_s(name, value == nullptr ? "" : value);
}
