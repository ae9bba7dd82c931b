// The ruvello command as a user runs it: arguments, messages, exit status,
// and what is on disk afterwards, also under hostile conditions.
#include <fcntl.h>
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
#include <set>
#include <sstream>

#include "read_file.h"

namespace {

namespace fs = std::filesystem;

const std::string opened_error = "FILE OPENED ERROR!\n";
const std::string write_error = "FILE WRITE ERROR!\n";
const std::string model = "MODULE main\nVAR\n  x[Proc] : boolean;\n";
const std::string translated =
    "MODULE main\nDEFINE\n\tN := 2;\nVAR\n  x[1] : boolean;\n  x[2] : boolean;\n";

std::string banner(const std::string& path) { return "--Source file: " + path + " , by ruvello--\n"; }

std::string quoted(const std::string& text) {
    std::string result = "'";
    for (char c : text) result += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return result + "'";
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
    }

    void TearDown() override { fs::remove_all(root_); }

    // Runs `before ruvello args after` in the work folder through the shell.
    Outcome run(const std::string& args, const std::string& before = "",
                const std::string& after = "") {
        const std::string command = "cd " + quoted(work_.string()) + " && " + before + " " +
                                    quoted(RUVELLO_EXECUTABLE) + " " + args + " >" +
                                    quoted((root_ / "out").string()) + " 2>" +
                                    quoted((root_ / "err").string()) + " " + after;
        const int status = std::system(command.c_str());
        return {WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status),
                read_file(root_ / "out"), read_file(root_ / "err")};
    }

    void write(const std::string& name, const std::string& text) {
        std::ofstream(work_ / name, std::ios::binary) << text;
    }
    std::string contents(const std::string& name) { return read_file(work_ / name); }

    // Every name in the work folder, with the contents of the regular files.
    std::map<std::string, std::string> snapshot() {
        std::map<std::string, std::string> files;
        for (const auto& entry : fs::directory_iterator(work_))
            files[entry.path().filename().string()] =
                entry.is_regular_file() ? read_file(entry.path()) : "(not a regular file)";
        return files;
    }

    // A failed run reports `message` with `status` and changes nothing on disk.
    void expect_failure(const std::string& args, int status, const std::string& message,
                        const std::string& before = "", const std::string& after = "") {
        const auto files = snapshot();
        const Outcome outcome = run(args, before, after);
        EXPECT_EQ(outcome.status, status) << args;
        EXPECT_EQ(outcome.err, message) << args;
        EXPECT_EQ(snapshot(), files) << args;
    }

    // Starts ruvello on a model read from a FIFO, and returns once its
    // temporary output exists: it then waits for more of the model, written
    // through fifo_writer_, until that is closed or a signal comes.
    pid_t start_on_fifo() {
        EXPECT_EQ(::mkfifo((work_ / "m.in").c_str(), 0600), 0);
        const std::string command = "cd " + quoted(work_.string()) + " && exec " +
                                    quoted(RUVELLO_EXECUTABLE) + " -p 2 -f m.in 2>" +
                                    quoted((root_ / "err").string());
        const pid_t child = ::fork();
        if (child == 0) {
            ::execl("/bin/sh", "sh", "-c", command.c_str(), static_cast<char*>(nullptr));
            ::_exit(127);
        }
        fifo_writer_ = std::make_unique<std::ofstream>(work_ / "m.in");  // waits for the reader
        *fifo_writer_ << model << std::flush;
        for (int waited_ms = 0; snapshot().size() < 2; ++waited_ms) {
            if (waited_ms == 10000) {
                ADD_FAILURE() << "ruvello made no temporary output within 10 s";
                break;
            }
            ::usleep(1000);
        }
        return child;
    }

    fs::path root_, work_;
    std::unique_ptr<std::ofstream> fifo_writer_;
};

TEST_F(Command, TranslatesFilesAndPipes) {
    write("m.in", model);
    for (const std::string args : {"-p 2 -f m.in", "-f m.in -p 2"}) {
        const Outcome outcome = run(args);
        EXPECT_EQ(outcome.status, 0);
        EXPECT_EQ(outcome.out + outcome.err, "");
        EXPECT_EQ(contents("m.smv"), banner("m.in") + translated);
    }
    fs::create_directories(work_ / "dir.old");
    write("dir.old/.m.in", model);
    EXPECT_EQ(run("-p 2 -f dir.old/.m.in").status, 0);
    EXPECT_EQ(contents("dir.old/.m.smv"), banner("dir.old/.m.in") + translated);

    EXPECT_EQ(run("-p 2 -f -", "", "<m.in").out, banner("-") + translated);
    // The step back works on a pipe too.
    EXPECT_EQ(run("-p 2 -f -", "printf 'VAR\\nx[Proc] : b\\nSPEC\\nFORALL (i) y[i]\\n' |").out,
              banner("-") + "VAR\nx[1] : b\nx[2] : b\nSPEC\n\tAG y[1]\nSPEC\n\tAG y[2]\n");

    const Outcome help = run("--help");
    EXPECT_EQ(help.status, 0);
    EXPECT_TRUE(help.out.starts_with("Usage: ruvello -p N -f MODEL\n")) << help.out;
    EXPECT_TRUE(run("--version").out.starts_with("ruvello "));
}

