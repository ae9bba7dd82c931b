// Inputs kept from fuzzing, and the fuzzing seeds, must keep every property
// the fuzz target checks.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

#include "translation_properties.h"

namespace {

namespace fs = std::filesystem;

TEST(FuzzRegressions, KeepEveryTranslationProperty) {
    int inputs = 0;
    for (const char* folder : {"regressions", "seeds"}) {
        for (const auto& entry : fs::directory_iterator(fs::path(RUVELLO_SOURCE_DIR) / "fuzz" / folder)) {
            std::ifstream file(entry.path(), std::ios::binary);
            const std::vector<std::uint8_t> data((std::istreambuf_iterator<char>(file)),
                                                 std::istreambuf_iterator<char>());
            EXPECT_EQ(fuzzing::check_translation_properties(data.data(), data.size()).what, "")
                << entry.path().filename();
            ++inputs;
        }
    }
    EXPECT_GT(inputs, 0);
}

}  // namespace
