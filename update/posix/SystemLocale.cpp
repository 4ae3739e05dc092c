#include "update/SystemLocale.h"

std::string PlatformLocaleName() {
    return "";
}