// A model file over 8 MB is translated on threads, a pipe by the line loop.
TEST_F(Command, TranslatesALargeModelOnThreadsAsThroughAPipe) {
    const std::string module = read_file(fs::path(RUVELLO_SOURCE_DIR) / "examples/mutex.in") +
                               "SPEC\n  FORALL (i, j, k) s[i]\n";
    std::string large;
    while (large.size() <= (std::size_t{9} << 20)) large += module;
    write("m.in", large);
    const Outcome from_file = run("-p 3 -f m.in");
    const Outcome from_pipe = run("-p 3 -f -", "", "<m.in");
    std::string pipe_warnings = from_pipe.err;
    for (std::size_t at = 0; (at = pipe_warnings.find("ruvello: -:", at)) != std::string::npos;)
        pipe_warnings.replace(at, 11, "ruvello: m.in:");
    EXPECT_EQ(from_file.status, 0);
    EXPECT_NE(from_file.err, "");
    EXPECT_TRUE(from_file.err == pipe_warnings);
    EXPECT_TRUE(contents("m.smv").substr(banner("m.in").size()) ==
                from_pipe.out.substr(banner("-").size()));
}

TEST_F(Command, RejectsABadCommandLineWithStatusTwo) {
    write("m.in", model);
    for (const std::string args :
         {"", "m.in", "-p 2", "-p 2 -f m.in -p 3", "-p 2 -f m.in -p 3 -f m.in", "-x 1 -f m.in",
          "-f m.in -x 1", "-P 2 -f m.in", "-p abc -f m.in", "-p 3xyz -f m.in", "-p '' -f m.in",
          "-p 99999999999 -f m.in", "--help -f m.in"})
        expect_failure(args, 2, "PARAMETER ERROR!\nTry 'ruvello --help' for more information.\n");
}

TEST_F(Command, FailsWithoutTouchingAnything) {
    expect_failure("-p 3 -p 4", 1, opened_error);
    expect_failure("-p 3 -f missing.in", 1, opened_error);
    fs::create_directory(work_ / "model.d");
    expect_failure("-p 2 -f model.d", 1, "FILE READ ERROR!\n");
    fs::create_directory(work_ / "d.in");
    fs::create_directory(work_ / "d.smv");
    expect_failure("-p 2 -f d.in", 1, opened_error);
    expect_failure("-p 2 -f /proc/version", 1, opened_error);  // not even root writes there

    // The output would be the model itself: by name, through a hard or a symbolic link.
    write("m.smv", model);
    fs::create_hard_link(work_ / "m.smv", work_ / "hard.smv");
    write("target.in", model);
    fs::create_symlink("target.in", work_ / "link.smv");
    fs::create_symlink("m.smv", work_ / "alias.in");
    fs::create_symlink("m.smv", work_ / "alias.smv");
    for (const std::string path : {"m.smv", "./m.smv", "hard.smv", "link.smv", "alias.in"})
        expect_failure("-p 2 -f " + path, 1, opened_error);

    // A full disk or a file-size limit: an existing output stays as it was.
    write("m.in", model);
    write("m.smv", "previous result\n");
    expect_failure("-p 100000 -f m.in", 1, write_error, "ulimit -f 64 &&");
    expect_failure("-p 2147483647 -f m.in", 1, write_error, "ulimit -f 2048 &&");
    expect_failure("-p 2 -f -", 1, write_error, "", "<m.in >/dev/full");
}

TEST_F(Command, RefusesAnUnreadableModelForAnOrdinaryUser) {
    if (std::system("command -v setpriv >/dev/null 2>&1") != 0) GTEST_SKIP() << "no setpriv";
    fs::permissions(root_, fs::perms(0755));
    fs::permissions(work_, fs::perms(0777));
    write("m.in", model);
    fs::permissions(work_ / "m.in", fs::perms::none);
    const std::string as_nobody = "setpriv --reuid=65534 --regid=65534 --clear-groups";
    if (run("--version", as_nobody).status != 0)
        GTEST_SKIP() << "the executable cannot be run by an ordinary user here";
    expect_failure("-p 2 -f m.in", 1, opened_error, as_nobody);
}

