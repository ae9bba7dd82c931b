#include "platform/terminal.h"

#include <sys/ioctl.h>
#include <unistd.h>

#include <charconv>
#include <cstdlib>
#include <string_view>

namespace ruvello {

bool standard_error_is_terminal() { return ::isatty(STDERR_FILENO) == 1; }

std::size_t standard_output_width() {
    struct winsize size {};
    if (::isatty(STDOUT_FILENO) == 1 && ::ioctl(STDOUT_FILENO, TIOCGWINSZ, &size) == 0 && size.ws_col > 0)
        return size.ws_col;
    const char* const columns = std::getenv("COLUMNS");
    if (columns == nullptr) return 0;
    const std::string_view text(columns);
    std::size_t width = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), width);
    return error == std::errc() && end == text.data() + text.size() ? width : 0;
}

}  // namespace ruvello
