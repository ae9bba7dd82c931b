// The child-process runner with real children. Each child runs a short
// shell script; no test depends on how long anything takes.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "platform/processes.h"

namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using ruvello::ChildCommand;
using ruvello::ChildEnd;
using ruvello::Children;

class ChildrenTest : public ::testing::Test {
protected:
    void SetUp() override {
        folder_ = fs::temp_directory_path() / ("ruvello_children_" + std::to_string(::getpid()));
        fs::create_directories(folder_);
    }
    void TearDown() override { fs::remove_all(folder_); }

    ChildCommand script(const std::string& text) const {
        return {"sh", {"-c", text}, (folder_ / "out").string(), (folder_ / "err").string(), folder_.string()};
    }
    std::string read(const std::string& name) const {
        std::ifstream in(folder_ / name);
        std::ostringstream text;
        text << in.rdbuf();
        return text.str();
    }
    // Waits until `children` reports one child's end.
    static ChildEnd end_of_one(Children& children) {
        for (;;)
            if (std::vector<ChildEnd> ended = children.wait(1s); !ended.empty()) {
                EXPECT_EQ(ended.size(), 1u);
                return ended.front();
            }
    }
    // Whether process `pid` is gone, or only waits to be reaped by another,
    // within a minute: a signal sent is not yet a process ended.
    static bool gone(pid_t pid) {
        for (int tries = 0; tries < 6000; ++tries) {
            std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
            std::string pid_text, name, state;
            if (!(stat >> pid_text >> name >> state) || state == "Z") return true;
            ::usleep(10000);
        }
        return false;
    }

    ruvello::SignalsCaught signals_;
    fs::path folder_;
};

TEST_F(ChildrenTest, TellsHowEachChildEnded) {
    const struct {
        std::string script;
        std::optional<int> exit_status;
        int signal;
    } cases[] = {
        {"exit 0", 0, 0},
        {"exit 3", 3, 0},
        {"kill -TERM $$", std::nullopt, SIGTERM},
        {"kill -KILL $$", std::nullopt, SIGKILL},
    };
    for (const auto& each : cases) {
        Children children(signals_);
        const pid_t pid = children.start(script(each.script));
        const ChildEnd end = end_of_one(children);
        EXPECT_EQ(end.pid, pid) << each.script;
        EXPECT_EQ(end.exit_status, each.exit_status) << each.script;
        EXPECT_EQ(end.signal, each.signal) << each.script;
    }
}

TEST_F(ChildrenTest, SendsOutputAndErrorsToTheirFilesAndRunsInItsFolder) {
    Children children(signals_);
    children.start(script("pwd; echo to-errors >&2; read line; echo \"read: $line.\""));
    EXPECT_EQ(end_of_one(children).exit_status, 0);
    EXPECT_EQ(read("out"), fs::canonical(folder_).string() + "\nread: .\n");
    EXPECT_EQ(read("err"), "to-errors\n");
}

TEST_F(ChildrenTest, StopsAChildWithItsWholeGroup) {
    for (const bool forcibly : {false, true}) {
        Children children(signals_);
        const pid_t pid = children.start(script("sleep 300 & echo $! > grandchild; wait"));
        while (read("grandchild").empty()) EXPECT_TRUE(children.wait(10ms).empty());
        children.stop(pid, forcibly);
        EXPECT_EQ(end_of_one(children).signal, forcibly ? SIGKILL : SIGTERM);
        EXPECT_TRUE(gone(std::stoi(read("grandchild"))));
        fs::remove(folder_ / "grandchild");
    }
}

TEST_F(ChildrenTest, AChildThatEndsTakesWhatItStartedWithIt) {
    Children children(signals_);
    children.start(script("sleep 300 & echo $! > grandchild"));
    EXPECT_EQ(end_of_one(children).exit_status, 0);
    EXPECT_TRUE(gone(std::stoi(read("grandchild"))));
}

TEST_F(ChildrenTest, LeavesNoChildRunningWhenItGoes) {
    pid_t grandchild = 0;
    {
        Children children(signals_);
        children.start(script("sleep 300 & echo $! > grandchild; wait"));
        while (read("grandchild").empty()) EXPECT_TRUE(children.wait(10ms).empty());
        grandchild = std::stoi(read("grandchild"));
    }
    EXPECT_TRUE(gone(grandchild));
}

TEST_F(ChildrenTest, RefusesAProgramThatCannotStartAndSaysWhy) {
    Children children(signals_);
    ChildCommand missing = script("");
    missing.program = "ruvello-no-such-program";
    try {
        children.start(missing);
        ADD_FAILURE() << "started a program that does not exist";
    } catch (const ruvello::StartError& error) {
        EXPECT_EQ(std::string(error.what()), "cannot start 'ruvello-no-such-program': " + error.reason);
        EXPECT_FALSE(error.reason.empty());
    }
}

TEST_F(ChildrenTest, FindsAProgramAsAChildWouldBeStartedWithIt) {
    const fs::path plain = folder_ / "plain";
    std::ofstream(plain) << "not a program\n";
    EXPECT_TRUE(ruvello::find_program("sh").path.value_or("").starts_with("/"));
    EXPECT_EQ(ruvello::find_program(plain.string()).why_not, "not executable");
    EXPECT_EQ(ruvello::find_program(folder_.string()).why_not, "not a file");
    EXPECT_FALSE(ruvello::find_program((folder_ / "none").string()).path);
    EXPECT_EQ(ruvello::find_program("ruvello-no-such-program").why_not.rfind("not on PATH", 0), 0u);
    fs::permissions(plain, fs::perms::owner_exec, fs::perm_options::add);
    EXPECT_EQ(ruvello::find_program(plain.string()).path, fs::absolute(plain).string());
}

}  // namespace
