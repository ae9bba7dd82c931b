// The bundled examples, translated for several N, against expected outputs
// that were read line by line (tests/golden/regenerate.sh rewrites them), and
// the inputs kept from fuzzing, which must keep every property it checks.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "translation_properties.h"
#include "translator.h"

namespace {

namespace fs = std::filesystem;
const fs::path source_dir = RUVELLO_SOURCE_DIR;

std::string read(const fs::path& path) {
    std::ifstream file(path, std::ios::binary);
    std::ostringstream text;
    text << file.rdbuf();
    return text.str();
}

TEST(Golden, EveryExampleTranslatesToItsExpectedOutput) {
    int examples = 0;
    for (const auto& entry : fs::directory_iterator(source_dir / "examples")) {
        const std::string name = entry.path().stem().string();
        for (int n : {2, 3, 5}) {
            std::ostringstream warnings;
            EXPECT_EQ(ruvello::translate_text(read(entry.path()), {n, "examples/" + name + ".in"},
                                              warnings),
                      read(source_dir / "tests/golden" / (name + ".p" + std::to_string(n) + ".smv")))
                << name << " for N = " << n;
            EXPECT_EQ(warnings.str(), "");
        }
        ++examples;
    }
    EXPECT_GE(examples, 3);
}

TEST(FuzzInputs, KeepEveryTranslationProperty) {
    for (const char* folder : {"fuzz/regressions", "fuzz/seeds"}) {
        for (const auto& entry : fs::directory_iterator(source_dir / folder)) {
            const std::string data = read(entry.path());
            EXPECT_EQ(fuzzing::check_translation_properties(
                          reinterpret_cast<const std::uint8_t*>(data.data()), data.size())
                          .what,
                      "")
                << entry.path();
        }
    }
}

}  // namespace
