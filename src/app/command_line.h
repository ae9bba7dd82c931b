// The command line:  ruvello -p N -f MODEL [-o OUTPUT]  and its flags, or
// ruvello --check -p FROM..TO -f MODEL  to check the translations.
#pragma once

#include <optional>
#include <span>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace ruvello {

// A malformed command line; what() names the argument and says why, as in
// "ruvello: unknown option '--bogus'".
struct UsageError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

struct CommandLine {
    enum class Action { translate, check, report, help, version };
    Action action = Action::translate;
    std::vector<int> process_counts;        // one, unless checking
    std::string model_path;                 // "-" is standard input
    std::optional<std::string> output_path;  // -o; "-" is standard output
    bool fatal_warnings = false;            // --fatal-warnings
    bool all_instances = false;             // --all-instances
    bool line_markers = false;              // --line-markers
    bool all_warnings = false;              // --all-warnings

    // --check and --report
    bool symmetric = false;                    // --symmetric
    std::optional<std::string> checker;        // --checker PATH
    std::vector<std::string> checker_options;  // --checker-option OPT, in order
    std::optional<std::string> keep_directory;  // --keep DIR
    int jobs = 1;                              // --jobs J
    std::optional<double> timeout_seconds;     // --timeout SECONDS
    std::optional<std::string> json_path;      // --json FILE; "-" is standard output
    std::optional<std::string> junit_path;     // --junit FILE
    std::optional<std::string> traces_directory;  // --traces DIR
    bool accept_warnings = false;              // --accept-warnings
    bool open_range = false;                   // -p FROM..: as far as the budget goes
    std::optional<double> budget_seconds;      // --budget DURATION
    bool keep_going = false;                   // --keep-going: larger N after a timeout
    bool stop_at_false = false;                // --stop-at-false
    bool counterexamples = true;               // under the table; --no-counterexamples
    std::optional<std::string> plot_path;      // --plot FILE.svg or FILE.png
    bool reference_checks = false;             // --reference-checks: NuSMV's checks as written
    std::vector<std::string> report_paths;     // --report FILE.json, repeatable
};

// The command line after the program name. Options take their value as the
// next argument, joined (-p3, -fMODEL) or after '=' (--processes=3); flags
// may come anywhere, "--" ends the options, and of a repeated option the
// later one counts. -h or --help anywhere asks for the help. Throws
// UsageError.
CommandLine parse_command_line(std::span<const char* const> args);

// The longest duration that parse_duration takes, in hours.
inline constexpr int most_duration_hours = 10000;

// A duration: hours, minutes and seconds, each a whole or decimal number
// followed by h, m or s, in that order and each at most once ("90s", "10m",
// "1h30m", "2.5h"); nothing when it is none, not above 0, or longer than
// most_duration_hours.
std::optional<double> parse_duration(std::string_view text);

// A whole decimal integer, optionally signed, within the 32-bit range.
std::optional<int> parse_process_count(std::string_view text);

}  // namespace ruvello
