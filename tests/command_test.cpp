// The ruvello command as a user runs it: arguments, messages, exit status,
// and what is on disk afterwards, also under hostile conditions.
#include <gtest/gtest.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <filesystem>
#include <fstream>
#include <random>
#include <set>
#include <sstream>

namespace {

namespace fs = std::filesystem;

constexpr const char* parameter_error = "PARAMETER ERROR!\nTry 'ruvello --help' for more information.\n";
constexpr const char* opened_error = "FILE OPENED ERROR!\n";
constexpr const char* read_error = "FILE READ ERROR!\n";
constexpr const char* write_error = "FILE WRITE ERROR!\n";

const std::string model = "MODULE main\nVAR\n  x[Proc] : boolean;\n";

std::string quoted(const std::string& text) {
    std::string result = "'";
    for (char c : text) result += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return result + "'";
}

struct Outcome {
    int status;
    std::string out;
    std::string err;
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

    void TearDown() override {
        std::error_code ignored;
        fs::permissions(work_, fs::perms::owner_all, fs::perm_options::add, ignored);
        fs::remove_all(root_, ignored);
    }

    // Runs `prefix ruvello args` in the work folder through the shell.
    Outcome run(const std::string& args, const std::string& prefix = "",
            const std::string& redirections = "") {
        const fs::path out = root_ / "stdout";
        const fs::path err = root_ / "stderr";
        const std::string command = "cd " + quoted(work_.string()) + " && " + prefix + " " +
                                    quoted(RUVELLO_EXECUTABLE) + " " + args + " >" +
                                    quoted(out.string()) + " 2>" + quoted(err.string()) + " " +
                                    redirections;
        const int status = std::system(command.c_str());
        const int exit_status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
        return {exit_status, read(out), read(err)};
    }

    static std::string read(const fs::path& path) {
        std::ifstream file(path, std::ios::binary);
        std::ostringstream text;
        text << file.rdbuf();
        return text.str();
    }

    void write(const std::string& name, const std::string& text) {
        std::ofstream(work_ / name, std::ios::binary) << text;
    }

    std::string contents(const std::string& name) { return read(work_ / name); }

    std::set<std::string> files() {
        std::set<std::string> names;
        for (const auto& entry : fs::directory_iterator(work_))
            names.insert(entry.path().filename().string());
        return names;
    }

    static std::string banner(const std::string& path) {
        return "--Source file: " + path + " , by ruvello--\n";
    }

