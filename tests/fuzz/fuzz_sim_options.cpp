// The simulator's options never fail without saying why, and what they accept stays in the
// ranges the device model relies on.
#include <cstddef>
#include <cstdint>

#include "FuzzArguments.h"
#include "sim/SimOptions.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const SimOptionsResult parsed = ParseSimOptions(fuzz_support::ArgumentsFrom(data, size));
    if (!parsed.ok && parsed.error.empty()) {
        __builtin_trap();
    }
    if (parsed.ok && !parsed.help) {
        const SimOptions& options = parsed.options;
        if (!(options.timeScale >= 0 && options.timeScale <= 100) || options.eraseMs < 0 ||
            options.slowMs < 0 || options.baud == 0) {
            __builtin_trap();
        }
    }
    return 0;
}
