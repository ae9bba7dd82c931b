// The command line:  ruvello -p N -f MODEL  (the two pairs in either order).
#pragma once

#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace ruvello {

struct CommandLine {
    enum class Action { translate, help, version };
    Action action = Action::translate;
    int process_count = 0;                  // 0 when no -p is given
    std::optional<std::string> model_path;  // absent when no -f is given; "-" is standard input
    bool fatal_warnings = false;            // --fatal-warnings
    bool all_instances = false;             // --all-instances
    bool line_markers = false;              // --line-markers
    bool all_warnings = false;              // --all-warnings
};

// The command line after the program name, or nothing when it is malformed:
// apart from flags, which may come anywhere, not exactly two option/value
// pairs (or one of -h, --help, --version alone), an unknown option word, or
// a -p value that is not a whole 32-bit decimal integer. A repeated option:
// the later one counts.
std::optional<CommandLine> parse_command_line(std::span<const char* const> args);

// A whole decimal integer, optionally signed, within the 32-bit range.
std::optional<int> parse_process_count(std::string_view text);

// The output path of a model: within the last path component, the text up to
// the first '.' after its leading dots, followed by ".smv".
std::string output_path_for(std::string_view model_path);

// A path as the banner, warnings and messages show it: as given, unless it
// holds a control character; then with C-style escapes (\n, \t, \\, \033),
// so that it stays on its line and cannot start one of its own.
std::string printable(std::string_view path);

}  // namespace ruvello
