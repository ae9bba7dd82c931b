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

#include "platform/signals.h"

namespace ruvello {

// A program that cannot be started; what() says which and why, `reason` why.
struct StartError : std::runtime_error {
    StartError(const std::string& program, const std::string& why)
        : std::runtime_error("cannot start '" + program + "': " + why), reason(why) {}
    std::string reason;
};

struct ChildCommand {
    std::string program;            // a path, or a name looked up on PATH
    std::vector<std::string> args;  // after the program's name
    std::string output_path;        // standard output goes here
    std::string error_path;         // standard error goes here
    std::string working_directory;  // where it runs; empty: where ruvello runs
};

// Where `program` is found as a child would be started with it, as an
// absolute path: a path with a '/' as it is, another name on PATH.
// Nothing, with why_not set, when no executable file is there.
struct ProgramLookup {
    std::optional<std::string> path;
    std::string why_not;
};
ProgramLookup find_program(const std::string& program);

// How a child ended.
struct ChildEnd {
    pid_t pid;
    std::optional<int> exit_status;  // when it exited
    int signal = 0;                  // the signal that ended it, when one did
    long max_rss_kb = 0;             // the most memory it held at once
};

// Starts and stops child processes: Children, or a stand-in in tests.
class Launcher {
public:
    virtual ~Launcher() = default;
    // Throws StartError.
    virtual pid_t start(const ChildCommand& command) = 0;
    // Asks the child's whole group to end (SIGTERM), or makes it (SIGKILL).
    virtual void stop(pid_t pid, bool forcibly) = 0;
};

class Children : public Launcher {
public:
    explicit Children(const SignalsCaught& signals) : signals_(signals) {}
    // Kills what is still running, group and all, and waits for it.
    ~Children();
    Children(const Children&) = delete;
    Children& operator=(const Children&) = delete;

    pid_t start(const ChildCommand& command) override;
    void stop(pid_t pid, bool forcibly) override;
    // Waits until a child ends, `most` passes or an ending signal comes;
    // returns the children that ended.
    std::vector<ChildEnd> wait(std::chrono::milliseconds most);

private:
    const SignalsCaught& signals_;
    std::vector<pid_t> pids_;
};

}  // namespace ruvello
