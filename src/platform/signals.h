// How signals end a run.
//
// SIGINT, SIGTERM and SIGHUP remove the unfinished output, if there is one,
// and then end the process as the signal would have; once the output is in
// place the run has succeeded, and they end it with status 0. One that was
// ignored when the run started stays ignored. SIGPIPE and SIGXFSZ are
// ignored, so that a write to a closed pipe or past a file-size limit fails
// and is reported instead of ending the run with nothing said.
#pragma once

#include <csignal>
#include <exception>
#include <string>

namespace ruvello {

void handle_signals();

// The file that a signal removes before the process ends: `name` in the
// directory open as `directory`. Only one at a time.
void remove_on_signal(int directory, const char* name);
// Nothing to remove any more: the file is gone.
void forget_unfinished_output();
// The output is in place: a signal now ends the run as the success it is.
void output_in_place();

// Holds SIGINT, SIGTERM and SIGHUP back while it lives, so that a step that
// must not be split, such as putting the output in place and noting it,
// is not; one that came meanwhile is handled when it ends.
class SignalsHeld {
public:
    SignalsHeld();
    ~SignalsHeld();
    SignalsHeld(const SignalsHeld&) = delete;
    SignalsHeld& operator=(const SignalsHeld&) = delete;

private:
    sigset_t before_;
};

// For a run that waits for child processes: while it lives, SIGINT, SIGTERM
// and SIGHUP (unless ignored when the run started) and SIGCHLD are held
// back, except while waiting with the mask from before; one that came is
// then noted instead of ending the process, so that the run can stop its
// children and clean up before it ends.
class SignalsCaught {
public:
    SignalsCaught();
    ~SignalsCaught();
    SignalsCaught(const SignalsCaught&) = delete;
    SignalsCaught& operator=(const SignalsCaught&) = delete;

    // The ending signal that came, or 0.
    static int ending_signal();
    // The ending signal that came or waits to be let in, or 0: for a long
    // step between waits.
    static int ending_signal_pending();
    // The mask from before: to wait with, which lets the signals in, and
    // for a child to start with.
    const sigset_t& original_mask() const { return before_; }

private:
    sigset_t before_;
    struct sigaction actions_before_[4];
};

// A run stopped by an ending signal; it ends as the signal would have once
// everything is cleaned up (end_as_by).
struct Interrupted : std::exception {
    explicit Interrupted(int by) : signal(by) {}
    const char* what() const noexcept override { return "interrupted by a signal"; }
    int signal;
};

// Throws Interrupted when an ending signal came (ending_signal), or, with
// `pending`, came or waits to be let in (ending_signal_pending).
void stop_if_signalled(bool pending = false);

// Ends the process as `signal` would have.
[[noreturn]] void end_as_by(int signal);

// "SIGINT", "SIGTERM" or "SIGHUP" for the signals that end a run, else
// "signal N".
std::string ending_signal_name(int signal);

}  // namespace ruvello
