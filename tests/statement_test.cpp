// Statements of VAR and ASSIGN sections: gathering, process-indexed
// statements, Proc ranges and process declarations.
#include <gtest/gtest.h>

#include "translate_helper.h"

namespace {

using testing_support::expect_translations;
using testing_support::translate;

TEST(Statements, AreGatheredUpToTheLineWithASemicolon) {
    expect_translations({
        {"three lines, each instance repeats them", "VAR\nx[Proc] :\n  {a,\n  b};\n", 2,
         "VAR\nx[1] :\n  {a,\n  b};\nx[2] :\n  {a,\n  b};\n"},
        {"a comment is joined to the next statement",
         "VAR\n-- one per process\ns[Proc] : boolean;\n", 2,
         "VAR\n-- one per process\ns[1] : boolean;\n-- one per process\ns[2] : boolean;\n"},
        {"the first line is never tested for keywords", "VAR\n-- VAR of each\ns[Proc] : b;\n", 2,
         "VAR\n-- VAR of each\ns[1] : b;\n-- VAR of each\ns[2] : b;\n"},
        {"a comment with a semicolon stands alone", "VAR\n-- a; b\ns[Proc] : b;\n", 2,
         "VAR\n-- a; b\ns[1] : b;\ns[2] : b;\n"},
        {"the end of the input ends a statement", "VAR\nx[Proc] : boolean\n", 2,
         "VAR\nx[1] : boolean\nx[2] : boolean\n"},
        {"instances of a last line without newline run together", "VAR\nx[Proc] : boolean;", 2,
         "VAR\nx[1] : boolean;x[2] : boolean;"},
        {"blank further lines are joined", "VAR\nx[Proc] :\n\n boolean;\n", 2,
         "VAR\nx[1] :\n\n boolean;\nx[2] :\n\n boolean;\n"},
    });
}

TEST(Statements, StopBeforeALineMentioningASectionKeyword) {
    expect_translations({
        {"SPEC is read again and opens its section", "VAR\nx[Proc] : boolean\nSPEC\n  AG x\n", 2,
         "VAR\nx[1] : boolean\nx[2] : boolean\nSPEC\n  AG x\n"},
        {"inside a longer word", "VAR\nt : Proc\n  MYVARIABLE;\n", 2,
         "VAR\nt : 1 .. N\n  MYVARIABLE;\n"},
        {"in an indented comment", "VAR\nx[Proc] :\n  -- ASSIGN later\n  boolean;\n", 2,
         "VAR\nx[1] :\nx[2] :\n  -- ASSIGN later\n  boolean;\n"},
        {"MODULE", "ASSIGN\nnext(x[Proc]) := y\nMODULE m\n", 1,
         "ASSIGN\nnext(x[1]) := y\nMODULE m\nDEFINE\n\tN := 1;\n"},
    });
}

TEST(Statements, ProcessIndexedOnesAreWrittenOncePerProcess) {
    expect_translations({
        {"N = 2", "VAR\n  state[Proc] : {idle, busy};\n", 2,
         "VAR\n  state[1] : {idle, busy};\n  state[2] : {idle, busy};\n"},
        {"every Proc, MyProc too", "ASSIGN\nnext(x[Proc]) := MyProc & y[Proc];\n", 2,
         "ASSIGN\nnext(x[1]) := My1 & y[1];\nnext(x[2]) := My2 & y[2];\n"},
        {"N = 0 writes nothing", "VAR\nx[Proc] : boolean;\nt : Proc;\n", 0,
         "VAR\nt : 1 .. N;\n"},
        {"negative N writes nothing", "VAR\nx[Proc] : boolean;\n", -5, "VAR\n"},
        {"array becomes a tab", "VAR\nx[Proc] : array boolean;\n", 1, "VAR\nx[1] : \tboolean;\n"},
        {"lower-case process is not Proc", "VAR\nx[Proc] : process;\n", 1,
         "VAR\nx[1] : process;\n"},
        {"colons at the start do not end the head", "VAR\n::x[Proc] : b;\n", 1,
         "VAR\n::x[1] : b;\n"},
    });
    std::string expected = "VAR\n";
    for (int i = 1; i <= 12; ++i) expected += "s[" + std::to_string(i) + "] : b;\n";
    EXPECT_EQ(translate("VAR\ns[Proc] : b;\n", 12).output, expected);
}

TEST(Statements, OthersGetTheRangeForProc) {
    expect_translations({
        {"range", "VAR\n  turn : Proc;\n", 3, "VAR\n  turn : 1 .. N;\n"},
        {"[Proc] after the first colon", "VAR\ny : s[Proc];\n", 3, "VAR\ny : s[1 .. N];\n"},
        {"array and transition stay", "VAR\ny : array Proc of transition;\n", 3,
         "VAR\ny : array 1 .. N of transition;\n"},
        {"no Proc at all", "VAR\n  b : boolean;\n", 3, "VAR\n  b : boolean;\n"},
    });
}

TEST(Statements, TransitionDeclaresOneProcessPerProcessNumber) {
    expect_translations({
        {"one line", "VAR\n  p[Proc] : transition proc(state[Proc], turn);\n", 2,
         "VAR\n\tN1_p : process proc(state[1], turn);\n\tN2_p : process proc(state[2], turn);\n"},
        {"array is dropped", "VAR\np[Proc] : array transition m(Proc);\n", 1,
         "VAR\n\tN1_p : process m(1);\n"},
        {"over two lines", "VAR\np[Proc] : transition\n  m(Proc);\n", 2,
         "VAR\n\tN1_p : process\n  m(1);\n\tN2_p : process\n  m(2);\n"},
        {"the name keeps its trailing blanks", "VAR\n  p [Proc] : transition m;\n", 1,
         "VAR\n\tN1_p  : process m;\n"},
        {"leading brackets stay in the name", "VAR\n[p[Proc] : transition m(Proc);\n", 1,
         "VAR\n\tN1_[p : process m(1);\n"},
        {"a joined comment is part of the name", "VAR\n-- c\np[Proc] : transition m;\n", 1,
         "VAR\n\tN1_-- c\np : process m;\n"},
        {"transition anywhere counts", "VAR\nx[Proc] : boolean; -- transition\n", 1,
         "VAR\n\tN1_x : boolean; -- process\n"},
        {"Proc in the name", "VAR\nqProc[Proc] : transition m;\n", 2,
         "VAR\n\tN1_q1 : process m;\n\tN2_q2 : process m;\n"},
        {"N = 0", "VAR\np[Proc] : transition m;\n", 0, "VAR\n"},
    });
}

TEST(Statements, TransitionWithoutColonIsCopiedOnceWithAWarning) {
    for (int n : {0, 2}) {
        const auto result =
            translate("VAR\n-- c\np[Proc] array\n transition m(Proc);\nq : b;\n", n);
        EXPECT_EQ(result.output, "VAR\n-- c\np[Proc] array\n transition m(Proc);\nq : b;\n");
        EXPECT_EQ(result.warnings,
                  "ruvello: m.in:2: warning: process declaration without ':' has no module to "
                  "instantiate; statement copied unchanged\n");
    }
}

TEST(Statements, HaveNoLengthLimit) {
    const std::string values(3000, 'v');
    const std::string model = "VAR\nx[Proc] : {" + values + "};\n";
    EXPECT_EQ(translate(model, 2).output,
              "VAR\nx[1] : {" + values + "};\nx[2] : {" + values + "};\n");

    std::string uses, expanded;
    for (int i = 0; i < 4000; ++i) {
        uses += " | Proc";
        expanded += " | 1 .. N";
    }
    EXPECT_EQ(translate("VAR\nt :\n" + uses + "\n;\n", 2).output,
              "VAR\nt :\n" + expanded + "\n;\n");
}

}  // namespace