    fs::path root_;
    fs::path work_;
};

TEST_F(Command, TranslatesTheModelIntoTheDerivedOutputFile) {
    write("m.in", model);
    for (const std::string args : {"-p 2 -f m.in", "-f m.in -p 2"}) {
        const Outcome result = run(args);
        EXPECT_EQ(result.status, 0) << args;
        EXPECT_EQ(result.out, "");
        EXPECT_EQ(result.err, "");
        EXPECT_EQ(contents("m.smv"), banner("m.in") +
                                         "MODULE main\nDEFINE\n\tN := 2;\nVAR\n  x[1] : boolean;\n"
                                         "  x[2] : boolean;\n");
    }
    EXPECT_EQ(files(), (std::set<std::string>{"m.in", "m.smv"}));
}

TEST_F(Command, WritesBesideTheModelInsideItsOwnFolder) {
    fs::create_directories(work_ / "dir.old");
    write("dir.old/.m.in", "x\n");
    const Outcome result = run("-p 2 -f dir.old/.m.in");
    EXPECT_EQ(result.status, 0);
    EXPECT_EQ(contents("dir.old/.m.smv"), banner("dir.old/.m.in") + "x\n");
    EXPECT_FALSE(fs::exists(work_ / "dir.smv"));
}

TEST_F(Command, RejectsABadCommandLineWithStatusTwo) {
    write("m.in", model);
    for (const std::string args :
         {"", "m.in", "-p 2", "-p 2 -f m.in -p 3", "-p 2 -f m.in -p 3 -f m.in", "-x 1 -f m.in",
          "-f m.in -x 1", "-P 2 -f m.in", "-p abc -f m.in", "-p 3xyz -f m.in", "-p '' -f m.in",
          "-p 99999999999 -f m.in", "--help -f m.in"}) {
        const Outcome result = run(args);
        EXPECT_EQ(result.status, 2) << args;
        EXPECT_EQ(result.err, parameter_error) << args;
        EXPECT_EQ(result.out, "");
    }
    EXPECT_EQ(files(), std::set<std::string>{"m.in"});
}

TEST_F(Command, ShowsHelpAndVersionOnStandardOutput) {
    for (const std::string args : {"-h", "--help"}) {
        const Outcome result = run(args);
        EXPECT_EQ(result.status, 0);
        EXPECT_TRUE(result.out.starts_with("Usage: ruvello -p N -f MODEL\n")) << result.out;
        EXPECT_EQ(result.err, "");
    }
    const Outcome version = run("--version");
    EXPECT_EQ(version.status, 0);
    EXPECT_TRUE(version.out.starts_with("ruvello ")) << version.out;
}

TEST_F(Command, TranslatesStandardInputToStandardOutput) {
    write("m.in", model);
    const Outcome result = run("-p 1 -f -", "", "<m.in");
    EXPECT_EQ(result.status, 0);
    EXPECT_EQ(result.out, banner("-") + "MODULE main\nDEFINE\n\tN := 1;\nVAR\n  x[1] : boolean;\n");
    EXPECT_EQ(files(), std::set<std::string>{"m.in"});
}

TEST_F(Command, StepsBackOnStandardInputToo) {
    const Outcome result = run("-p 2 -f -", "printf 'VAR\\nx[Proc] : b\\nSPEC\\nFORALL (i) y[i]\\n' |");
    EXPECT_EQ(result.status, 0);
    EXPECT_EQ(result.out, banner("-") +
                              "VAR\nx[1] : b\nx[2] : b\nSPEC\n\tAG y[1]\nSPEC\n\tAG y[2]\n");
}

TEST_F(Command, ReportsUntranslatablePropertiesOnStandardErrorOnly) {
    write("m.in", "VAR\nx[Proc] :\n b;\nSPEC\nFORALL (i, j, k) x[i]\n");
    const Outcome result = run("-p 1 -f m.in");
    EXPECT_EQ(result.status, 0);
    EXPECT_EQ(result.err,
              "ruvello: m.in:5: warning: FORALL over 3 parameters (at most 2 are supported); "
              "property not translated\n");
    EXPECT_EQ(contents("m.smv"), banner("m.in") + "VAR\nx[1] :\n b;\nSPEC\n");
}

TEST_F(Command, NeedsAModelToRead) {
    const Outcome no_model = run("-p 3 -p 4");
    EXPECT_EQ(no_model.status, 1);
    EXPECT_EQ(no_model.err, opened_error);

    const Outcome missing = run("-p 3 -f missing.in");
    EXPECT_EQ(missing.status, 1);
    EXPECT_EQ(missing.err, opened_error);
    EXPECT_TRUE(files().empty());
}

TEST_F(Command, RefusesToWriteOverItsOwnModel) {
    write("m.smv", model);
    fs::create_hard_link(work_ / "m.smv", work_ / "hard.smv");
    write("target.in", model);
    fs::create_symlink("target.in", work_ / "link.smv");
    const std::set<std::string> before = files();
    for (const std::string path : {"m.smv", "./m.smv", "hard.smv", "link.smv"}) {
        const Outcome result = run("-p 2 -f " + path);
        EXPECT_EQ(result.status, 1) << path;
        EXPECT_EQ(result.err, opened_error) << path;
    }
    // The model reached through a link to it named as the output.
    fs::create_symlink("m.smv", work_ / "alias.in");
    fs::create_symlink("m.smv", work_ / "alias.smv");
    EXPECT_EQ(run("-p 2 -f alias.in").status, 1);
    EXPECT_EQ(contents("m.smv"), model);
    EXPECT_EQ(contents("target.in"), model);
    EXPECT_TRUE(fs::is_symlink(work_ / "link.smv"));
    EXPECT_EQ(files().size(), before.size() + 2);
}

TEST_F(Command, ReplacesAnExistingOutputOnlyOnSuccess) {
    write("m.in", model);
    write("m.smv", "previous result\n");
    fs::permissions(work_ / "m.smv", fs::perms(0640));
    ASSERT_EQ(run("-p 1 -f m.in").status, 0);
    EXPECT_TRUE(contents("m.smv").starts_with(banner("m.in")));
    EXPECT_EQ(fs::status(work_ / "m.smv").permissions(), fs::perms(0640));

    write("m.smv", "previous result\n");
    const Outcome limited = run("-p 100000 -f m.in", "ulimit -f 64 &&");
    EXPECT_EQ(limited.status, 1);
    EXPECT_EQ(limited.err, write_error);
    EXPECT_EQ(contents("m.smv"), "previous result\n");
    EXPECT_EQ(contents("m.in"), model);
    EXPECT_EQ(files(), (std::set<std::string>{"m.in", "m.smv"}));
}

TEST_F(Command, LeavesNothingBehindWhenInterrupted) {
    // Reading from a FIFO that nobody writes to, ruvello waits with its
    // temporary output open until the signal comes.
    ASSERT_EQ(::mkfifo((work_ / "m.in").c_str(), 0600), 0);
    const std::string command = "cd " + quoted(work_.string()) + " && exec " +
                                quoted(RUVELLO_EXECUTABLE) + " -p 2 -f m.in";
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        ::execl("/bin/sh", "sh", "-c", command.c_str(), static_cast<char*>(nullptr));
        ::_exit(127);
    }
    const int writer = ::open((work_ / "m.in").c_str(), O_WRONLY);  // waits for the reader
    ASSERT_GE(writer, 0);
    ASSERT_EQ(::write(writer, "VAR\n", 4), 4);
    while (files().size() < 2) ::usleep(1000);  // the temporary output appears
    ::kill(child, SIGTERM);
    int status = 0;
    ::waitpid(child, &status, 0);
    ::close(writer);
    EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGTERM);
    EXPECT_EQ(files(), std::set<std::string>{"m.in"});
}

