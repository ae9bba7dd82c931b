// The terminal, for progress shown in place.
#pragma once

namespace ruvello {

// Whether standard error is a terminal, where a line can be redrawn.
bool standard_error_is_terminal();

}  // namespace ruvello
