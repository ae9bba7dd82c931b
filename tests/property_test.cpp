// FORALL properties of SPEC sections.
#include <gtest/gtest.h>

#include "translate_helper.h"

namespace {

using testing_support::expect_translations;
using testing_support::translate;

TEST(Properties, OneParameterIsWrittenForProcessesOneAndTwo) {
    expect_translations({
        {"indented line",
         "SPEC\n  FORALL (i) state[i] = trying -> AF state[i] = critical\n", 5,
         "SPEC\n\tAG state[1] = trying -> AF state[1] = critical\nSPEC\n"
         "\tAG state[2] = trying -> AF state[2] = critical\n"},
        {"implication in parentheses", "SPEC\nFORALL (i) (t[i] -> AF c[i])\n", 3,
         "SPEC\n\tAG (t[1] -> AF c[1])\nSPEC\n\tAG (t[2] -> AF c[2])\n"},
        {"whatever N is", "SPEC\nFORALL (i) x[i]\n", 0, "SPEC\n\tAG x[1]\nSPEC\n\tAG x[2]\n"},
        {"only bracketed names", "SPEC\nFORALL (i) x[i] & y[ii] & z[i2] & i\n", 2,
         "SPEC\n\tAG x[1] & y[ii] & z[i2] & i\nSPEC\n\tAG x[2] & y[ii] & z[i2] & i\n"},
        {"blanks around the name", "SPEC\nFORALL ( \tk ) x[k]\n", 2,
         "SPEC\n\tAG x[1]\nSPEC\n\tAG x[2]\n"},
        {"doubled parenthesis", "SPEC\nFORALL ((i)) s[i] = a\n", 2,
         "SPEC\n\tAG ) s[1] = a\nSPEC\n\tAG ) s[2] = a\n"},
        {"empty parentheses", "SPEC\nFORALL () AG x\n", 2, "SPEC\n\tAG AG x\nSPEC\n\tAG AG x\n"},
        {"a blank name", "SPEC\nFORALL ( ) AG x[]\n", 2,
         "SPEC\n\tAG AG x[1]\nSPEC\n\tAG AG x[2]\n"},
        {"a trailing comma stays in the name", "SPEC\nFORALL (i,) x[i]\n", 2,
         "SPEC\n\tAG x[i]\nSPEC\n\tAG x[i]\n"},
        {"leading parentheses are passed over", "SPEC\n((FORALL (i) x[i]\n", 2,
         "SPEC\n\tAG x[1]\nSPEC\n\tAG x[2]\n"},
        {"last line without newline", "SPEC\n  FORALL (i) x[i]", 2,
         "SPEC\n\tAG x[1]SPEC\n\tAG x[2]"},
    });
}

TEST(Properties, TwoParametersAreWrittenForBothOrderedPairs) {
    expect_translations({
        {"guard dropped up to the first '>'",
         "SPEC\nFORALL (i, j) AG (i != j -> !(s[i] = c & s[j] = c))\n", 3,
         "SPEC\n\tAG (!(s[1] = c & s[2] = c))\nSPEC\n\tAG (!(s[2] = c & s[1] = c))\n"},
        {"empty pieces do not count", "SPEC\nFORALL (i,,j,) i->x[i] & y[j])\n", 2,
         "SPEC\n\tAG (x[1] & y[2])\nSPEC\n\tAG (x[2] & y[1])\n"},
        {"leading commas stay in the first name", "SPEC\nFORALL (,i,j) ->x[,i] & y[j])\n", 2,
         "SPEC\n\tAG (x[1] & y[2])\nSPEC\n\tAG (x[2] & y[1])\n"},
        {"the same name twice", "SPEC\nFORALL (i, i) ->x[i])\n", 2,
         "SPEC\n\tAG (x[1])\nSPEC\n\tAG (x[1])\n"},
    });
}

TEST(Properties, EachLineStandsAlone) {
    expect_translations({
        {"two FORALL lines in one section", "SPEC\nFORALL (i) a[i]\nFORALL (i) b[i]\n", 2,
         "SPEC\n\tAG a[1]\nSPEC\n\tAG a[2]\n\tAG b[1]\nSPEC\n\tAG b[2]\n"},
        {"lines without FORALL are copied", "SPEC\n  AG x[i] -- forall\n", 2,
         "SPEC\n  AG x[i] -- forall\n"},
        {"FORALL on the header line is not translated", "SPEC FORALL (i) x[i]\n", 2,
         "SPEC FORALL (i) x[i]\n"},
    });
}

TEST(Properties, ThatCannotBeTranslatedAreReportedNotWritten) {
    struct Case {
        const char* line;
        const char* reason;
    } cases[] = {
        {"-- FORALL is the quantifier\n", "FORALL without a parameter list"},
        {"FORALL (\n", "FORALL property has no ')' to end its parameter list"},
        {"FORALL (,) x\n", "FORALL with no parameter names"},
        {"FORALL (i, j, k) x[i]\n", "FORALL over 3 parameters (at most 2 are supported)"},
        {"FORALL (i x[i]\n", "FORALL property has no ')' to end its parameter list"},
        {"FORALL (i, j) !(x[i] & x[j])\n",
         "FORALL property over two parameters has no '>' ending its guard (as in i != j ->)"},
    };
    for (const Case& c : cases) {
        // The property sits on line 4, after a statement over two lines.
        const auto result =
            translate(std::string("VAR\nx[Proc] :\n boolean;\nSPEC\n") + c.line + "AG y\n", 1);
        EXPECT_EQ(result.output, "VAR\nx[1] :\n boolean;\nSPEC\nAG y\n") << c.line;
        EXPECT_EQ(result.warnings, std::string("ruvello: m.in:5: warning: ") + c.reason +
                                       "; property not translated\n");
    }
    // Nothing but '(' after the first one: possible only on a last line without newline.
    const auto at_end = translate("SPEC\nFORALL ((", 2);
    EXPECT_EQ(at_end.output, "SPEC\n");
    EXPECT_EQ(at_end.warnings,
              "ruvello: m.in:2: warning: FORALL without a parameter list; property not "
              "translated\n");
}

}  // namespace
