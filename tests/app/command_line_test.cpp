#include "app/command_line.h"
#include "translate/translation.h"

#include <gtest/gtest.h>

#include <sstream>
#include <vector>

namespace {

using ruvello::CommandLine;

std::vector<const char*> words(const char* line) {
    static std::vector<std::string> storage;  // outlives the call's pointers
    storage.clear();
    std::istringstream in(line);
    for (std::string word; in >> word;) storage.push_back(word == "''" ? "" : word);
    std::vector<const char*> args;
    for (const std::string& word : storage) args.push_back(word.c_str());
    return args;
}

// What a command line is read as: the action, N, the model and the output.
std::string reading(const char* line) {
    try {
        const CommandLine command = ruvello::parse_command_line(words(line));
        std::string text;
        switch (command.action) {
        case CommandLine::Action::translate: text = "translate"; break;
        case CommandLine::Action::check: text = "check"; break;
        case CommandLine::Action::report: text = "report"; break;
        case CommandLine::Action::help: return "help";
        case CommandLine::Action::version: return "version";
        }
        for (const int n : command.process_counts) text += " " + std::to_string(n);
        text += " " + command.model_path;
        if (command.output_path) text += " -> " + *command.output_path;
        return text;
    } catch (const ruvello::UsageError& error) {
        return error.what();
    }
}

TEST(CommandLine, ReadsEveryFormOfTheOptionsAndNamesWhatIsWrong) {
    const std::pair<const char*, const char*> cases[] = {
        {"-p 3 -f m.in", "translate 3 m.in"},
        {"-f m.in -p 3", "translate 3 m.in"},
        {"-p3 -fm.in", "translate 3 m.in"},
        {"--processes 3 --file m.in", "translate 3 m.in"},
        {"--processes=3 --file=m.in", "translate 3 m.in"},
        {"--line-markers -p 3 --all-instances -f m.in --fatal-warnings", "translate 3 m.in"},
        {"-p 2 -f a.in -p 3 -f b.in", "translate 3 b.in"},
        {"-p 3 -f m.in -o out.smv", "translate 3 m.in -> out.smv"},
        {"-p 3 -f m.in --output=- -o x.smv", "translate 3 m.in -> x.smv"},
        {"-p -2 -f -", "translate -2 -"},
        {"-p 3 -f-odd.in", "translate 3 -odd.in"},
        {"-p 3 --file=-odd.in", "translate 3 -odd.in"},
        {"-p 3 -f -odd.in",
         "ruvello: '-f' takes a file, not the option '-odd.in'; for a file of that name write "
         "--file=-odd.in or ./-odd.in"},
        {"--check -p 3 -f m.in --keep --json",
         "ruvello: '--keep' takes a folder, not the option '--json'; for a folder of that name write "
         "--keep=--json or ./--json"},
        {"--check -p 3 -f m.in --json -", "check 3 m.in"},
        {"--check -p 3 -f m.in --trace t", "ruvello: unknown option '--trace'; did you mean '--traces'?"},
        {"--check -p 3 -f m.in --jbos 2", "ruvello: unknown option '--jbos'; did you mean '--jobs'?"},
        {"--check -p 3 -f m.in --frobnicate", "ruvello: unknown option '--frobnicate'"},
        {"-p 3 -f m.in --", "translate 3 m.in"},
        {"--check -p 2..4,6,3 -f m.in", "check 2 3 4 6 m.in"},
        {"-p 5 --check -f m.in --symmetric --jobs 2", "check 5 m.in"},
        {"--check -p 1 -f m.in --jobs 1 --timeout 0.5", "check 1 m.in"},
        {"--report a.json --report b.json --json -", "report "},
        {"--report a.json b.json c.json", "report "},
        {"-p 3 --bogus -f m.in --help", "help"},
        {"-f m.in -h", "help"},
        {"--version -p x", "version"},
        {"--bogus -p 3 -f m.in", "ruvello: unknown option '--bogus'"},
        {"-p 3 -f m.in --bogus=1", "ruvello: unknown option '--bogus'"},
        {"-x", "ruvello: unknown option '-x'"},
        {"-p 3.0 -f m.in", "ruvello: -p needs a whole number, not '3.0'"},
        {"-p 2147483648 -f m.in", "ruvello: -p '2147483648' is too large: at most 2147483647"},
        {"--check -p 99999999999999999999 -f m.in",
         "ruvello: -p '99999999999999999999' is too large: at most 1000 values of N in one check"},
        {"--check -p 2..2147483647 -f m.in",
         "ruvello: -p '2..2147483647' asks for more than 1000 values of N in one check; check a part "
         "of them at a time"},
        {"--check -p 2147483647 -f m.in", "check 2147483647 m.in"},
        {"--check -p 2..,7 --budget 1m -f m.in", "ruvello: -p needs numbers of processes of 1 or more, a range "
                                                 "FROM..TO or a list 2,3,5, not '2..,7'"},
        {"--check -p 5.. -f m.in", "ruvello: -p '5..' has no end: give the sweep a --budget, such as 10m"},
        {"--check -p 3 -f m.in --budget 10", "ruvello: --budget needs a duration of hours, minutes and seconds, "
                                             "in that order and each at most once, such as 90s, 10m, 1h30m or "
                                             "2.5h (above 0, at most 10000h), not '10'"},
        {"-p '' -f m.in", "ruvello: -p needs a whole number, not ''"},
        {"-p 2..4 -f m.in", "ruvello: -p takes a range or a list only with --check, not '2..4'"},
        {"--check -p 4..2 -f m.in", "ruvello: -p range '4..2' is empty"},
        {"--check -p 0..2 -f m.in",
         "ruvello: -p needs numbers of processes of 1 or more, a range FROM..TO or a list 2,3,5, "
         "not '0..2'"},
        {"--check -p 2,,3 -f m.in",
         "ruvello: -p needs numbers of processes of 1 or more, a range FROM..TO or a list 2,3,5, "
         "not '2,,3'"},
        {"-f m.in", "ruvello: missing -p N"},
        {"-p 3", "ruvello: missing -f MODEL"},
        {"", "ruvello: missing -p N"},
        {"-p 3 -f", "ruvello: missing the value of '-f'"},
        {"-p 3 m.in", "ruvello: 'm.in': a model is given with -f MODEL"},
        {"-p 3 -f m.in -- -x", "ruvello: '-x': a model is given with -f MODEL"},
        {"-p 3 -f m.in -", "ruvello: '-': a model is given with -f MODEL"},
        {"--check=yes -p 3 -f m.in", "ruvello: '--check' takes no value, not 'yes'"},
        {"-p 3 -f m.in --jobs 2", "ruvello: '--jobs' is an option of --check"},
        {"-p 3 -f m.in --json r.json", "ruvello: '--json' is an option of --check"},
        {"--check -p 3 -f m.in -o m.smv",
         "ruvello: -o is not an option of --check, which leaves no translation behind (--keep "
         "DIR keeps them)"},
        {"--check -p 3 -f m.in --jobs 0", "ruvello: --jobs needs a whole number of 1 or more, not '0'"},
        {"--check -p 3 -f m.in --timeout -1",
         "ruvello: --timeout needs a number of seconds above 0, not '-1'"},
        {"--check -p 3 -f m.in --timeout nan",
         "ruvello: --timeout needs a number of seconds above 0, not 'nan'"},
        {"--report a.json -p 3",
         "ruvello: --report merges the documents of earlier checks, and takes only --json, "
         "--junit and --plot"},
    };
    for (const auto& [line, expected] : cases) EXPECT_EQ(reading(line), expected) << line;
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

TEST(CommandLine, TakesADurationOfHoursMinutesAndSecondsInThatOrderEachOnce) {
    const std::pair<const char*, std::optional<double>> cases[] = {
        {"90s", 90}, {"10m", 600}, {"2h", 7200}, {"1h30m", 5400}, {"1h2m3s", 3723}, {"1.5m", 90}, {"0.25s", 0.25},
        {"10000h", 36e6}, {"10", std::nullopt}, {"1m1h", std::nullopt}, {"90s90s", std::nullopt},
        {"1m30", std::nullopt}, {"1s1m", std::nullopt}, {"", std::nullopt}, {"0s", std::nullopt},
        {"0h0m", std::nullopt}, {"10x", std::nullopt}, {"m", std::nullopt}, {"-5s", std::nullopt},
        {"+5s", std::nullopt}, {".5s", std::nullopt}, {"5.s", std::nullopt}, {"1e3s", std::nullopt},
        {"infs", std::nullopt}, {"10M", std::nullopt}, {" 5s", std::nullopt}, {"10001h", std::nullopt},
    };
    for (const auto& [text, seconds] : cases) EXPECT_EQ(ruvello::parse_duration(text), seconds) << text;
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
