#pragma once

#include <cstddef>
#include <string>
#include <vector>

// A table that fits the terminal: rather than let a line wrap, columns are narrowed or left out
// in the order the caller gives, and the last column takes what is left.
struct ColumnStep {
    size_t column;
    size_t width;  // the column narrows to this many columns; 0 leaves it out
};

// The widths of columns whose widest cells (headers included) are `natural`, with `gap` spaces
// between two columns, in `total` columns at most: `steps` are taken in order until the last
// column has `lastMinimum` columns (or its natural width, when less). The last column gets what
// is left, up to its natural width. A width of 0 is a column left out.
std::vector<size_t> FitColumns(const std::vector<size_t>& natural, size_t total, size_t gap,
                               size_t lastMinimum, const std::vector<ColumnStep>& steps);

// One line: each cell padded or cut to its width, the last cell cut with "…" where it does not
// fit; no trailing spaces.
std::string LayOutRow(const std::vector<std::string>& cells, const std::vector<size_t>& widths,
                      size_t gap);

// As LayOutRow, but a last cell that does not fit goes on over further lines, broken at spaces
// and indented to its column, so nothing of it is lost.
std::vector<std::string> LayOutWrappedRow(const std::vector<std::string>& cells,
                                          const std::vector<size_t>& widths, size_t gap);
