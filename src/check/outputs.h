// What a check or a report shows: the table (or the JSON) on standard
// output, and the files asked for: JSON, JUnit and the plot.
#pragma once

#include "check/results.h"
#include "check/settings.h"
#include "platform/signals.h"

namespace ruvello::check {

// Writes `results` as `settings` asks. A file that cannot be written is
// reported (WriteError) after the others are written.
void write_results(const Results& results, const Settings& settings, const SignalsCaught& signals);

// `ruvello --report`: the documents of earlier checks as one; returns the
// exit status of their verdicts. Throws OpenError and ReadError for the
// documents, ResultsNotWritten for what it writes.
int report_checks(const Settings& settings);

}  // namespace ruvello::check
