// The bundled examples, translated for several N, against expected outputs
// that were read line by line. tests/golden/regenerate.sh rewrites them.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "translator.h"

namespace {

namespace fs = std::filesystem;

const fs::path source_dir = RUVELLO_SOURCE_DIR;
constexpr int process_counts[] = {2, 3, 5};

std::string read_file(const fs::path& path) {
    std::ifstream file(path, std::ios::binary);
    std::ostringstream text;
    text << file.rdbuf();
    return text.str();
}

TEST(Golden, EveryExampleTranslatesToItsExpectedOutput) {
    int examples = 0;
    for (const auto& entry : fs::directory_iterator(source_dir / "examples")) {
        if (entry.path().extension() != ".in") continue;
        ++examples;
        const std::string name = entry.path().stem().string();
        const std::string model = read_file(entry.path());
        for (int n : process_counts) {
            const fs::path golden =
                source_dir / "tests" / "golden" / (name + ".p" + std::to_string(n) + ".smv");
            ASSERT_TRUE(fs::exists(golden)) << golden;
            std::ostringstream warnings;
            const std::string output =
                ruvello::translate_text(model, {n, "examples/" + name + ".in"}, warnings);
            EXPECT_EQ(output, read_file(golden)) << golden;
            EXPECT_EQ(warnings.str(), "") << golden;
        }
    }
    EXPECT_GE(examples, 3);
}

}  // namespace
