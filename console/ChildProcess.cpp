#include "console/ChildProcess.h"

bool ChildProcess::ReadOutputUntil(std::string& into, const std::string& part,
                                   std::chrono::milliseconds bound) {
    const auto deadline = std::chrono::steady_clock::now() + bound;
    while (into.find(part) == std::string::npos) {
        const auto left = std::chrono::ceil<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0 || ReadOutput(into, left) == ChildRead::Closed) {
            break;
        }
    }
    return into.find(part) != std::string::npos;
}
