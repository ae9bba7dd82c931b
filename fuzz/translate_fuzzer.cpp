// libFuzzer entry point: translates arbitrary bytes and checks the properties
// of the result.
#include <cstdio>
#include <cstdlib>

#include "translation_properties.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const fuzzing::Violation violation = fuzzing::check_translation_properties(data, size);
    if (!violation.what.empty()) {
        std::fprintf(stderr, "property violated: %s\n", violation.what.c_str());
        std::abort();
    }
    return 0;
}
