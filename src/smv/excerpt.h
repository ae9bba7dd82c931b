// Model text quoted in a message: one line of printable characters.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace ruvello::smv {

// `text` with every run of blanks, line ends and other control characters
// made one space, every byte outside printable ASCII made '?', trimmed, and
// cut to at most `limit` characters, the cut marked with "...".
std::string excerpt(std::string_view text, std::size_t limit = 40);

}  // namespace ruvello::smv
