// The command line never fails without saying why.
#include <cstddef>
#include <cstdint>

#include "FuzzArguments.h"
#include "cli/CommandLine.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const ParsedCommandLine parsed = ParseCommandLine(fuzz_support::ArgumentsFrom(data, size));
    if (!parsed.ok && parsed.error.empty()) {
        __builtin_trap();
    }
    return 0;
}
