// Checks a model for several N: translates it for each, runs the checker on
// each translation, and reports the verdicts.
#pragma once

#include "check/errors.h"
#include "check/settings.h"

namespace ruvello::check {

// `ruvello --check`: prints the table (or the JSON) on standard output and
// returns the exit status. Throws OpenError and ReadError for the model,
// WriteError and OpenError for what it writes, CheckerMissing,
// ResultsNotWritten, WarningsAreFatal and Interrupted (after printing what
// was found before the signal).
int check_model(const Settings& settings);

}  // namespace ruvello::check
