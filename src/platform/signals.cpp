#include "platform/signals.h"

#include <fcntl.h>
#include <unistd.h>

#include <atomic>
#include <climits>
#include <csignal>
#include <cstring>

namespace ruvello {

namespace {

// Shared with the handler, which may interrupt any write to them: it reads
// the directory and the name only while the output is unfinished, and the
// fences keep their writes on the right side of the state's.
enum OutputState : std::sig_atomic_t { no_output, unfinished_output, output_done };
volatile std::sig_atomic_t output_state = no_output;
volatile std::sig_atomic_t unfinished_directory = -1;
char unfinished_name[NAME_MAX + 1];

extern "C" void end_run(int signal) {
    if (output_state == output_done) ::_exit(0);
    if (output_state == unfinished_output) ::unlinkat(unfinished_directory, unfinished_name, 0);
    struct sigaction default_action {};
    default_action.sa_handler = SIG_DFL;
    ::sigaction(signal, &default_action, nullptr);
    ::raise(signal);  // delivered once the handler returns
}

constexpr int ending_signals[] = {SIGINT, SIGTERM, SIGHUP};

sigset_t ending_signal_set() {
    sigset_t set;
    sigemptyset(&set);
    for (int signal : ending_signals) sigaddset(&set, signal);
    return set;
}

}  // namespace

void handle_signals() {
    struct sigaction ignore {};
    ignore.sa_handler = SIG_IGN;
    ::sigaction(SIGPIPE, &ignore, nullptr);
    ::sigaction(SIGXFSZ, &ignore, nullptr);

    struct sigaction end {};
    end.sa_handler = end_run;
    end.sa_mask = ending_signal_set();
    for (int signal : ending_signals) {
        // A signal that whoever started the run ignores (nohup, a background
        // job) stays ignored.
        struct sigaction current {};
        if (::sigaction(signal, nullptr, &current) == 0 && current.sa_handler != SIG_IGN)
            ::sigaction(signal, &end, nullptr);
    }
}

void remove_on_signal(int directory, const char* name) {
    const std::size_t length = std::strlen(name);
    if (length >= sizeof unfinished_name) return;
    output_state = no_output;
    std::atomic_signal_fence(std::memory_order_seq_cst);
    std::memcpy(unfinished_name, name, length + 1);
    unfinished_directory = directory;
    std::atomic_signal_fence(std::memory_order_seq_cst);
    output_state = unfinished_output;
}

void forget_unfinished_output() {
    output_state = no_output;
    std::atomic_signal_fence(std::memory_order_seq_cst);
}

void output_in_place() {
    output_state = output_done;
    std::atomic_signal_fence(std::memory_order_seq_cst);
}

SignalsHeld::SignalsHeld() {
    const sigset_t ending = ending_signal_set();
    ::pthread_sigmask(SIG_BLOCK, &ending, &before_);
}

SignalsHeld::~SignalsHeld() { ::pthread_sigmask(SIG_SETMASK, &before_, nullptr); }

namespace {

volatile std::sig_atomic_t caught_signal = 0;

extern "C" void note_signal(int signal) {
    if (signal != SIGCHLD) caught_signal = signal;
}

constexpr int caught_signals[] = {SIGINT, SIGTERM, SIGHUP, SIGCHLD};

}  // namespace

SignalsCaught::SignalsCaught() {
    sigset_t held = ending_signal_set();
    sigaddset(&held, SIGCHLD);
    ::sigprocmask(SIG_BLOCK, &held, &before_);
    struct sigaction note {};
    note.sa_handler = note_signal;
    note.sa_mask = held;
    for (std::size_t i = 0; i < std::size(caught_signals); ++i) {
        ::sigaction(caught_signals[i], nullptr, &actions_before_[i]);
        // A signal that whoever started the run ignores stays ignored.
        if (actions_before_[i].sa_handler != SIG_IGN || caught_signals[i] == SIGCHLD)
            ::sigaction(caught_signals[i], &note, nullptr);
    }
}

SignalsCaught::~SignalsCaught() {
    for (std::size_t i = 0; i < std::size(caught_signals); ++i)
        ::sigaction(caught_signals[i], &actions_before_[i], nullptr);
    ::sigprocmask(SIG_SETMASK, &before_, nullptr);
}

int SignalsCaught::ending_signal() { return caught_signal; }

int SignalsCaught::ending_signal_pending() {
    if (caught_signal != 0) return caught_signal;
    sigset_t pending;
    if (::sigpending(&pending) != 0) return 0;
    for (const int signal : ending_signals)
        if (sigismember(&pending, signal) == 1) return signal;
    return 0;
}

void end_as_by(int signal) {
    struct sigaction default_action {};
    default_action.sa_handler = SIG_DFL;
    ::sigaction(signal, &default_action, nullptr);
    sigset_t only;
    sigemptyset(&only);
    sigaddset(&only, signal);
    ::sigprocmask(SIG_UNBLOCK, &only, nullptr);
    ::raise(signal);
    ::_exit(128 + signal);
}

void stop_if_signalled(bool pending) {
    const int signal = pending ? SignalsCaught::ending_signal_pending() : SignalsCaught::ending_signal();
    if (signal != 0) throw Interrupted(signal);
}

std::string ending_signal_name(int signal) {
    switch (signal) {
    case SIGINT: return "SIGINT";
    case SIGTERM: return "SIGTERM";
    case SIGHUP: return "SIGHUP";
    default: return "signal " + std::to_string(signal);
    }
}

}  // namespace ruvello
