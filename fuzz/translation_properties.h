// Properties every translation must have, whatever the input: checked by the
// fuzz target on generated inputs and by the tests on kept regressions.
//
// An input is two bytes of settings followed by the model. The first byte
// picks N (from -3 to 28). The second picks the size of the reads and
// buffers and of the pieces (1 to 16 bytes, its low four bits), the number
// of threads the pieces are translated on (0 to 3, the next two bits), and
// whether a piece may go on past three times that size (its seventh bit).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace fuzzing {

struct Violation {
    std::string what;  // empty when every property holds
};

Violation check_translation_properties(const std::uint8_t* data, std::size_t size);

}  // namespace fuzzing
