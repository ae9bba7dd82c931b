// Child processes: each started directly (no shell) in a process group of
// its own, its output going to files, and waited for together with the
// signals that end the run. Every call of the operating system on processes
// is here.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "signals.h"

namespace ruvello {

// A program that cannot be started; what() says which and why.
struct StartError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

struct ChildCommand {
    std::string program;            // a path, or a name looked up on PATH
    std::vector<std::string> args;  // after the program's name
    std::string output_path;        // standard output goes here
    std::string error_path;         // standard error goes here
};

// How a child ended.
struct ChildEnd {
    pid_t pid;
    std::optional<int> exit_status;  // when it exited
    int signal = 0;                  // the signal that ended it, when one did
};

class Children {
public:
    explicit Children(const SignalsCaught& signals) : signals_(signals) {}
    // Kills what is still running, group and all, and waits for it.
    ~Children();
    Children(const Children&) = delete;
    Children& operator=(const Children&) = delete;

    // Throws StartError.
    pid_t start(const ChildCommand& command);
    // Asks the child's whole group to end (SIGTERM), or makes it (SIGKILL).
    void stop(pid_t pid, bool forcibly);
    // Waits until a child ends, `most` passes or an ending signal comes;
    // returns the children that ended.
    std::vector<ChildEnd> wait(std::chrono::milliseconds most);

private:
    const SignalsCaught& signals_;
    std::vector<pid_t> pids_;
};

}  // namespace ruvello
