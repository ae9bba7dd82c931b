#include "platform/processes.h"

#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <filesystem>

extern char** environ;

namespace ruvello {

namespace {

// posix_spawn's file actions and attributes, released however start ends.
struct SpawnSetup {
    SpawnSetup() {
        posix_spawn_file_actions_init(&actions);
        posix_spawnattr_init(&attributes);
    }
    ~SpawnSetup() {
        posix_spawn_file_actions_destroy(&actions);
        posix_spawnattr_destroy(&attributes);
    }
    posix_spawn_file_actions_t actions;
    posix_spawnattr_t attributes;
};

}  // namespace

ProgramLookup find_program(const std::string& program) {
    // A child may run in another folder than ours.
    const auto absolute = [](const std::string& path) { return std::filesystem::absolute(path).string(); };
    const auto executable_file = [](const std::string& path) {
        struct stat status {};
        return ::stat(path.c_str(), &status) == 0 && S_ISREG(status.st_mode) &&
               ::access(path.c_str(), X_OK) == 0;
    };
    if (program.find('/') != std::string::npos) {
        if (executable_file(program)) return {absolute(program), ""};
        struct stat status {};
        if (::stat(program.c_str(), &status) != 0) return {std::nullopt, std::strerror(errno)};
        return {std::nullopt, S_ISREG(status.st_mode) ? "not executable" : "not a file"};
    }
    const char* const path = std::getenv("PATH");
    const std::string folders = path != nullptr ? path : "/usr/local/bin:/usr/bin:/bin";
    for (std::size_t start = 0; start <= folders.size();) {
        const std::size_t colon = std::min(folders.find(':', start), folders.size());
        const std::string folder = colon == start ? "." : folders.substr(start, colon - start);
        if (executable_file(folder + "/" + program)) return {absolute(folder + "/" + program), ""};
        start = colon + 1;
    }
    return {std::nullopt, "not on PATH (" + folders + ")"};
}

Children::~Children() {
    for (const pid_t pid : pids_) ::kill(-pid, SIGKILL);
    for (const pid_t pid : pids_) ::waitpid(pid, nullptr, 0);
}

pid_t Children::start(const ChildCommand& command) {
    SpawnSetup setup;
    posix_spawn_file_actions_addopen(&setup.actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&setup.actions, STDOUT_FILENO, command.output_path.c_str(),
                                     O_WRONLY | O_CREAT | O_TRUNC, 0600);
    posix_spawn_file_actions_addopen(&setup.actions, STDERR_FILENO, command.error_path.c_str(),
                                     O_WRONLY | O_CREAT | O_TRUNC, 0600);
    // Its own group, so that stopping it stops whatever it starts; the mask
    // and the signal actions the run started with.
    posix_spawnattr_setflags(&setup.attributes,
                             POSIX_SPAWN_SETPGROUP | POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);
    posix_spawnattr_setpgroup(&setup.attributes, 0);
    posix_spawnattr_setsigmask(&setup.attributes, &signals_.original_mask());
    sigset_t defaults;
    sigemptyset(&defaults);
    for (const int signal : {SIGINT, SIGTERM, SIGHUP, SIGCHLD, SIGPIPE, SIGXFSZ})
        sigaddset(&defaults, signal);
    posix_spawnattr_setsigdefault(&setup.attributes, &defaults);
    // After the files above are opened, whose paths may be relative to ours.
    if (!command.working_directory.empty())
        posix_spawn_file_actions_addchdir_np(&setup.actions, command.working_directory.c_str());

    std::vector<char*> argv;
    argv.push_back(const_cast<char*>(command.program.c_str()));
    for (const std::string& arg : command.args) argv.push_back(const_cast<char*>(arg.c_str()));
    argv.push_back(nullptr);
    pid_t pid = 0;
    const int error = ::posix_spawnp(&pid, command.program.c_str(), &setup.actions,
                                     &setup.attributes, argv.data(), environ);
    if (error != 0)
        throw StartError(command.program, std::strerror(error));
    pids_.push_back(pid);
    return pid;
}

void Children::stop(pid_t pid, bool forcibly) {
    if (std::find(pids_.begin(), pids_.end(), pid) != pids_.end())
        ::kill(-pid, forcibly ? SIGKILL : SIGTERM);
}

std::vector<ChildEnd> Children::wait(std::chrono::milliseconds most) {
    const auto reap = [this] {
        std::vector<ChildEnd> ended;
        for (auto it = pids_.begin(); it != pids_.end();) {
            int status = 0;
            struct rusage usage {};
            if (::wait4(*it, &status, WNOHANG, &usage) != *it) {
                ++it;
                continue;
            }
            ChildEnd end{*it, std::nullopt, 0, usage.ru_maxrss};
            if (WIFEXITED(status)) end.exit_status = WEXITSTATUS(status);
            else if (WIFSIGNALED(status)) end.signal = WTERMSIG(status);
            ended.push_back(end);
            // What the child started in its group goes with it.
            ::kill(-*it, SIGKILL);
            it = pids_.erase(it);
        }
        return ended;
    };
    if (std::vector<ChildEnd> ended = reap(); !ended.empty()) return ended;
    if (SignalsCaught::ending_signal() != 0) return {};
    const auto seconds = std::chrono::duration_cast<std::chrono::seconds>(most);
    const timespec timeout{static_cast<time_t>(seconds.count()),
                           static_cast<long>((most - seconds).count() * 1000000)};
    // The held signals come in only here, and end the wait (SIGCHLD too).
    ::ppoll(nullptr, 0, &timeout, &signals_.original_mask());
    return reap();
}

}  // namespace ruvello
