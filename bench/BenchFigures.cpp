#include "bench/BenchFigures.h"

#include <algorithm>

double Median(std::vector<double> values) {
    if (values.empty()) {
        return 0.0;
    }
    std::sort(values.begin(), values.end());
    const size_t middle = values.size() / 2;
    if (values.size() % 2 == 1) {
        return values[middle];
    }
    return (values[middle - 1] + values[middle]) / 2.0;
}

double WireSeconds(uint64_t bytes, uint32_t baud) {
    return baud == 0 ? 0.0 : static_cast<double>(bytes) * 10.0 / static_cast<double>(baud);
}