TEST_F(Command, ReplacesAnOutputKeepingItsModeAndLinks) {
    write("m.in", model);
    write("m.smv", "previous result\n");
    fs::permissions(work_ / "m.smv", fs::perms(0640));
    fs::create_hard_link(work_ / "m.smv", work_ / "previous.smv");
    ASSERT_EQ(run("-p 2 -f m.in").status, 0);
    EXPECT_EQ(contents("m.smv"), banner("m.in") + translated);
    EXPECT_EQ(fs::status(work_ / "m.smv").permissions(), fs::perms(0640));
    // A new file takes the name; the old one lives on under its other names only.
    EXPECT_EQ(contents("previous.smv"), "previous result\n");
    EXPECT_EQ(snapshot().size(), 3u);
    fs::remove(work_ / "previous.smv");

    fs::create_directory(work_ / "results");
    fs::rename(work_ / "m.smv", work_ / "results" / "m.smv");
    fs::create_symlink("results/m.smv", work_ / "m.smv");
    ASSERT_EQ(run("-p 1 -f m.in").status, 0);
    EXPECT_TRUE(fs::is_symlink(work_ / "m.smv"));
    EXPECT_TRUE(contents("results/m.smv").starts_with(banner("m.in")));
    EXPECT_EQ(std::distance(fs::directory_iterator(work_ / "results"), {}), 1);
}

TEST_F(Command, LeavesNothingBehindWhenInterrupted) {
    const pid_t child = start_on_fifo();
    ::kill(child, SIGTERM);
    int status = 0;
    ::waitpid(child, &status, 0);
    EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGTERM);
    EXPECT_EQ(snapshot().size(), 1u);
}

TEST_F(Command, ReplacesOnlyAFileWhenTheOutputPathChangesDuringARun) {
    const pid_t child = start_on_fifo();
    fs::create_directory(work_ / "m.smv");
    write("m.smv/kept", "kept\n");
    fifo_writer_.reset();  // the end of the model
    int status = 0;
    ::waitpid(child, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 1);
    EXPECT_EQ(read_file(root_ / "err"), write_error);
    EXPECT_EQ(contents("m.smv/kept"), "kept\n");
    EXPECT_EQ(snapshot().size(), 2u);
}

TEST_F(Command, CarriesOddInputThrough) {
    std::mt19937 random(7);
    std::string binary(1 << 16, '\0');
    for (char& c : binary) c = "abcdefghPFMVSAR;:[] ()\n\t\0"[random() % 26];
    std::string garbage = binary;  // nothing for a rule to touch
    for (char& c : garbage)
        if (std::string_view("PFMVSA").find(c) != std::string_view::npos) c = '.';
    const struct {
        std::string input;
        int n;
        std::string output, warnings;
    } cases[] = {
        {"", 2, "", ""},
        {"\n \t\n\n", 2, "\n \t\n\n", ""},
        {std::string("VAR\nx : a\0b;", 11), 2, std::string("VAR\nx : a\0b;", 11), ""},
        {"MODULE main\r\nVAR\r\n  x : b;\r\n", 3,
         "MODULE main\r\nDEFINE\n\tN := 3;\nVAR\r\n  x : b;\r\n", ""},
        {std::string(50 << 20, 'g'), 2, std::string(50 << 20, 'g'), ""},
        {garbage, 2, garbage, ""},
        {"VAR\n  x[Proc] : b;\n  t : Proc;\n", 0, "VAR\n  t : 1 .. N;\n", ""},
        {"VAR\n  x[Proc] : b;\n  t : Proc;\n", -5, "VAR\n  t : 1 .. N;\n", ""},
        {"SPEC\nFORALL (i, j, k) x[i]\n", 2, "SPEC\n",
         "ruvello: m.in:2: warning: FORALL over 3 parameters (at most 2 are supported); "
         "property not translated\n"},
    };
    for (const auto& c : cases) {
        write("m.in", c.input);
        const Outcome outcome = run("-p " + std::to_string(c.n) + " -f m.in");
        EXPECT_EQ(outcome.status, 0);
        EXPECT_EQ(outcome.err, c.warnings);
        EXPECT_TRUE(contents("m.smv") == banner("m.in") + c.output) << c.input.substr(0, 40);
    }
    write("m.in", binary);
    EXPECT_EQ(run("-p 3 -f m.in").status, 0);
    EXPECT_TRUE(contents("m.smv").starts_with(banner("m.in")));
}

}  // namespace
