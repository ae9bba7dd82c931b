// What a check is asked to do, as the command line gave it: which N, the
// checker and its limits, and where the results go.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace ruvello::check {

struct Settings {
    std::string model_path;           // "-" is standard input
    std::vector<int> process_counts;  // in the order checked
    bool open_range = false;          // as far as the budget goes

    // The translations
    bool fatal_warnings = false;
    bool all_warnings = false;
    bool accept_warnings = false;  // check properties that warn as well
    bool symmetric = false;        // one tuple of processes stands for all
    bool reference_checks = false;  // NuSMV's checks as the model writes them

    // The checker: a path given, else the one the environment names, else NuSMV
    std::optional<std::string> checker;
    std::optional<std::string> checker_from_environment;
    std::vector<std::string> checker_options;  // in order, none of those refused

    // Limits
    int jobs = 1;
    std::optional<double> timeout_seconds;  // of each run
    std::optional<double> budget_seconds;   // of the whole sweep
    bool keep_going = false;                // larger N after a timeout
    bool stop_at_false = false;
    bool counterexamples = true;  // of the smallest N, under the table

    // Outputs besides the table; "-" for JSON is standard output
    std::optional<std::string> keep_directory;
    std::optional<std::string> json_path;
    std::optional<std::string> junit_path;
    std::optional<std::string> traces_directory;
    std::optional<std::string> plot_path;
    std::vector<std::string> report_paths;  // documents of earlier checks, for --report
};

}  // namespace ruvello::check
