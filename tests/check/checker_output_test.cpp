// Reading what NuSMV prints: its listing, its verdicts, its version and its
// errors, and how little of a large output is kept.
#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <tuple>

#include "check/checker.h"

namespace {

using namespace ruvello::check;
using ruvello::StringSource;

// The readers of the checker's output read it a few bytes at a time here,
// so that its lines cross the reads.
std::vector<ListedProperty> listing_of(std::string_view output, std::size_t most = 1 << 20) {
    StringSource source(output, 7);
    return read_listing(source, most);
}
VerdictsRead verdicts_of(std::string_view output, bool instances = false) {
    StringSource source(output, 7);
    return read_verdicts(source, instances);
}
std::optional<std::string> version_of(std::string_view output) {
    StringSource source(output, 7);
    return read_version(source);
}
std::string error_of(std::string_view errors) {
    StringSource source(errors, 7);
    return read_error(source);
}

TEST(Checker, ReadsNuSMVsListingVerdictsVersionAndErrors) {
    const std::vector<ListedProperty> listing = listing_of(
        "*** This is NuSMV 2.6.0 (compiled on Thu Jan  1 00:00:00 2026)\n"
        "001 :AG (z | v) IN N2_c\n"
        "  [CTL            Unchecked      N/A    N2_c.ruvello_30]\n"
        "002 :always ((x | !x)) IN a.b\n"
        "  [PSL            Unchecked      N/A    N/A]\n"
        "003 :G x \n"
        "  [LTL            Unchecked      N/A    own]\n");
    ASSERT_EQ(listing.size(), 3u);
    EXPECT_EQ(listing[0].index, 1);
    EXPECT_EQ(listing[0].kind, "CTL");
    EXPECT_EQ(listing[0].name, "N2_c.ruvello_30");
    EXPECT_EQ(listing[1].instance, "a.b");
    EXPECT_EQ(listing[2].name, "own");
    EXPECT_EQ(version_of("*** This is NuSMV 2.6.0 (compiled on Thu Jan  1)\n"), "NuSMV 2.6.0");
    EXPECT_EQ(version_of("garbage\n"), std::nullopt);

    const std::string output =
        "WARNING *** Processes are still supported, but deprecated. ***\n"
        "@@ruvello 3 \n"
        "-- specification AG x  is false\n"
        "-- as demonstrated by the following execution sequence\n"
        "  N2_c.x = TRUE, a.N12_user.b = 1, N_x = 2, xN1_c = 3\n"
        "@@ruvello 5 \n"
        "-- the result of MIN [ x , !x ]  is 1\n"
        "@@ruvello 7 \n"
        "-- specification  F z IN N2_c is true\n"
        "@@ruvello property_9 \n"
        "-- invariant x  is true\n"
        "-- invariant x  is false\n"
        "@@ruvello 10 \n";
    const VerdictsRead read = verdicts_of(output, true);
    const std::map<std::string, CheckerVerdict>& verdicts = read.verdicts;
    ASSERT_EQ(verdicts.size(), 4u);
    EXPECT_EQ(verdicts.at("3").verdict, Verdict::fails);
    const CheckerVerdict& trace = verdicts.at("3");
    EXPECT_EQ(output.substr(trace.text_start, trace.text_end - trace.text_start),
              "-- specification AG x  is false\n-- as demonstrated by the following execution sequence\n"
              "  N2_c.x = TRUE, a.N12_user.b = 1, N_x = 2, xN1_c = 3\n");
    EXPECT_EQ(trace.instances, (std::set<std::string>{"N12_user", "N2_c"}));
    EXPECT_EQ(verdicts.at("5").value, "1");
    EXPECT_EQ(verdicts.at("7").verdict, Verdict::holds);
    EXPECT_TRUE(verdicts.at("7").instances.empty());
    EXPECT_EQ(verdicts.at("property_9").verdict, Verdict::holds);
    EXPECT_EQ(read.repeated, std::set<std::string>{"property_9"});
    EXPECT_EQ(verdicts.count("10"), 0u);

    EXPECT_EQ(error_of("*** banner\n\nfile m.in: line 6: \"u\" undefined\nAborting batch mode\nmore\n"),
              "file m.in: line 6: \"u\" undefined");
    const std::pair<const char*, const char*> instances[] = {
        {"N1_c", "c[1]"}, {"a.N12_user.b", "a.user[12].b"}, {"a", "a"}, {"N_x", "N_x"}, {"Nx_y", "Nx_y"},
        {"N1_", "N1_"}};
    for (const auto& [path, shown] : instances) EXPECT_EQ(instance_as_in_model(path), shown) << path;
    EXPECT_TRUE(refused_checker_option("-AG"));
    EXPECT_TRUE(refused_checker_option("-n"));
    EXPECT_FALSE(refused_checker_option("-coi"));
}

TEST(Checker, TellsTheInvariantsOfAListingWhoseFormulasMayGoOnOverLines) {
    const std::vector<ListedProperty> listing = listing_of(
        "000 :AG (x -> y) IN N1_p\n  [CTL            Unchecked      N/A    N1_p.ruvello_9]\n"
        "001 :AG case\nx : y;\nTRUE : !y;\nesac \n  [CTL            Unchecked      N/A    ruvello_10]\n"
        "002 :(AG x -> y) \n  [CTL            Unchecked      N/A    own]\n"
        "003 :AG (x & EX y) \n  [CTL            Unchecked      N/A    ruvello_12]\n"
        "004 :AG x = y \n  [INVAR          Unchecked      N/A    ruvello_13]\n"
        "005 :AG AG-x \n  [CTL            Unchecked      N/A    ruvello_14]\n");
    ASSERT_EQ(listing.size(), 6u);
    EXPECT_EQ(listing[1].name, "ruvello_10");
    const std::optional<std::string> invariants[] = {"(x -> y) IN N1_p", "case x : y; TRUE : !y; esac",
                                                     std::nullopt, std::nullopt, std::nullopt, "AG-x"};
    for (std::size_t i = 0; i < listing.size(); ++i) EXPECT_EQ(invariant_of(listing[i]), invariants[i]) << i;

    const std::string script = verdict_script("./m.2.smv", {Check::listed(3), Check::invariant(5, "x IN p")}, true);
    EXPECT_EQ(script, "set on_failure_script_quits\nread_model -i \"./m.2.smv\"\ngo\n"
                      "echo @@ruvello states\nprint_reachable_states\n"
                      "echo @@ruvello 3\ncheck_property -n 3\necho @@ruvello 5\ncheck_invar -p \"x IN p\"\nquit\n");
    EXPECT_EQ(verdicts_of("reachable states: 9 (2^3.2) out of 27\n@@ruvello states \n"
                          "system diameter: 3\nreachable states: 1.5e+20 (2^67) out of 1e+30\n")
                  .states,
              1.5e+20);
    EXPECT_EQ(verdicts_of("@@ruvello 3 \nreachable states: 9 (2^3.2)\n").states, std::nullopt);
}

TEST(Checker, KeepsOfTheCheckersOutputOnlyWhatItReads) {
    // A line longer than the reader holds comes as its first and last bytes.
    const std::string output = "short\n" + std::string(100, 'a') + "xyz\nlast";
    StringSource text(output, 5);
    OutputLines lines(text, 16);
    std::string_view line;
    ASSERT_TRUE(lines.next(line));
    EXPECT_EQ(line, "short");
    EXPECT_FALSE(lines.cut());
    ASSERT_TRUE(lines.next(line));
    EXPECT_EQ(line, std::string(16, 'a') + "..." + std::string(12, 'a') + "xyz");
    EXPECT_TRUE(lines.cut());
    EXPECT_EQ(lines.start(), 6u);
    EXPECT_EQ(lines.end(), 110u);
    ASSERT_TRUE(lines.next(line));
    EXPECT_EQ(line, "last");
    EXPECT_FALSE(lines.next(line));

    // A verdict on a formula longer than that is still read.
    const std::string formula(300000, 'x');
    EXPECT_EQ(verdicts_of("@@ruvello 4 \n-- specification AG " + formula + "  is false\n").verdicts.at("4").verdict,
              Verdict::fails);
    // A listing is held whole, as far as it may go.
    const std::string listed = "000 :AG " + formula + "\n  [CTL  Unchecked  N/A  ruvello_3]\n";
    EXPECT_EQ(listing_of(listed, 400000).at(0).formula, "AG " + formula);
    EXPECT_THROW(listing_of(listed, 200000), UnreadableOutput);
    EXPECT_THROW(listing_of("000 :AG x\n" + std::string(300, 'x') + "\n", 200), UnreadableOutput);
    EXPECT_TRUE(listing_of("garbage\n" + formula + "\n", 200).empty());
}

}  // namespace
