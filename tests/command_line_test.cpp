#include "command_line.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

using ruvello::CommandLine;

std::optional<CommandLine> parse(std::vector<const char*> args) {
    return ruvello::parse_command_line(args);
}

TEST(CommandLine, TakesTwoOptionPairsInEitherOrder) {
    for (const auto& args : {std::vector<const char*>{"-p", "3", "-f", "m.in"},
                             std::vector<const char*>{"-f", "m.in", "-p", "3"}}) {
        const auto command = parse(args);
        ASSERT_TRUE(command);
        EXPECT_EQ(command->action, CommandLine::Action::translate);
        EXPECT_EQ(command->process_count, 3);
        EXPECT_EQ(command->model_path, "m.in");
    }
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

TEST(CommandLine, RejectsMalformedCommandLines) {
    const std::vector<std::vector<const char*>> cases = {
        {},
        {"-p", "3"},
        {"-p", "3", "-f", "m.in", "-p", "4"},
        {"-x", "1", "-f", "m.in"},
        {"-f", "m.in", "-x", "1"},
        {"-P", "3", "-f", "m.in"},
        {"-p", "abc", "-f", "m.in"},
        {"-p", "3xyz", "-f", "m.in"},
        {"-p", "", "-f", "m.in"},
        {"-p", "99999999999", "-f", "m.in"},
        {"-h", "x", "-f", "m.in"},
        {"m.in"},
    };
    for (const auto& args : cases) EXPECT_FALSE(parse(args)) << args.size() << " arguments";
}

TEST(CommandLine, KnowsHelpAndVersion) {
    EXPECT_EQ(parse({"-h"})->action, CommandLine::Action::help);
    EXPECT_EQ(parse({"--help"})->action, CommandLine::Action::help);
    EXPECT_EQ(parse({"--version"})->action, CommandLine::Action::version);
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
