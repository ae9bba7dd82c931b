// How the command fails: a bad command line, a model or output it cannot use,
// and a hostile environment, each with its message and status and nothing
// changed on disk.
#include "command_fixture.h"

namespace command_test {

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

}  // namespace command_test
