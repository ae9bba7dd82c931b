#include "signals.h"

#include <fcntl.h>
#include <unistd.h>

#include <atomic>
#include <climits>
#include <csignal>
#include <cstring>

namespace ruvello {

namespace {

// Shared with the handler, which may interrupt any write to them: it reads
// the directory and the name only while has_unfinished_output is set, and
// the fences keep their writes on the right side of the flag's.
volatile std::sig_atomic_t has_unfinished_output = 0;
volatile std::sig_atomic_t unfinished_directory = -1;
char unfinished_name[NAME_MAX + 1];

extern "C" void end_run(int signal) {
    if (has_unfinished_output) ::unlinkat(unfinished_directory, unfinished_name, 0);
    struct sigaction default_action {};
    default_action.sa_handler = SIG_DFL;
    ::sigaction(signal, &default_action, nullptr);
    ::raise(signal);  // delivered once the handler returns
}

constexpr int ending_signals[] = {SIGINT, SIGTERM, SIGHUP};

}  // namespace

void handle_signals() {
    struct sigaction ignore {};
    ignore.sa_handler = SIG_IGN;
    ::sigaction(SIGPIPE, &ignore, nullptr);
    ::sigaction(SIGXFSZ, &ignore, nullptr);

    struct sigaction end {};
    end.sa_handler = end_run;
    sigemptyset(&end.sa_mask);
    for (int signal : ending_signals) sigaddset(&end.sa_mask, signal);
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
    has_unfinished_output = 0;
    std::atomic_signal_fence(std::memory_order_seq_cst);
    std::memcpy(unfinished_name, name, length + 1);
    unfinished_directory = directory;
    std::atomic_signal_fence(std::memory_order_seq_cst);
    has_unfinished_output = 1;
}

void forget_unfinished_output() {
    has_unfinished_output = 0;
    std::atomic_signal_fence(std::memory_order_seq_cst);
}

}  // namespace ruvello
