// The terminal, for progress shown in place.
#pragma once

#include <cstddef>

namespace ruvello {

// Whether standard error is a terminal, where a line can be redrawn.
bool standard_error_is_terminal();

// How many columns a table on standard output may take: the terminal's
// width, else COLUMNS, else 0 for as many as it needs.
std::size_t standard_output_width();

}  // namespace ruvello
