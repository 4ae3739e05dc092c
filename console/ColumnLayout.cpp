#include "console/ColumnLayout.h"

#include <algorithm>

#include "console/DisplayWidth.h"

namespace {

// The columns before the last one take, with the gap after each.
size_t Leading(const std::vector<size_t>& widths, size_t gap) {
    size_t used = 0;
    for (size_t i = 0; i + 1 < widths.size(); ++i) {
        used += widths[i] == 0 ? 0 : widths[i] + gap;
    }
    return used;
}

std::string Trimmed(std::string line) {
    while (!line.empty() && line.back() == ' ') {
        line.pop_back();
    }
    return line;
}

// The cells before the last one, padded, each followed by the gap.
std::string Lead(const std::vector<std::string>& cells, const std::vector<size_t>& widths,
                 size_t gap) {
    std::string line;
    for (size_t i = 0; i + 1 < widths.size(); ++i) {
        if (widths[i] > 0) {
            line += PadToWidth(i < cells.size() ? cells[i] : std::string(), widths[i]);
            line += std::string(gap, ' ');
        }
    }
    return line;
}

}  // namespace

std::vector<size_t> FitColumns(const std::vector<size_t>& natural, size_t total, size_t gap,
                               size_t lastMinimum, const std::vector<ColumnStep>& steps) {
    std::vector<size_t> widths = natural;
    if (widths.empty()) {
        return widths;
    }
    const size_t need = std::min(widths.back(), lastMinimum);
    for (const ColumnStep& step : steps) {
        if (Leading(widths, gap) + need <= total) {
            break;
        }
        if (step.column + 1 < widths.size()) {
            widths[step.column] = std::min(widths[step.column], step.width);
        }
    }
    const size_t used = Leading(widths, gap);
    widths.back() = std::min(widths.back(), total > used ? total - used : size_t{1});
    widths.back() = std::max<size_t>(widths.back(), 1);
    return widths;
}

std::string LayOutRow(const std::vector<std::string>& cells, const std::vector<size_t>& widths,
                      size_t gap) {
    if (widths.empty()) {
        return {};
    }
    const std::string last = cells.size() >= widths.size() ? cells[widths.size() - 1] : "";
    return Trimmed(Lead(cells, widths, gap) + TruncateToWidth(last, widths.back()));
}

std::vector<std::string> LayOutWrappedRow(const std::vector<std::string>& cells,
                                          const std::vector<size_t>& widths, size_t gap) {
    if (widths.empty()) {
        return {};
    }
    const std::string last = cells.size() >= widths.size() ? cells[widths.size() - 1] : "";
    const std::string lead = Lead(cells, widths, gap);
    const std::string indent(DisplayWidth(lead), ' ');
    std::vector<std::string> lines;
    for (const std::string& part : WrapToWidth(last, widths.back())) {
        lines.push_back(Trimmed((lines.empty() ? lead : indent) + part));
    }
    return lines;
}
