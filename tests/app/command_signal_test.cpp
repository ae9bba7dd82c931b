// The command under signals: nothing left behind, and a signal ignored by
// whoever started it ignored still.
#include "command_fixture.h"

namespace command_test {

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

}  // namespace command_test
