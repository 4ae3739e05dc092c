#include "console/ConsoleSetup.h"

// A terminal here takes UTF-8 and its sequences as they are.
bool PrepareConsole() {
    return true;
}
