#include "update/SystemErrorText.h"

#include <netdb.h>

#include <cstring>

std::string SystemErrorText(int error) {
    return std::strerror(error);
}

std::string HostLookupErrorText(int error) {
    return gai_strerror(error);
}
