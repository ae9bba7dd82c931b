// How the command puts its output in place: an existing file replaced with
// its owner, mode and links, and links and paths that change under it.
#include "command_fixture.h"

namespace command_test {

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

}  // namespace command_test
