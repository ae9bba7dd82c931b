// What the command writes for a model: files and pipes, large models, long
// lines, odd bytes, and the warnings it limits.
#include "command_fixture.h"

namespace command_test {

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

}  // namespace command_test
