#pragma once

#include <string>
#include <vector>

// A child's environment for CreateProcessW: `first` ("NAME=value") ahead of this process's own
// variables (a name given there replaces ours, case ignored, as Windows compares names), in
// the order Windows keeps them (sorted by name, case ignored), each ended by a NUL and the
// whole by another.
std::wstring EnvironmentBlock(const std::vector<std::string>& first);
