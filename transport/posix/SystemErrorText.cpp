#include "transport/SystemErrorText.h"

#include <netdb.h>

#include <cstring>

std::string SystemErrorText(int error) {
    return error != 0 ? std::strerror(error) : "";
}

std::string ResolverErrorText(int error) {
    return error != 0 ? gai_strerror(error) : "";
}
