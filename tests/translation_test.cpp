// The rules of the input language, on models in memory. Every case also runs
// with one-byte and odd-sized reads and buffers, so that each line crosses
// buffer boundaries and the step back is taken at every position.
#include <gtest/gtest.h>

#include <sstream>
#include <string>

#include "parallel.h"
#include "translator.h"

namespace {

struct Translation {
    std::string output;  // after the banner
    std::string warnings;
};

Translation translate_with(const std::string& model, int n, const ruvello::BufferSizes& sizes) {
    std::ostringstream warnings;
    const std::string output = ruvello::translate_text(model, {n, "m.in"}, warnings, sizes);
    const std::string banner = "--Source file: m.in , by ruvello--\n";
    EXPECT_TRUE(output.starts_with(banner)) << output;
    return {output.substr(banner.size()), warnings.str()};
}

// Cut before every MODULE header and translated on two threads.
Translation translate_in_pieces(const std::string& model, int n) {
    ruvello::StringSource source(model);
    ruvello::StringSink sink;
    std::ostringstream warnings;
    ruvello::translate_in_pieces(source, sink, warnings, {n, "m.in"}, {1, 4, 2});
    const std::string banner = "--Source file: m.in , by ruvello--\n";
    return {sink.text().substr(banner.size()), warnings.str()};
}

Translation translate(const std::string& model, int n) {
    const Translation whole = translate_with(model, n, {});
    for (const ruvello::BufferSizes sizes : {ruvello::BufferSizes{1, 1, 1}, {7, 5, 3}}) {
        const Translation pieces = translate_with(model, n, sizes);
        EXPECT_EQ(pieces.output, whole.output) << "buffer sizes change the output of " << model;
        EXPECT_EQ(pieces.warnings, whole.warnings);
    }
    const Translation modules = translate_in_pieces(model, n);
    EXPECT_EQ(modules.output, whole.output) << "cutting into modules changes the output of " << model;
    EXPECT_EQ(modules.warnings, whole.warnings);
    return whole;
}

struct Case {
    std::string model;
    int n;
    std::string expected;
};

void expect_translations(std::initializer_list<Case> cases) {
    for (const Case& c : cases) {
        const Translation result = translate(c.model, c.n);
        EXPECT_EQ(result.output, c.expected) << c.model;
        EXPECT_EQ(result.warnings, "") << c.model;
    }
}

TEST(LineLoop, KeepsSectionsAndCompletesModuleHeaders) {
    const std::string x = "x[Proc] : b;\n", x12 = "x[1] : b;\nx[2] : b;\n";
    expect_translations({
        {"-- x[Proc] : Proc;\nFORALL (i) x[i]\na\nb", 2, "-- x[Proc] : Proc;\nFORALL (i) x[i]\na\nb"},
        {"MODULE main\n" + x + "DEFINE y := 1;\n", 2,
         "MODULE main\nDEFINE\n\tN := 2;\n" + x + "DEFINE y := 1;\n"},
        {"MODULE m(a,\nVAR\n  x[Proc])\nMODULE b\nMODULE c(y)\n", 1,
         "MODULE m(a,\nVAR\n  x[Proc])\nDEFINE\n\tN := 1;\nMODULE b\nDEFINE\n\tN := 1;\n"
         "MODULE c(y)\nDEFINE\n\tN := 1;\n"},
        {"MODULE m(a\n  b", 0, "MODULE m(a\n  bDEFINE\n\tN := 0;\n"},
        {"MODULE main", -3, "MODULE mainDEFINE\n\tN := -3;\n"},
        {"MODULE main \r\n", 2, "MODULE main \r\nDEFINE\n\tN := 2;\n"},
        {"MODULE m) (\nx\n", 2, "MODULE m) (\nDEFINE\n\tN := 2;\nx\n"},
        // A header starts in the first column and is followed by a space, a newline or the end.
        {"VAR -- c\n" + x, 2, "VAR -- c\n" + x12},
        {"VAR", 2, "VAR"},
        {" VAR\n" + x + "VAR\t-- c\n" + x + "VAR\r\n" + x + "VARIABLE\n" + x + "var\n" + x, 2,
         " VAR\n" + x + "VAR\t-- c\n" + x + "VAR\r\n" + x + "VARIABLE\n" + x + "var\n" + x},
        {"VAR x[Proc] : b;\n", 2, "VAR x[Proc] : b;\n"},
        {"ASSIGN\nDEFINE\nx[Proc] := 1;\n", 2, "ASSIGN\nDEFINE\nx[1] := 1;\nDEFINE\nx[2] := 1;\n"},
        {"VAR\nMODULE m\n" + x, 2, "VAR\nMODULE m\nDEFINE\n\tN := 2;\n" + x},
        // Blank lines are copied; blanks before a carriage return are no blank line.
        {"VAR\n\n \t \nASSIGN\n\t\nSPEC\n  \n", 2, "VAR\n\n \t \nASSIGN\n\t\nSPEC\n  \n"},
        {"VAR\n \r\n" + x + "  ", 2, "VAR\n \r\nx[1] : b;\n \r\nx[2] : b;\n  "},
    });
}

TEST(Statements, AreGatheredAndExpanded) {
    std::string twelve = "VAR\n";
    for (int i = 1; i <= 12; ++i) twelve += "s[" + std::to_string(i) + "] : b;\n";
    expect_translations({
        {"VAR\nx[Proc] :\n  {a,\n\n  b};\n", 2, "VAR\nx[1] :\n  {a,\n\n  b};\nx[2] :\n  {a,\n\n  b};\n"},
        {"VAR\n-- VAR of each\ns[Proc] : b;\n", 2,
         "VAR\n-- VAR of each\ns[1] : b;\n-- VAR of each\ns[2] : b;\n"},
        {"VAR\n-- a; b\ns[Proc] : b;\n", 2, "VAR\n-- a; b\ns[1] : b;\ns[2] : b;\n"},
        {"VAR\nx[Proc] : b;", 2, "VAR\nx[1] : b;x[2] : b;"},
        // A further line mentioning a keyword, even in a longer word, is read again.
        {"VAR\nx[Proc] : b\nSPEC\n  AG x\n", 2, "VAR\nx[1] : b\nx[2] : b\nSPEC\n  AG x\n"},
        {"VAR\nt : Proc\n  MYVARIABLE;\n", 2, "VAR\nt : 1 .. N\n  MYVARIABLE;\n"},
        {"VAR\nx[Proc] :\n  -- ASSIGN later\n  b;\n", 2,
         "VAR\nx[1] :\nx[2] :\n  -- ASSIGN later\n  b;\n"},
        {"ASSIGN\nnext(x[Proc]) := MyProc & y[Proc];\n", 2,
         "ASSIGN\nnext(x[1]) := My1 & y[1];\nnext(x[2]) := My2 & y[2];\n"},
        {"VAR\ns[Proc] : b;\n", 12, twelve},
        {"VAR\nx[Proc] : b;\nt : Proc;\n", 0, "VAR\nt : 1 .. N;\n"},
        {"VAR\nx[Proc] : b;\n", -5, "VAR\n"},
        {"VAR\nx[Proc] : array process;\n::y[Proc] : b;\n", 1,
         "VAR\nx[1] : \tprocess;\n::y[1] : b;\n"},
        // [Proc] after the first colon does not make a statement process-indexed.
        {"VAR\ny : array s[Proc] of transition;\n", 3, "VAR\ny : array s[1 .. N] of transition;\n"},
    });
}

TEST(Statements, WithTransitionDeclareProcesses) {
    expect_translations({
        {"VAR\n  p[Proc] : transition proc(state[Proc], turn);\n", 2,
         "VAR\n\tN1_p : process proc(state[1], turn);\n\tN2_p : process proc(state[2], turn);\n"},
        {"VAR\np[Proc] : array transition\n  m(Proc);\n", 2,
         "VAR\n\tN1_p : process\n  m(1);\n\tN2_p : process\n  m(2);\n"},
        {"VAR\n  p [Proc] : transition m;\n[q[Proc] : transition m;\n", 1,
         "VAR\n\tN1_p  : process m;\n\tN1_[q : process m;\n"},
        {"VAR\n-- c\np[Proc] : transition m;\n", 1, "VAR\n\tN1_-- c\np : process m;\n"},
        {"VAR\nx[Proc] : b; -- transition\n", 1, "VAR\n\tN1_x : b; -- process\n"},
        {"VAR\nqProc[Proc] : transition m;\n", 2, "VAR\n\tN1_q1 : process m;\n\tN2_q2 : process m;\n"},
        {"VAR\np[Proc] : transition m;\n", 0, "VAR\n"},
    });
}

TEST(Statements, HaveNoLengthLimit) {
    const std::string values(3000, 'v');
    std::string uses, expanded;
    for (int i = 0; i < 4000; ++i) {
        uses += " | Proc";
        expanded += " | 1 .. N";
    }
    expect_translations({
        {"VAR\nx[Proc] : {" + values + "};\n", 2,
         "VAR\nx[1] : {" + values + "};\nx[2] : {" + values + "};\n"},
        {"VAR\nt :\n" + uses + "\n;\n", 2, "VAR\nt :\n" + expanded + "\n;\n"},
    });
}

TEST(Properties, AreWrittenForProcessesOneAndTwo) {
    expect_translations({
        {"SPEC\n  FORALL (i) s[i] = t -> AF s[i] = c\n", 5,
         "SPEC\n\tAG s[1] = t -> AF s[1] = c\nSPEC\n\tAG s[2] = t -> AF s[2] = c\n"},
        {"SPEC\nFORALL ( \tk ) x[k] & y[kk] & z[k2] & k\n", 0,
         "SPEC\n\tAG x[1] & y[kk] & z[k2] & k\nSPEC\n\tAG x[2] & y[kk] & z[k2] & k\n"},
        {"SPEC\nFORALL ((i)) s[i] = a\n", 2, "SPEC\n\tAG ) s[1] = a\nSPEC\n\tAG ) s[2] = a\n"},
        {"SPEC\nFORALL () AG x\n", 2, "SPEC\n\tAG AG x\nSPEC\n\tAG AG x\n"},
        {"SPEC\nFORALL ( ) AG x[]\n", 2, "SPEC\n\tAG AG x[1]\nSPEC\n\tAG AG x[2]\n"},
        {"SPEC\nFORALL (i,) x[i]\n", 2, "SPEC\n\tAG x[i]\nSPEC\n\tAG x[i]\n"},
        {"SPEC\n((FORALL (i) x[i]", 2, "SPEC\n\tAG x[1]SPEC\n\tAG x[2]"},
        {"SPEC\nFORALL (i, j) AG (i != j -> !(s[i] = c & s[j] = c))\n", 3,
         "SPEC\n\tAG (!(s[1] = c & s[2] = c))\nSPEC\n\tAG (!(s[2] = c & s[1] = c))\n"},
        {"SPEC\nFORALL (i,,j,) i->x[i] & y[j])\n", 2,
         "SPEC\n\tAG (x[1] & y[2])\nSPEC\n\tAG (x[2] & y[1])\n"},
        {"SPEC\nFORALL (,i,j) ->x[,i] & y[j])\n", 2,
         "SPEC\n\tAG (x[1] & y[2])\nSPEC\n\tAG (x[2] & y[1])\n"},
        {"SPEC\nFORALL (i, i) ->x[i])\n", 2, "SPEC\n\tAG (x[1])\nSPEC\n\tAG (x[1])\n"},
        {"SPEC\nFORALL (i) a[i]\nFORALL (i) b[i]\n  AG x[i] -- forall\n", 2,
         "SPEC\n\tAG a[1]\nSPEC\n\tAG a[2]\n\tAG b[1]\nSPEC\n\tAG b[2]\n  AG x[i] -- forall\n"},
        {"SPEC FORALL (i) x[i]\n", 2, "SPEC FORALL (i) x[i]\n"},
    });
}

TEST(Warnings, NameTheLineOfWhatIsNotTranslated) {
    const std::string statement = "VAR\nx[Proc] :\n boolean;\n";  // lines 2 and 3
    const std::string expanded = "VAR\nx[1] :\n boolean;\n";
    const std::string declaration = "-- c\np[Proc] array\n transition m(Proc);\n";
    const std::string not_translated = "; property not translated\n";
    const struct {
        std::string model, output, warning;
    } cases[] = {
        {statement + declaration, expanded + declaration,
         "4: warning: process declaration without ':' has no module to instantiate; statement "
         "copied unchanged\n"},
        {statement + "SPEC\n-- FORALL is the quantifier\n", expanded + "SPEC\n",
         "5: warning: FORALL without a parameter list" + not_translated},
        {statement + "SPEC\nFORALL ((", expanded + "SPEC\n",
         "5: warning: FORALL without a parameter list" + not_translated},
        {statement + "SPEC\nFORALL (,) x\n", expanded + "SPEC\n",
         "5: warning: FORALL with no parameter names" + not_translated},
        {statement + "SPEC\nFORALL (i, j, k) x[i]\nAG y\n", expanded + "SPEC\nAG y\n",
         "5: warning: FORALL over 3 parameters (at most 2 are supported)" + not_translated},
        {statement + "SPEC\nFORALL (i x[i]\n", expanded + "SPEC\n",
         "5: warning: FORALL property has no ')' to end its parameter list" + not_translated},
        {statement + "SPEC\nFORALL (i, j) !(x[i] & x[j])\n", expanded + "SPEC\n",
         "5: warning: FORALL property over two parameters has no '>' ending its guard (as in "
         "i != j ->)" + not_translated},
    };
    for (const auto& c : cases) {
        const Translation result = translate(c.model, 1);
        EXPECT_EQ(result.output, c.output) << c.model;
        EXPECT_EQ(result.warnings, "ruvello: m.in:" + c.warning);
    }
}

}  // namespace
