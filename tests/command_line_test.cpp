#include "command_line.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

TEST(CommandLine, LetsTheLaterOfARepeatedOptionWin) {
    const std::vector<const char*> args = {"-f", "a.in", "-f", "b.in"};
    const auto command = ruvello::parse_command_line(args);
    ASSERT_TRUE(command);
    EXPECT_EQ(command->process_count, 0);
    EXPECT_EQ(command->model_path, "b.in");
}

TEST(CommandLine, TakesAWholeSignedDecimalInt32AsN) {
    const std::pair<const char*, std::optional<int>> cases[] = {
        {"12", 12}, {"-2", -2}, {"+7", 7}, {"007", 7}, {"2147483647", 2147483647},
        {"-2147483648", -2147483647 - 1}, {"2147483648", std::nullopt}, {"abc", std::nullopt},
        {"3xyz", std::nullopt}, {"", std::nullopt}, {"-", std::nullopt}, {"+-3", std::nullopt},
        {" 3", std::nullopt}, {"0x10", std::nullopt},
    };
    for (const auto& [text, value] : cases)
        EXPECT_EQ(ruvello::parse_process_count(text), value) << '"' << text << '"';
}

TEST(CommandLine, CutsTheOutputStemInTheLastPathComponent) {
    const std::pair<const char*, const char*> cases[] = {
        {"models/mutex.in", "models/mutex.smv"}, {"./mutex.in", "./mutex.smv"},
        {"../m/a.b.c", "../m/a.smv"},           {"dir.old/m.in", "dir.old/m.smv"},
        {"mutex", "mutex.smv"},                 {"dir/.hidden.in", "dir/.hidden.smv"},
        {"..in", "..in.smv"},
    };
    for (const auto& [input, output] : cases) EXPECT_EQ(ruvello::output_path_for(input), output);
}

}  // namespace
