// The ruvello command as a user runs it: arguments, messages, exit status,
// and what is on disk afterwards. Each command line runs in bash in a fresh
// work folder, with $R naming the executable.
#pragma once

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <random>
#include <sstream>

#include "read_file.h"

namespace command_test {

namespace fs = std::filesystem;

const std::string model = "MODULE main\nVAR\n  x[Proc] : boolean;\n";
const std::string translated =
    "MODULE main\nDEFINE\n\tN := 2;\nVAR\n  x[1] : boolean;\n  x[2] : boolean;\n";
const std::string warns = "SPEC\nFORALL (i, j, k) x[i]\n";  // warns about its line 2
const std::string as_nobody = "setpriv --reuid=65534 --regid=65534 --clear-groups ";

inline std::string banner(const std::string& path) { return "--Source file: " + path + " , by ruvello--\n"; }

inline std::string error(const std::string& first_line, const std::string& why) {
    return first_line + "\nruvello: " + why + "\n";
}

struct Outcome {
    int status;
    std::string out, err;
};

class Command : public ::testing::Test {
protected:
    void SetUp() override {
        std::string name = (fs::temp_directory_path() / "ruvello-test-XXXXXX").string();
        ASSERT_NE(::mkdtemp(name.data()), nullptr);
        root_ = name;
        work_ = root_ / "work";
        fs::create_directory(work_);
        ::setenv("R", RUVELLO_EXECUTABLE, 1);
    }

    void TearDown() override {
        // Folders a test made read-only must be writable to be removed.
        for (const auto& entry : fs::recursive_directory_iterator(
                 root_, fs::directory_options::skip_permission_denied))
            if (entry.symlink_status().type() == fs::file_type::directory)
                fs::permissions(entry.path(), fs::perms::owner_write, fs::perm_options::add);
        fs::remove_all(root_);
    }

    // Runs `line` in the work folder, catching its standard output and error.
    Outcome run(const std::string& line) {
        std::ofstream(root_ / "line") << "cd '" << work_.string() << "' && { " << line << "\n}";
        const std::string command = "bash " + (root_ / "line").string() + " >" +
                                    (root_ / "out").string() + " 2>" + (root_ / "err").string();
        const int status = std::system(command.c_str());
        return {WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status),
                read_file(root_ / "out"), read_file(root_ / "err")};
    }

    void write(const std::string& name, const std::string& text) {
        std::ofstream(work_ / name, std::ios::binary) << text;
    }
    std::string contents(const std::string& name) { return read_file(work_ / name); }

    // Every name in the work folder and below, with the contents of the
    // files and the targets of the links.
    std::map<std::string, std::string> snapshot(const fs::path& folder = {}) {
        std::map<std::string, std::string> files;
        for (const auto& entry : fs::directory_iterator(work_ / folder)) {
            const fs::path name = folder / entry.path().filename();
            if (entry.is_symlink()) files[name] = "(link to " + fs::read_symlink(entry).string() + ")";
            else if (entry.is_directory()) files.merge(snapshot(name)), files[name] = "(folder)";
            else files[name] = entry.is_regular_file() ? read_file(entry.path()) : "(other)";
        }
        return files;
    }

    // A failed run reports `message` with `status` and changes nothing on disk.
    void expect_failure(const std::string& line, int status, const std::string& message) {
        const auto files = snapshot();
        const Outcome outcome = run(line);
        EXPECT_EQ(outcome.status, status) << line;
        EXPECT_EQ(outcome.err, message) << line;
        EXPECT_EQ(snapshot(), files) << line;
    }

    bool can_run_as_nobody() {
        fs::permissions(root_, fs::perms(0755));
        fs::permissions(work_, fs::perms(0777));
        return run("command -v setpriv >/dev/null && " + as_nobody + "$R --version").status == 0;
    }

    // Starts `line` on a model read from the FIFO m.in and returns once its
    // temporary output exists: it then waits for more of the model, written
    // through fifo_, until that is closed or a signal comes.
    pid_t start_on_fifo(const std::string& line) {
        EXPECT_EQ(::mkfifo((work_ / "m.in").c_str(), 0600), 0);
        const pid_t child = ::fork();
        if (child == 0) {
            if (::chdir(work_.c_str()) != 0) ::_exit(126);
            ::execl("/bin/bash", "bash", "-c", line.c_str(), static_cast<char*>(nullptr));
            ::_exit(127);
        }
        fifo_ = std::make_unique<std::ofstream>(work_ / "m.in");  // waits for the reader
        *fifo_ << model << std::flush;
        for (int waited_ms = 0; snapshot().size() < 2; ++waited_ms) {
            if (waited_ms == 10000) {
                ADD_FAILURE() << "ruvello made no temporary output within 10 s";
                break;
            }
            ::usleep(1000);
        }
        return child;
    }

    static int wait_for(pid_t child) {
        int status = 0;
        ::waitpid(child, &status, 0);
        return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    }

    fs::path root_, work_;
    std::unique_ptr<std::ofstream> fifo_;
};

}  // namespace command_test
