#pragma once

#include <cstdint>
#include <string>

#include "update/ProcedureTexts.h"
#include "update/UpdateCodes.h"

// The line that tells what the procedure waits for and for how long at most, e.g.
// "Waiting for the Coder to restart: 5 s"; empty for WAIT_NONE and unknown kinds.
std::string WaitText(int64_t kind, Language language, int64_t seconds);