TEST_F(Command, WritesThroughAnOutputThatIsASymbolicLink) {
    write("m.in", model);
    fs::create_directory(work_ / "results");
    write("results/m.smv", "previous result\n");
    fs::create_symlink("results/m.smv", work_ / "m.smv");
    ASSERT_EQ(run("-p 1 -f m.in").status, 0);
    EXPECT_TRUE(fs::is_symlink(work_ / "m.smv"));
    EXPECT_TRUE(contents("results/m.smv").starts_with(banner("m.in")));
    EXPECT_EQ(files(), (std::set<std::string>{"m.in", "m.smv", "results"}));
    EXPECT_EQ(fs::directory_iterator(work_ / "results")->path().filename(), "m.smv");
}

TEST_F(Command, FailsCleanlyWhenTheOutputCannotBeWritten) {
    write("m.in", model);
    // A huge N is stopped by the file-size limit, not by the end of the run.
    const Outcome huge = run("-p 2147483647 -f m.in", "ulimit -f 2048 &&");
    EXPECT_EQ(huge.status, 1);
    EXPECT_EQ(huge.err, write_error);
    EXPECT_EQ(files(), std::set<std::string>{"m.in"});
    EXPECT_EQ(contents("m.in"), model);

    const Outcome full = run("-p 2 -f -", "", "<m.in >/dev/full");
    EXPECT_EQ(full.status, 1);
    EXPECT_EQ(full.err, write_error);

    // No file can be created beside a model in /proc, not even by root.
    const Outcome unwritable = run("-p 2 -f /proc/version");
    EXPECT_EQ(unwritable.status, 1);
    EXPECT_EQ(unwritable.err, opened_error);
}

TEST_F(Command, FailsCleanlyWhenTheModelCannotBeRead) {
    fs::create_directory(work_ / "model.d");
    const Outcome directory = run("-p 2 -f model.d");
    EXPECT_EQ(directory.status, 1);
    EXPECT_EQ(directory.err, read_error);
    EXPECT_EQ(files(), std::set<std::string>{"model.d"});

    write("m.in", model);
    write("m.smv", "previous result\n");
    fs::create_directory(work_ / "d.in");
    fs::create_directory(work_ / "d.smv");
    const Outcome output_is_directory = run("-p 2 -f d.in");
    EXPECT_EQ(output_is_directory.status, 1);
    EXPECT_EQ(output_is_directory.err, opened_error);
    EXPECT_EQ(files(), (std::set<std::string>{"model.d", "m.in", "m.smv", "d.in", "d.smv"}));
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
    const Outcome result = run("-p 2 -f m.in", as_nobody);
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(result.err, opened_error);
    EXPECT_EQ(files(), std::set<std::string>{"m.in"});
}

TEST_F(Command, CarriesOddInputThroughUnchanged) {
    const std::string with_nul("VAR\nx : a\0b;\n", 13);
    const std::string crlf = "MODULE main\r\nVAR\r\n  x : boolean;\r\n";
    const std::string garbage_line(50 << 20, 'g');
    std::mt19937 random(7);
    std::string binary(1 << 16, '\0');
    for (char& c : binary) c = static_cast<char>(random() & 0xff);
    std::string binary_without_rules = binary;
    for (char& c : binary_without_rules)
        if (c == 'P' || c == 'F' || c == 'M' || c == 'V' || c == 'S' || c == 'A') c = '.';

    const std::pair<std::string, std::string> cases[] = {
        {"", ""},
        {"\n \t\n\n", "\n \t\n\n"},
        {"VAR\nx : boolean;", "VAR\nx : boolean;"},
        {with_nul, with_nul},
        {crlf, "MODULE main\r\nDEFINE\n\tN := 3;\nVAR\r\n  x : boolean;\r\n"},
        {garbage_line, garbage_line},
        {binary_without_rules, binary_without_rules},
    };
    for (const auto& [input, expected] : cases) {
        write("m.in", input);
        const Outcome result = run("-p 3 -f m.in");
        EXPECT_EQ(result.status, 0);
        EXPECT_EQ(result.err, "");
        EXPECT_TRUE(contents("m.smv") == banner("m.in") + expected)
            << "input of " << input.size() << " bytes";
        EXPECT_EQ(contents("m.in"), input);
    }

    write("m.in", binary);
    const Outcome result = run("-p 3 -f m.in");
    EXPECT_EQ(result.status, 0);
    EXPECT_TRUE(contents("m.smv").starts_with(banner("m.in")));
}

TEST_F(Command, WritesNothingForProcessesWhenNIsZeroOrNegative) {
    write("m.in", "VAR\n  x[Proc] : boolean;\n  t : Proc;\n");
    for (const std::string n : {"0", "-5"}) {
        ASSERT_EQ(run("-p " + n + " -f m.in").status, 0);
        EXPECT_EQ(contents("m.smv"), banner("m.in") + "VAR\n  t : 1 .. N;\n");
    }
}

}  // namespace
