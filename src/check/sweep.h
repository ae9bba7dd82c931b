// Checks a model for several N: translates it for each, runs the checker on
// each translation, and reports the verdicts.
#pragma once

#include <stdexcept>

#include "command_line.h"

namespace ruvello::check {

// Ended by a signal; the run ends as the signal would have once everything
// is cleaned up.
struct Interrupted {
    int signal;
};

// With --fatal-warnings, a model that warns is not checked.
struct WarningsAreFatal : std::runtime_error {
    using std::runtime_error::runtime_error;
};

// `ruvello --check`: prints the table (or the JSON) on standard output and
// returns the exit status. Throws UsageError for an option the checker may
// not get, OpenError and ReadError for the model, WriteError and OpenError
// for what it writes, WarningsAreFatal and Interrupted.
int check_model(const CommandLine& command);

// `ruvello --report`: the documents of earlier checks as one.
int report_checks(const CommandLine& command);

}  // namespace ruvello::check
