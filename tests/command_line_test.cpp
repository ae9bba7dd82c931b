#include "command_line.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

using ruvello::CommandLine;

std::optional<CommandLine> parse(std::vector<const char*> args) {
    return ruvello::parse_command_line(args);
}

TEST(CommandLine, LetsARepeatedOptionWinAndMissingOnesDefault) {
    const auto two_counts = parse({"-p", "3", "-p", "4"});
    ASSERT_TRUE(two_counts);
    EXPECT_EQ(two_counts->process_count, 4);
    EXPECT_FALSE(two_counts->model_path);

    const auto two_models = parse({"-f", "a.in", "-f", "b.in"});
    ASSERT_TRUE(two_models);
    EXPECT_EQ(two_models->process_count, 0);
    EXPECT_EQ(two_models->model_path, "b.in");
}

TEST(ProcessCount, IsAWholeSignedDecimalInt32) {
    const std::pair<const char*, std::optional<int>> cases[] = {
        {"0", 0},
        {"12", 12},
        {"-2", -2},
        {"+7", 7},
        {"007", 7},
        {"2147483647", 2147483647},
        {"-2147483648", -2147483647 - 1},
        {"2147483648", std::nullopt},
        {"99999999999", std::nullopt},
        {"abc", std::nullopt},
        {"3xyz", std::nullopt},
        {"", std::nullopt},
        {"-", std::nullopt},
        {"+", std::nullopt},
        {"+-3", std::nullopt},
        {" 3", std::nullopt},
        {"3 ", std::nullopt},
        {"0x10", std::nullopt},
    };
    for (const auto& [text, value] : cases)
        EXPECT_EQ(ruvello::parse_process_count(text), value) << '"' << text << '"';
}

TEST(OutputPath, CutsTheStemInTheLastPathComponent) {
    const std::pair<const char*, const char*> cases[] = {
        {"models/mutex.in", "models/mutex.smv"},
        {"./mutex.in", "./mutex.smv"},
        {"../m/a.b.c", "../m/a.smv"},
        {"dir.old/m.in", "dir.old/m.smv"},
        {"v1.x/a.in", "v1.x/a.smv"},
        {"mutex", "mutex.smv"},
        {".hidden.in", ".hidden.smv"},
        {"dir/.hidden.in", "dir/.hidden.smv"},
        {"..in", "..in.smv"},
        {"/abs/m.smv", "/abs/m.smv"},
    };
    for (const auto& [input, output] : cases) EXPECT_EQ(ruvello::output_path_for(input), output);
}

}  // namespace
