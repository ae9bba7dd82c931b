// Checks a model for several N: translates it for each, runs the checker on
// each translation, and reports the verdicts.
#pragma once

#include <stdexcept>

#include "check/settings.h"
#include "platform/streams.h"

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

// No checker that can be run: what() says what was tried and what to do.
struct CheckerMissing : std::runtime_error {
    using std::runtime_error::runtime_error;
};

// The table was printed, but a file asked for could not be written; the
// exit status is still that of the verdicts when one of them is false.
struct ResultsNotWritten : WriteError {
    ResultsNotWritten(const std::string& why, int verdicts_status)
        : WriteError(why), status(verdicts_status == 1 ? 1 : 3) {}
    int status;
};

// `ruvello --check`: prints the table (or the JSON) on standard output and
// returns the exit status. Throws OpenError and ReadError for the model, WriteError and OpenError
// for what it writes, CheckerMissing, ResultsNotWritten, WarningsAreFatal
// and Interrupted (after printing what was found before the signal).
int check_model(const Settings& settings);

// `ruvello --report`: the documents of earlier checks as one.
int report_checks(const Settings& settings);

}  // namespace ruvello::check
