#pragma once

#include <cstdint>
#include <vector>

// Small sums for the benchmark's report.

// The median of `values` (the mean of the middle two for an even count); 0 for none.
double Median(std::vector<double> values);

// Seconds a line at `baud` needs for `bytes` bytes of 8N1: ten bit times per byte.
double WireSeconds(uint64_t bytes, uint32_t baud);
