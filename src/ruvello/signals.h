// How signals end a run.
//
// SIGINT, SIGTERM and SIGHUP remove the unfinished output, if there is one,
// and then end the process as the signal would have; one that was ignored
// when the run started stays ignored. SIGPIPE and SIGXFSZ are ignored, so
// that a write to a closed pipe or past a file-size limit fails and is
// reported instead of ending the run with nothing said.
#pragma once

namespace ruvello {

void handle_signals();

// The file that a signal removes before the process ends: `name` in the
// directory open as `directory`. Only one at a time.
void remove_on_signal(int directory, const char* name);
// Nothing to remove any more.
void forget_unfinished_output();

}  // namespace ruvello
