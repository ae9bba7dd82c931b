#include "terminal.h"

#include <unistd.h>

namespace ruvello {

bool standard_error_is_terminal() { return ::isatty(STDERR_FILENO) == 1; }

}  // namespace ruvello
