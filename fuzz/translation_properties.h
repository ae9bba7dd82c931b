// Properties every translation must have, whatever the input: checked by the
// fuzz target on generated inputs and by the tests on kept regressions.
//
// An input is two bytes of settings followed by the model: the first byte
// picks N (from -3 to 28), the second the size of the pieces the model is
// read in and of the buffers.
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
