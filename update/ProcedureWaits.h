#pragma once

#include <cstdint>
#include <string>

#include "update/ProcedureTexts.h"
#include "update/UpdateCodes.h"

// The line that tells what the procedure waits for and for how long at most, e.g.
// "Waiting for the Coder to restart: 5 s"; empty for WAIT_NONE and unknown kinds. An erase
// names its flash region when `region` is given: "Erasing the flash memory, region 1: 9 s".
std::string WaitText(int64_t kind, Language language, int64_t seconds, int region = -1);
