#include "smv/excerpt.h"

namespace ruvello::smv {

std::string excerpt(std::string_view text, std::size_t limit) {
    std::string printable;
    bool space = false;
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte <= ' ') {
            space = !printable.empty();
            continue;
        }
        if (space) printable += ' ';
        space = false;
        printable += byte < 0x7F ? c : '?';
    }
    if (printable.size() <= limit) return printable;
    const std::size_t kept = limit > 3 ? limit - 3 : 0;
    return printable.substr(0, kept) + "...";
}

}  // namespace ruvello::smv
