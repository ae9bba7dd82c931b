// How a check fails, besides the files it reads and writes (OpenError,
// ReadError, WriteError), its warnings (WarningsAreFatal) and the signals
// that end it (Interrupted).
#pragma once

#include <stdexcept>
#include <string>

#include "platform/streams.h"

namespace ruvello::check {

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

}  // namespace ruvello::check
