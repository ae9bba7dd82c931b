// The ruvello command as a user runs it: arguments, messages, exit status,
// and what is on disk afterwards, under ordinary and hostile conditions.
// Each command line runs in bash in a fresh work folder, with $R naming the
// executable.
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

namespace {

namespace fs = std::filesystem;

const std::string model = "MODULE main\nVAR\n  x[Proc] : boolean;\n";
const std::string translated =
    "MODULE main\nDEFINE\n\tN := 2;\nVAR\n  x[1] : boolean;\n  x[2] : boolean;\n";
const std::string warns = "SPEC\nFORALL (i, j, k) x[i]\n";  // warns about its line 2
const std::string as_nobody = "setpriv --reuid=65534 --regid=65534 --clear-groups ";

std::string banner(const std::string& path) { return "--Source file: " + path + " , by ruvello--\n"; }

std::string error(const std::string& first_line, const std::string& why) {
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

TEST_F(Command, TranslatesFilesAndPipes) {
    write("m.in", model);
    for (const std::string args : {"-p 2 -f m.in", "-f m.in -p 2", "-p 2 -f m.in --fatal-warnings"}) {
        const Outcome outcome = run("$R " + args);
        EXPECT_EQ(outcome.status, 0);
        EXPECT_EQ(outcome.out + outcome.err, "");
        EXPECT_EQ(contents("m.smv"), banner("m.in") + translated);
    }
    fs::create_directories(work_ / "dir.old");
    write("dir.old/.m.in", model);
    EXPECT_EQ(run("$R -p 2 -f dir.old/.m.in").status, 0);
    EXPECT_EQ(contents("dir.old/.m.smv"), banner("dir.old/.m.in") + translated);

    EXPECT_EQ(run("$R -p 2 -f - <m.in").out, banner("-") + translated);
    EXPECT_EQ(run("$R -p 2 --line-markers -f - <m.in").out.substr(banner("-").size(), 8), "# 1 \"-\"\n");
    write("a.in", "SPEC\n  FORALL (i) x[i]\n");
    EXPECT_TRUE(run("$R --all-instances -p 3 -f a.in").status == 0 && contents("a.smv").ends_with("x[3]\n"));
    // The step back works on a pipe too.
    EXPECT_EQ(run("printf 'VAR\\nx[Proc] : b\\nSPEC\\nFORALL (i) y[i]\\n' | $R -p 2 -f -").out,
              banner("-") + "VAR\nx[1] : b\nx[2] : b\nSPEC\n\tAG y[1]\nSPEC\n\tAG y[2]\n");

    const Outcome help = run("$R --help");
    EXPECT_EQ(help.status, 0);
    EXPECT_TRUE(help.out.starts_with("Usage: ruvello ")) << help.out;
    // Each line fits a terminal, and one says what the column every N is, with where to read more.
    std::istringstream lines(help.out);
    bool every_n = false;
    for (std::string line; std::getline(lines, line);) {
        EXPECT_LE(line.size(), 80u) << line;
        every_n |= line.find("every N") != std::string::npos && line.find("man ruvello") != std::string::npos;
    }
    EXPECT_TRUE(every_n) << help.out;
}

// A model file over 8 MB is translated on threads, a pipe by the line loop.
TEST_F(Command, TranslatesALargeModelOnThreadsAsThroughAPipe) {
    const std::string module = read_file(fs::path(RUVELLO_SOURCE_DIR) / "examples/mutex.in") + warns;
    std::string large;
    while (large.size() <= (std::size_t{9} << 20)) large += module;
    write("m.in", large);
    const Outcome from_file = run("$R -p 3 -f m.in");
    const Outcome from_pipe = run("cat m.in | $R -p 3 -f - 2>&1 >pipe.smv | sed 's/^ruvello: -:/ruvello: m.in:/'");
    EXPECT_EQ(from_file.status, 0);
    EXPECT_NE(from_file.err, "");
    EXPECT_TRUE(from_file.err == from_pipe.out);
    EXPECT_TRUE(contents("m.smv").substr(banner("m.in").size()) ==
                contents("pipe.smv").substr(banner("-").size()));
}

// What editors and other systems leave in a file, which NuSMV reads otherwise.
TEST_F(Command, WarnsOfAByteOrderMarkAndOfWindowsLineEnds) {
    write("bom.in", "\xEF\xBB\xBF" + model);
    EXPECT_EQ(run("$R -p 2 -f bom.in").err,
              "ruvello: bom.in:1: warning: the model starts with a UTF-8 byte-order mark, so its "
              "first line is not read as a header and NuSMV stops at the mark; save the file "
              "without it\n");
    // Every "VAR" of the file is a line of the module, once warned about.
    write("crlf.in", "MODULE main\r\nVAR\r\n  x[Proc] : boolean;\r\nMODULE m\r\nVAR\r\n"
                     "  y[Proc] : boolean;\r\n");
    EXPECT_EQ(run("$R -p 2 -f crlf.in").err,
              "ruvello: crlf.in:2: warning: a section keyword followed by a carriage return "
              "(Windows line ends) is no header but a line of the section above it, and so are "
              "the lines below it; convert the file to Unix line ends (dos2unix)\n");
    EXPECT_EQ(run("$R -p 2 --fatal-warnings -f crlf.in").status, 1);
}

// Past the first 100 of a kind, warnings are counted; a FORALL of very many
// instances is warned about before they are written.
TEST_F(Command, LimitsTheWarningsOfAKindAndWarnsOfVeryManyInstances) {
    std::string many = "MODULE main\n";
    for (int i = 0; i < 250; ++i) many += "  x := Proc;\n";
    write("many.in", many);
    const Outcome limited = run("$R -p 2 -f many.in");
    EXPECT_EQ(limited.status, 0);
    EXPECT_EQ(std::count(limited.err.begin(), limited.err.end(), '\n'), 101);
    EXPECT_TRUE(limited.err.ends_with("ruvello: many.in: warning: 150 more warnings \"Proc not "
                                      "replaced\" not shown; --all-warnings shows every one\n"))
        << limited.err.substr(limited.err.size() - 200);
    const Outcome all = run("$R -p 2 --all-warnings -f many.in");
    EXPECT_EQ(std::count(all.err.begin(), all.err.end(), '\n'), 250);
    EXPECT_EQ(run("$R -p 2 --fatal-warnings -f many.in").status, 1);

    write("wide.in", "MODULE main\nSPEC\n  FORALL (i, j, k) AG (i != j -> x[i])\n");
    const Outcome wide = run("$R --all-instances -p 1000 -f - <wide.in | head -c 1 >/dev/null");
    EXPECT_EQ(wide.err, "ruvello: -:3: warning: FORALL over 3 parameters gives 997,002,000 "
                        "instances at N = 1000; each is written as a property of its own\n"
                        "FILE WRITE ERROR!\nruvello: cannot write standard output: Broken pipe\n");
    // 100,000 instances are not yet very many.
    write("one.in", "MODULE main\nSPEC\n  FORALL (i) AG x[i]\n");
    EXPECT_EQ(run("$R --all-instances -p 100000 -f - <one.in >/dev/null").err, "");
}

TEST_F(Command, RejectsABadCommandLineWithStatusTwo) {
    write("m.in", model);
    for (const auto& [args, why] : std::initializer_list<std::pair<std::string, std::string>>{
             {"m.in", "'m.in': a model is given with -f MODEL"},
             {"-p 2", "missing -f MODEL"},
             {"-p 3.0 -f m.in", "-p needs a whole number, not '3.0'"},
             {"--processes=3 --file=m.in --bogus", "unknown option '--bogus'"},
         })
        expect_failure("$R " + args, 2,
                       "PARAMETER ERROR!\nruvello: " + why +
                           "\nTry 'ruvello --help' for more information.\n");
}

TEST_F(Command, FailsWithItsReasonAndTouchesNothing) {
    const std::string opened = "FILE OPENED ERROR!", read = "FILE READ ERROR!",
                      write_error = "FILE WRITE ERROR!";
    write("m.in", model);
    write("m.smv", "previous result\n");
    fs::create_directory(work_ / "model.d");
    fs::create_directory(work_ / "d.in");
    fs::create_directory(work_ / "d.smv");
    fs::create_hard_link(work_ / "m.smv", work_ / "hard.smv");
    write("target.in", model);
    fs::create_symlink("target.in", work_ / "link.smv");
    fs::create_symlink("m.smv", work_ / "alias.in");
    fs::create_symlink("m.smv", work_ / "alias.smv");
    fs::create_symlink("loop.smv", work_ / "loop.smv");
    write("loop.in", model);
    write("w.in", warns);
    write("w.smv", "previous result\n");
    const std::string warned = "ruvello: w.in:2: warning: FORALL over 3 parameters (at most 2 are "
                               "supported without --all-instances); property not translated, and "
                               "the SPEC line above it is left without a property, so that NuSMV "
                               "rejects the file as it is\n";
    const struct {
        std::string line;
        std::string message;
    } cases[] = {
        {"$R -p 3 -f missing.in", error(opened, "cannot open 'missing.in': No such file or directory")},
        {"$R -p 2 -f model.d", error(read, "cannot read 'model.d': Is a directory")},
        {"$R -p 2 -f d.in", error(opened, "cannot write 'd.smv': Is a directory")},
        {"$R -p 2 -f /proc/version", error(opened, "cannot write '/proc/version.smv': No such file or directory")},
        // The output would be the model itself: by name, through a hard or a symbolic link.
        {"$R -p 2 -f m.smv", error(opened, "'m.smv' is the model itself")},
        {"$R -p 2 -f ./m.smv", error(opened, "'./m.smv' is the model itself")},
        {"$R -p 2 -f hard.smv", error(opened, "'hard.smv' is the model itself")},
        {"$R -p 2 -f link.smv", error(opened, "'link.smv' is the model itself")},
        {"$R -p 2 -f alias.in", error(opened, "'alias.smv' is the model itself")},
        {"$R -p 2 -f - <m.in >>m.in", error(opened, "standard output is the model itself")},
        {"$R -p 2 -f m.in -o - >>m.in", error(opened, "standard output is the model itself")},
        {"$R -p 2 -f m.in -o ./m.in", error(opened, "'./m.in' is the model itself")},
        {"$R -p 2 -f - -o alias.in <m.smv", error(opened, "'alias.in' is the model itself")},
        {"$R -p 2 -f m.in -o model.d", error(opened, "cannot write 'model.d': Is a directory")},
        {"$R -p 2 -f loop.in", error(opened, "cannot write 'loop.smv': Too many levels of symbolic links")},
        // A full disk or a file-size limit: an existing output stays as it was.
        {"ulimit -f 64 && $R -p 100000 -f m.in", error(write_error, "cannot write 'm.smv': File too large")},
        {"$R -p 2 -f - <m.in >/dev/full", error(write_error, "cannot write standard output: No space left on device")},
        {"$R --help >/dev/full", error(write_error, "cannot write standard output: No space left on device")},
        {"$R --version >/dev/full", error(write_error, "cannot write standard output: No space left on device")},
        {"$R -p 2 --fatal-warnings -f w.in",
         warned + "ruvello: warnings are fatal (--fatal-warnings); 'w.smv' is left as it was\n"},
        {"$R -p 2 -f - <w.in --fatal-warnings",
         "ruvello: -:2" + warned.substr(warned.find(": warning")) +
             "ruvello: warnings are fatal (--fatal-warnings); the output was written\n"},
    };
    for (const auto& c : cases) expect_failure(c.line, 1, c.message);
}

TEST_F(Command, RefusesWhatAnOrdinaryUserMayNotReadOrWrite) {
    if (!can_run_as_nobody()) GTEST_SKIP() << "no setpriv, or the executable cannot be run as nobody";
    write("m.in", model);
    fs::permissions(work_ / "m.in", fs::perms::none);
    expect_failure(as_nobody + "$R -p 2 -f m.in", 1,
                   error("FILE OPENED ERROR!", "cannot open 'm.in': Permission denied"));
    write("r.in", model);
    write("r.smv", "kept as it is\n");
    fs::permissions(work_ / "r.smv", fs::perms(0444));
    expect_failure(as_nobody + "$R -p 2 -f r.in", 1,
                   error("FILE OPENED ERROR!", "cannot write 'r.smv': Permission denied"));
}

TEST_F(Command, ReplacesAnOutputKeepingItsOwnerModeAndLinks) {
    write("m.in", model);
    write("m.smv", "previous result\n");
    fs::permissions(work_ / "m.smv", fs::perms(0640));
    fs::create_hard_link(work_ / "m.smv", work_ / "previous.smv");
    ASSERT_EQ(run("$R -p 2 -f m.in").status, 0);
    EXPECT_EQ(contents("m.smv"), banner("m.in") + translated);
    EXPECT_EQ(fs::status(work_ / "m.smv").permissions(), fs::perms(0640));
    // A new file takes the name; the old one lives on under its other names only.
    EXPECT_EQ(contents("previous.smv"), "previous result\n");
    EXPECT_EQ(snapshot().size(), 3u);
    // -o - writes standard output, and leaves the derived path alone.
    const Outcome piped = run("$R -p 2 -f m.in -o -");
    EXPECT_EQ(piped.out, banner("m.in") + translated);
    EXPECT_EQ(snapshot().size(), 3u);

    // A link stays a link, and a dangling one gets its file, as a shell's > would.
    // So does a path given with -o.
    fs::create_directory(work_ / "results");
    for (const char* name : {"a", "b"}) {
        write(std::string(name) + ".in", model);
        fs::create_symlink("results/" + std::string(name) + ".smv", work_ / (std::string(name) + ".smv"));
    }
    fs::rename(work_ / "b.smv", work_ / "out");
    write("results/a.smv", "previous result\n");
    ASSERT_EQ(run("$R -p 2 -f a.in && $R -p 2 -f b.in -o out").status, 0);
    EXPECT_TRUE(fs::is_symlink(work_ / "a.smv"));
    EXPECT_TRUE(fs::is_symlink(work_ / "out"));
    for (const char* name : {"a", "b"}) {
        EXPECT_EQ(contents("results/" + std::string(name) + ".smv"),
                  banner(std::string(name) + ".in") + translated);
    }
    EXPECT_EQ(std::distance(fs::directory_iterator(work_ / "results"), {}), 2);

    if (::geteuid() != 0) GTEST_SKIP() << "keeping another user's ownership needs root";
    // Another user's file stays theirs and loses its set-ID bits.
    ASSERT_EQ(run("chown 65534:65534 m.smv && chmod 6755 m.smv && $R -p 2 -f m.in").status, 0);
    struct stat status {};
    ASSERT_EQ(::stat((work_ / "m.smv").c_str(), &status), 0);
    EXPECT_EQ(status.st_uid, 65534u);
    EXPECT_EQ(status.st_gid, 65534u);
    EXPECT_EQ(status.st_mode & 07777, 0755u);
    // A user who may not give the file its owner still gives it its group,
    // one that the user belongs to.
    if (!can_run_as_nobody()) GTEST_SKIP() << "no setpriv, or the executable cannot be run as nobody";
    ASSERT_EQ(run("chown 0:100 m.smv && chmod 664 m.smv && setpriv --reuid=65534 --regid=65534 "
                  "--groups=100 $R -p 2 -f m.in").status, 0);
    ASSERT_EQ(::stat((work_ / "m.smv").c_str(), &status), 0);
    EXPECT_EQ(status.st_uid, 65534u);
    EXPECT_EQ(status.st_gid, 100u);
}

// A link in a sticky folder that all may write to, such as /tmp, is followed
// only when it is its owner's or the user's own, as the kernel would.
TEST_F(Command, FollowsALinkInAStickyFolderOnlyFromATrustedOwner) {
    if (::geteuid() != 0) GTEST_SKIP() << "making a link of another user needs root";
    fs::create_directory(work_ / "tmp");
    fs::permissions(work_ / "tmp", fs::perms(01777));
    write("tmp/m.in", model);
    write("victim", "kept as it is\n");
    ASSERT_EQ(run("ln -s ../victim tmp/m.smv && chown -h 65534 tmp/m.smv").status, 0);
    expect_failure("$R -p 2 -f tmp/m.in", 1,
                   error("FILE OPENED ERROR!", "will not write through 'tmp/m.smv': a link of "
                                               "another user in a sticky folder that all may write to"));
    ASSERT_EQ(run("chown -h 0 tmp/m.smv && $R -p 2 -f tmp/m.in").status, 0);
    EXPECT_EQ(contents("victim"), banner("tmp/m.in") + translated);
}

TEST_F(Command, HoldsUpUnderAHostileEnvironment) {
    std::string large, many;
    while (large.size() < 100000) large += model;
    for (int i = 0; i < 5000; ++i) many += warns;
    write("m.in", model);
    write("w.in", warns);
    write("large.in", large);
    write("many.in", many);
    // Closed standard descriptors: no warning goes into the output.
    EXPECT_EQ(run("$R -p 2 -f w.in >&- 2>&-").status, 0);
    EXPECT_EQ(contents("w.smv"), banner("w.in") + "SPEC\n");
    // Standard error closed by its reader: the warnings are dropped, the run goes on.
    const Outcome piped = run("$R -p 2 -f many.in 2>&1 | head -c1 >/dev/null; exit ${PIPESTATUS[0]}");
    EXPECT_EQ(piped.status, 0);
    EXPECT_TRUE(contents("many.smv").starts_with(banner("many.in") + "SPEC\n"));
    // Standard output closed by its reader is a write error.
    const Outcome closed = run("$R -p 100 -f - <large.in | head -c1 >/dev/null; exit ${PIPESTATUS[0]}");
    EXPECT_EQ(closed.status, 1);
    EXPECT_EQ(closed.err, error("FILE WRITE ERROR!", "cannot write standard output: Broken pipe"));
    for (const auto& [name, content] : snapshot()) EXPECT_FALSE(name.starts_with(".")) << name;
    // A name that would start a line of its own is shown escaped.
    write("nl\nMODULE evil.in", model);
    EXPECT_EQ(run("$R -p 2 -f $'nl\\nMODULE evil.in'").status, 0);
    EXPECT_EQ(contents("nl\nMODULE evil.smv"), banner("nl\\nMODULE evil.in") + translated);
    // A name as long as a name may be.
    const std::string long_name(251, 'n');
    write(long_name + ".in", model);
    EXPECT_EQ(run("$R -p 2 -f " + long_name + ".in").status, 0);
    EXPECT_EQ(contents(long_name + ".smv"), banner(long_name + ".in") + translated);
    // A model that changes while it is read is translated, with a warning.
    // ruvello has started when its output comes, and cannot end before the
    // rest of it is read.
    const Outcome changed =
        run("$R -p 64 -f - <large.in | { head -c1 >/dev/null; echo more >>large.in; cat >/dev/null; }");
    EXPECT_EQ(changed.err, "ruvello: -: warning: the model changed while it was read\n");
}

TEST_F(Command, LeavesNothingBehindWhenEndedBySignals) {
    const pid_t child = start_on_fifo("exec $R -p 2 -f m.in");
    EXPECT_TRUE(snapshot().begin()->first.starts_with(".m.smv.ruvello-"));
    ::kill(child, SIGTERM);
    EXPECT_EQ(wait_for(child), 128 + SIGTERM);
    EXPECT_EQ(snapshot().size(), 1u);
}

// Once the new output is in place the run has succeeded, even when a signal
// comes right then: SIGINT is raised by a stand-in for renameat2 and
// renameat, preloaded, right after the real call.
TEST_F(Command, EndsAsASuccessWhenASignalComesAsTheOutputIsPutInPlace) {
    write("m.in", model);
    const std::string line = "LD_PRELOAD=" RAISE_AT_RENAME
                             " ASAN_OPTIONS=verify_asan_link_order=0 $R -p 2 -f m.in";
    for (const bool replaces : {false, true}) {
        if (replaces) write("m.smv", "previous result\n");
        EXPECT_EQ(run(line).status, 0) << (replaces ? "replacing" : "new");
        EXPECT_EQ(contents("m.smv"), banner("m.in") + translated);
        EXPECT_EQ(snapshot().size(), 2u);
    }
}

TEST_F(Command, IgnoresASignalIgnoredByWhoeverStartedIt) {
    const pid_t child = start_on_fifo("trap '' HUP; exec $R -p 2 -f m.in");
    ::kill(child, SIGHUP);
    fifo_.reset();  // the end of the model
    EXPECT_EQ(wait_for(child), 0);
    EXPECT_EQ(contents("m.smv"), banner("m.in") + translated);
}

TEST_F(Command, ReplacesOnlyAFileWhenTheOutputPathChangesDuringARun) {
    const pid_t child = start_on_fifo("exec $R -p 2 -f m.in 2>../err");
    fs::create_directory(work_ / "m.smv");
    write("m.smv/kept", "kept\n");
    fifo_.reset();
    EXPECT_EQ(wait_for(child), 1);
    EXPECT_EQ(read_file(root_ / "err"), error("FILE WRITE ERROR!", "cannot write 'm.smv': Is a directory"));
    EXPECT_EQ(contents("m.smv/kept"), "kept\n");
    EXPECT_EQ(snapshot().size(), 3u);
}

// A line that is only copied goes through in pieces, whatever its length; a
// process-indexed statement is held whole, and may not fit.
TEST_F(Command, CopiesALongLineInLittleMemoryAndReportsAStatementTooLongForIt) {
    if (run("ulimit -v 40000 && $R --version").status != 0)
        GTEST_SKIP() << "this build cannot run under a limit of 40 MB of memory";
    const std::string line(30 << 20, 'g');
    write("copied.in", "-- " + line + "\nMODULE main\n");
    EXPECT_EQ(run("ulimit -v 40000 && $R -p 2 -f copied.in").status, 0);
    EXPECT_TRUE(contents("copied.smv") ==
                banner("copied.in") + "-- " + line + "\nMODULE main\nDEFINE\n\tN := 2;\n");
    write("m.in", "MODULE main\nVAR\n  x[Proc] : " + line);
    expect_failure("ulimit -v 40000 && $R -p 2 -f m.in", 1,
                   error("OUT OF MEMORY!", "cannot translate 'm.in': Cannot allocate memory"));
}

TEST_F(Command, CarriesOddInputThrough) {
    std::mt19937 random(7);
    std::string binary(1 << 16, '\0');
    for (char& c : binary) c = "abcdefghPFMVSAR;:[] ()\n\t\0"[random() % 26];
    write("m.in", binary);
    EXPECT_EQ(run("$R -p 3 -f m.in").status, 0);
    EXPECT_TRUE(contents("m.smv").starts_with(banner("m.in")));
    const std::string line(50 << 20, 'g');
    write("m.in", line);
    EXPECT_EQ(run("$R -p 3 -f m.in").status, 0);
    EXPECT_TRUE(contents("m.smv") == banner("m.in") + line);
    // A name at the model's end, with no line end after it, ends there, whatever
    // the buffer holds after it: here, as the last line starts 50 bytes before
    // the end of the first 256 KiB read, the 'g' the model has at that line's
    // length.
    const std::string head = "MODULE main\nVAR\n  x[Proc] : boolean;\nSPEC\n-- ";
    write("end.in", head + std::string((1 << 18) - 51 - head.size(), 'g') + "\n  FORALL (i) AG x[i] |" +
                        std::string(200, ' ') + "i");
    EXPECT_NE(run("$R -p 3 -f end.in").err.find("the parameter i is left standing"), std::string::npos);
}

}  // namespace
