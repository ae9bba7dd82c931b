// The line loop: blank lines, header lines, section state and MODULE headers.
#include <gtest/gtest.h>

#include "translate_helper.h"

namespace {

using testing_support::expect_translations;

TEST(LineLoop, WritesTheBannerFirst) {
    std::ostringstream warnings;
    EXPECT_EQ(ruvello::translate_text("", {3, "dir/model.in"}, warnings),
              "--Source file: dir/model.in , by ruvello--\n");
}

TEST(LineLoop, CopiesLinesOutsideTranslatedSections) {
    expect_translations({
        {"before any header", "-- x[Proc] : Proc;\nFORALL (i) x[i]\n", 2,
         "-- x[Proc] : Proc;\nFORALL (i) x[i]\n"},
        {"between a MODULE header and a section", "MODULE main\nx[Proc] : Proc;\nDEFINE y := 1;\n",
         2, "MODULE main\nDEFINE\n\tN := 2;\nx[Proc] : Proc;\nDEFINE y := 1;\n"},
        {"no trailing newline", "a\nb", 2, "a\nb"},
    });
}

TEST(LineLoop, CompletesEachModuleHeaderWithTheDefinitionOfN) {
    expect_translations({
        {"header alone", "MODULE main\n", 4, "MODULE main\nDEFINE\n\tN := 4;\n"},
        {"parameter list over three lines", "MODULE m(a,\n  b,\n  c)\nVAR\n", 4,
         "MODULE m(a,\n  b,\n  c)\nDEFINE\n\tN := 4;\nVAR\n"},
        {"continuation lines are not translated", "MODULE m(a,\nVAR\n  x[Proc])\n", 2,
         "MODULE m(a,\nVAR\n  x[Proc])\nDEFINE\n\tN := 2;\n"},
        {"each header its own parameter list", "MODULE a(x\n)\nMODULE b\nMODULE c(y)\n", 1,
         "MODULE a(x\n)\nDEFINE\n\tN := 1;\nMODULE b\nDEFINE\n\tN := 1;\nMODULE c(y)\n"
         "DEFINE\n\tN := 1;\n"},
        {"parameter list to the end of the input", "MODULE m(a\n  b", 0,
         "MODULE m(a\n  bDEFINE\n\tN := 0;\n"},
        {"last line without newline", "MODULE main", -3, "MODULE mainDEFINE\n\tN := -3;\n"},
        {"carriage return after a space", "MODULE main \r\n", 2,
         "MODULE main \r\nDEFINE\n\tN := 2;\n"},
        {"a ')' on the header line ends the list", "MODULE m) (\nx\n", 2,
         "MODULE m) (\nDEFINE\n\tN := 2;\nx\n"},
    });
}

TEST(LineLoop, RecognisesHeadersOnlyInTheFirstColumnBeforeASpaceOrNewline) {
    const std::string declaration = "x[Proc] : boolean;\n";
    const std::string expanded = "x[1] : boolean;\nx[2] : boolean;\n";
    expect_translations({
        {"newline", "VAR\n" + declaration, 2, "VAR\n" + expanded},
        {"space and comment", "VAR -- c\n" + declaration, 2, "VAR -- c\n" + expanded},
        {"end of input", "VAR", 2, "VAR"},
        {"indented", " VAR\n" + declaration, 2, " VAR\n" + declaration},
        {"tab", "VAR\t-- c\n" + declaration, 2, "VAR\t-- c\n" + declaration},
        {"carriage return", "VAR\r\n" + declaration, 2, "VAR\r\n" + declaration},
        {"longer word", "VARIABLE\n" + declaration, 2, "VARIABLE\n" + declaration},
        {"lower case", "var\n" + declaration, 2, "var\n" + declaration},
        {"ASSIGN", "ASSIGN\ninit(x[Proc]) := 0;\n", 2,
         "ASSIGN\ninit(x[1]) := 0;\ninit(x[2]) := 0;\n"},
        {"text after the keyword is never examined", "VAR x[Proc] : boolean;\n", 2,
         "VAR x[Proc] : boolean;\n"},
        {"DEFINE opens no section", "VAR\nDEFINE\nx[Proc] := 1;\n", 2,
         "VAR\nDEFINE\nx[1] := 1;\nDEFINE\nx[2] := 1;\n"},
        {"MODULE ends the section", "VAR\nMODULE m\n" + declaration, 2,
         "VAR\nMODULE m\nDEFINE\n\tN := 2;\n" + declaration},
    });
}

TEST(LineLoop, CopiesBlankLinesInEverySection) {
    expect_translations({
        {"blank lines", "VAR\n\n \t \nASSIGN\n\t\nSPEC\n  \n", 2,
         "VAR\n\n \t \nASSIGN\n\t\nSPEC\n  \n"},
        // Not blank: a statement of its own, joined to the next line.
        {"blanks and carriage return", "VAR\n \r\nx[Proc] : b;\n", 2,
         "VAR\n \r\nx[1] : b;\n \r\nx[2] : b;\n"},
        {"blanks without newline at the end", "VAR\n  ", 2, "VAR\n  "},
    });
}

}  // namespace
