// The check's own rules, without a model checker: naming the properties of
// a translation, reading NuSMV's output, and the report in its formats.
#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <tuple>

#include "check/checker.h"
#include "check/digest.h"
#include "check/formats.h"
#include "check/naming.h"
#include "check/report.h"

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

std::string described(const NamedProperty& property) {
    std::string text = property.name + " line " + std::to_string(property.line) + " " + std::string(ruvello::smv::text_of(property.kind)) +
                       " in " + property.module;
    if (property.processes)
        for (const int process : *property.processes) text += " " + std::to_string(process);
    if (property.stand_in) text += " (stand-in)";
    return text;
}

TEST(Naming, NamesEveryPropertyByItsModelLineAndKeepsTheModelsOwnNames) {
    const std::string translation =
        "--Source file: m.in , by ruvello--\n"  // the model's line 1 is the next
        "MODULE main\n"
        "SPEC AG x -- SPEC in a comment\n"
        "CTLSPEC NAME my$own#1 := AG y\n"
        "LTLSPEC\n"
        "  -- the formula on the next line of code\n"
        "  G z\n"
        "SPEC\n"
        "\tNAME ruvello_8_1_3 := AG (!(s[1] & s[3]))\n"
        "# 12 \"m.in\"\n"
        "SPEC\n"
        "\tNAME ruvello_12_none := TRUE\n"
        "MODULE user(id)\n"
        "PSLSPEC always (id > 0);\n"
        "INVARSPEC (id > 0) COMPUTE MIN [ a , b ]\n"
        "SPEC\n"
        "VAR x : boolean;\n";
    const NamedText named = name_properties(translation, "ruvello_");
    EXPECT_EQ(named.text, "--Source file: m.in , by ruvello--\n"
                          "MODULE main\n"
                          "SPEC NAME ruvello_2 := AG x -- SPEC in a comment\n"
                          "CTLSPEC NAME my$own#1 := AG y\n"
                          "LTLSPEC\n"
                          "  -- the formula on the next line of code\n"
                          "  NAME ruvello_6 := G z\n"
                          "SPEC\n"
                          "\tNAME ruvello_8_1_3 := AG (!(s[1] & s[3]))\n"
                          "# 12 \"m.in\"\n"
                          "SPEC\n"
                          "\tNAME ruvello_12_none := TRUE\n"
                          "MODULE user(id)\n"
                          "PSLSPEC always (id > 0);\n"
                          "INVARSPEC NAME ruvello_16 := (id > 0) COMPUTE NAME ruvello_16_p2 := MIN [ a , b ]\n"
                          "SPEC\n"
                          "VAR x : boolean;\n");
    std::vector<std::string> properties;
    for (const NamedProperty& property : named.named.properties) properties.push_back(described(property));
    EXPECT_EQ(properties, (std::vector<std::string>{
                              "ruvello_2 line 2 CTL in main",
                              "my$own#1 line 3 CTL in main",
                              "ruvello_6 line 6 LTL in main",
                              "ruvello_8_1_3 line 8 CTL in main 1 3",
                              "ruvello_12_none line 12 CTL in main (stand-in)",
                              " line 15 PSL in user",
                              "ruvello_16 line 16 INVAR in user",
                              "ruvello_16_p2 line 16 COMPUTE in user",
                          }));
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
    EXPECT_EQ(verdicts.at("3").verdict, "false");
    const CheckerVerdict& trace = verdicts.at("3");
    EXPECT_EQ(output.substr(trace.text_start, trace.text_end - trace.text_start),
              "-- specification AG x  is false\n-- as demonstrated by the following execution sequence\n"
              "  N2_c.x = TRUE, a.N12_user.b = 1, N_x = 2, xN1_c = 3\n");
    EXPECT_EQ(trace.instances, (std::set<std::string>{"N12_user", "N2_c"}));
    EXPECT_EQ(verdicts.at("5").value, "1");
    EXPECT_EQ(verdicts.at("7").verdict, "true");
    EXPECT_TRUE(verdicts.at("7").instances.empty());
    EXPECT_EQ(verdicts.at("property_9").verdict, "true");
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

Results sample() {
    Results results;
    results.model = "m.in";
    results.checker_path = "NuSMV";
    results.checker_version = "NuSMV 2.6.0";
    results.runs = {{2, "done", 0.5, std::nullopt}, {3, "done", 0.7, std::nullopt},
                    {4, "timeout", 9, "stopped after 9 s"}};
    results.properties = {{14, ruvello::smv::PropertyKind::ctl, "main", "  FORALL (i, j) AG (i != j -> !(c[i] & c[j]))"},
                          {17, ruvello::smv::PropertyKind::compute, "watcher", "COMPUTE MIN [ a , b ]"},
                          {20, ruvello::smv::PropertyKind::ctl, "user", "SPEC AG ok -- \"quoted\" & <odd>\x01"}};
    const auto verdict = [](int n, std::size_t line, std::optional<std::vector<int>> processes,
                            std::optional<std::string> instance, std::string outcome) {
        return Verdict{n, line, std::move(processes), std::move(instance), std::move(outcome), std::nullopt, std::nullopt};
    };
    results.verdicts = {verdict(2, 14, std::vector<int>{1, 2}, std::nullopt, "true"),
                        verdict(2, 14, std::vector<int>{2, 1}, std::nullopt, "true"),
                        verdict(3, 14, std::vector<int>{1, 3}, std::nullopt, "false"),
                        verdict(3, 14, std::vector<int>{2, 3}, std::nullopt, "false"),
                        verdict(3, 14, std::vector<int>{3, 1}, std::nullopt, "false"),
                        verdict(3, 17, std::nullopt, std::nullopt, "true"),
                        verdict(3, 20, std::nullopt, "u[2]", "false"),
                        verdict(4, 14, std::vector<int>{1, 2}, std::nullopt, "true"),
                        verdict(4, 14, std::vector<int>{1, 3}, std::nullopt, "timeout")};
    results.verdicts[5].value = "4";
    return results;
}

TEST(Report, SaysForEachPropertyAndNWhatHoldsWhereItFailsAndWhatIsUnknown) {
    EXPECT_EQ(table(sample()),
              "ruvello --check m.in, N = 2..4, every tuple of distinct processes, NuSMV 2.6.0\n"
              " line  property                                      N = 2  N = 3           N = 4\n"
              "   14  FORALL (i, j) AG (i != j -> !(c[i] & c[j]))   true   false (1,3) +2  timeout\n"
              "   17  COMPUTE MIN [ a , b ]                         -      4               timeout\n"
              "   20  SPEC AG ok -- \"quoted\" & <odd>?               -      false u[2]      timeout\n"
              "       reachable states                              -      -               -\n"
              "       seconds                                       0.50   0.70            9.00\n"
              "3 properties, N = 2..4: 2 true, 2 false (from N = 3), 3 without verdict\n"
              "Checked for these N only: nothing is shown for any other N.\n"
              "N = 4: timeout: stopped after 9 s\n");
    Results results = sample();
    EXPECT_EQ(exit_status(results), 1);
    for (Verdict& verdict : results.verdicts)
        if (verdict.verdict == "false") verdict.verdict = "true";
    EXPECT_EQ(exit_status(results), 3);
    results.runs.pop_back();
    results.verdicts.resize(results.verdicts.size() - 2);
    EXPECT_EQ(exit_status(results), 0);
}

// Why from_json refuses the document of `results`, or "".
std::string refusal(const Results& results) {
    try {
        from_json(to_json(results));
        return "";
    } catch (const std::runtime_error& error) {
        return error.what();
    }
}

TEST(Formats, RefuseADocumentThatNoCheckWritesNamingTheField) {
    Results valid = sample();
    valid.properties.push_back({22, ruvello::smv::PropertyKind::ctl, "main", "SPEC AG !(c[1] & c[2])"});
    for (const int n : {2, 3})
        valid.verdicts.push_back({n, 22, std::nullopt, std::nullopt, "true", std::nullopt, std::nullopt});
    valid.every_n = {{14, "false", std::nullopt}, {22, "true", std::nullopt}};
    ASSERT_EQ(refusal(valid), "");
    const std::pair<std::function<void(Results&)>, const char*> spoilt[] = {
        {[](Results& r) { r.verdicts[0].processes = {1, 1}; },
         "verdicts[0].processes[1]: process 1 a second time: the processes of a FORALL are distinct"},
        {[](Results& r) { r.verdicts[2].processes = {1, 3, 2}; },
         "verdicts[2].processes: 3 processes for a FORALL over 2"},
        {[](Results& r) { r.verdicts[6].processes = {1}; }, "verdicts[6].processes: processes for line 20, no FORALL"},
        {[](Results& r) { r.verdicts[0].verdict = "timeout"; },
         "verdicts[0].verdict: timeout in a run of N = 2 whose outcome is done"},
        {[](Results& r) { r.runs[2].outcome = "skipped"; }, "verdicts[7].n: N = 4 was skipped"},
        {[](Results& r) { std::erase_if(r.verdicts, [](const Verdict& v) { return v.n == 3 && v.line == 14; }); },
         "runs[1]: N = 3 is done, but line 14 has no verdict for it"},
        {[](Results& r) { r.every_n[0].verdict = "undecided"; },
         "every_n[0].verdict: undecided, but the verdicts of line 14 make it false"},
        {[](Results& r) { r.every_n[1].verdict = "false"; },
         "every_n[1].verdict: false, but no verdict of line 22 is false"},
        {[](Results& r) { r.every_n.push_back({22, "undecided", "why"}); },
         "every_n[2].verdict: undecided, but every_n[1] says true of line 22"},
    };
    for (const auto& [spoil, why] : spoilt) {
        Results results = valid;
        spoil(results);
        EXPECT_EQ(refusal(results), why);
    }
    // Only an invariant of main may hold for every N, as far as its text shows.
    const std::tuple<const char*, const char*, const char*, bool> forms[] = {
        {"CTL", "main", "AG AG (x -> y) -- AF in a comment", true},
        {"CTL", "main", "NAME safe := AG x", true},
        {"CTL", "main", "NAME -- the name and the formula follow", true},
        {"CTL", "main", "FORALL (i) !c[i]", true},
        {"CTL", "main", "FORALL (i, j) AG (i != j -> !(c[i] & c[j]))", true},
        {"INVAR", "main", "INVARSPEC x = y", true},
        {"CTL", "main", "FORALL (i, j) (i != j -> !(c[i] & c[j]))", false},
        {"CTL", "main", "AG (x -> AF y)", false},
        {"CTL", "main", "AG (x -> E [ y U z ])", false},
        {"CTL", "main", "x", false},
        {"INVAR", "main", "AG x", false},
        {"LTL", "main", "G x", false},
        {"COMPUTE", "main", "MIN [ x , y ]", false},
        {"CTL", "user", "AG x", false},
    };
    for (const auto& [kind, module, text, invariant] : forms) {
        Results results = valid;
        results.properties.back() = {22, *ruvello::smv::property_kind_of_text(kind), module, text};
        EXPECT_EQ(refusal(results), invariant ? "" : "every_n[1].verdict: true for line 22, which is no invariant "
                                                     "of main (AG of a state formula) that the counted model decides")
            << text;
    }
}

TEST(Formats, ReadBackWhatTheyWriteMergeByNAndEscapeForXml) {
    const Results results = sample();
    const Results read = from_json(to_json(results));
    EXPECT_EQ(to_json(read), to_json(results));
    EXPECT_THROW(from_json("{\"model\": 3}"), std::runtime_error);

    // Each N as the last document that has it says.
    Results early = results, late = results;
    early.runs.resize(2);
    late.runs.erase(late.runs.begin(), late.runs.begin() + 2);
    late.runs[0].outcome = "done";
    std::erase_if(early.verdicts, [](const Verdict& verdict) { return verdict.n == 4; });
    const Results all = merged({{"all", results}, {"early", early}, {"late", late}});
    EXPECT_EQ(all.runs.size(), 3u);
    EXPECT_EQ(all.runs[2].outcome, "done");
    EXPECT_EQ(all.verdicts.size(), results.verdicts.size());
    Results other = late;
    other.model = "other.in";
    EXPECT_THROW(merged({{"all", results}, {"other", other}}), std::runtime_error);

    // Versions of a model told apart by its digest; a document without one merged with a note.
    Results digested = early, version = late;
    digested.model_digest = "sha256:" + std::string(64, 'a');
    version.model_digest = "sha256:" + std::string(64, 'b');
    EXPECT_EQ(from_json(to_json(digested)).model_digest, digested.model_digest);
    try {
        merged({{"early", digested}, {"late", late}, {"version", version}});
        ADD_FAILURE() << "two versions merged";
    } catch (const std::runtime_error& error) {
        EXPECT_EQ(std::string(error.what()), "'early' and 'version' were made from different versions of the model: "
                                             "the digests of its text differ");
    }
    const Results unknown = merged({{"early", digested}, {"late", late}});
    EXPECT_EQ(unknown.model_digest, std::nullopt);
    EXPECT_EQ(unknown.notes, std::vector<std::string>{"'late' records no digest of the model's text (an earlier "
                                                      "ruvello wrote it): a document of another version of the "
                                                      "model cannot be told from it"});
    version.model_digest = digested.model_digest;
    EXPECT_EQ(merged({{"early", digested}, {"late", version}}).model_digest, digested.model_digest);
    std::string spoilt = to_json(digested);
    spoilt.replace(spoilt.find("sha256:a"), 8, "sha256:A");
    EXPECT_THROW(from_json(spoilt), std::runtime_error);

    const std::string junit = to_junit(results);
    EXPECT_NE(junit.find("<testsuite name=\"N=3\" tests=\"5\" failures=\"4\" errors=\"0\""), std::string::npos);
    EXPECT_NE(junit.find("name=\"N=3 line 20 u[2]\""), std::string::npos);
    EXPECT_NE(junit.find("<testsuite name=\"N=4\" tests=\"3\" failures=\"0\" errors=\"2\""), std::string::npos);
    Results odd = results;
    odd.model = "m<\x01>\".in";
    EXPECT_NE(to_junit(odd).find("classname=\"m&lt;\\x01&gt;&quot;.in\""), std::string::npos);
}

}  // namespace

namespace {

TEST(Digest, IsTheSHA256OfTheBytesAtEveryLengthAroundTheEndOfABlock) {
    const std::pair<std::string, const char*> cases[] = {
        {"", "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855"},
        {"abc", "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad"},
        {"abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq",
         "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1"},
        {std::string(55, 'a'), "9f4390f8d30c2dd92ec9f095b65e2b9ae9b0a925a5258e241c9f1e910f734318"},
        {std::string(56, 'a'), "b35439a4ac6f0948b6d6f9e3c6af0f5f590ce20f1bde7090ef7970686ec6738a"},
        {std::string(63, 'a'), "7d3e74a05d7db15bce4ad9ec0658ea98e3f06eeecf16b4c6fff2da457ddc2f34"},
        {std::string(64, 'a'), "ffe054fe7ae0cb6dc65c3af9b61d5209f439851db43d0ba5997337df154668eb"},
        {std::string(65, 'a'), "635361c48bb9eab14198e76ea8ab7f1a41685d6ad62aa9146d301d4f17eb0ae0"},
        {std::string(120, 'a'), "2f3d335432c70b580af0e8e1b3674a7c020d683aa5f73aaaedfdc55af904c21c"},
        {std::string(1'000'000, 'a'), "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0"},
    };
    for (const auto& [bytes, digest] : cases) EXPECT_EQ(sha256_hex(bytes), digest) << bytes.size() << " bytes";
    std::string every_byte;
    for (int round = 0; round < 3; ++round)
        for (int byte = 0; byte < 256; ++byte) every_byte += static_cast<char>(byte);
    EXPECT_EQ(sha256_hex(every_byte), "f3a25aa93aa2fbba28d79260535bbd6a5eb0fc1c24a8b0f04e12b484c1dfe363");
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
              "false");
    // A listing is held whole, as far as it may go.
    const std::string listed = "000 :AG " + formula + "\n  [CTL  Unchecked  N/A  ruvello_3]\n";
    EXPECT_EQ(listing_of(listed, 400000).at(0).formula, "AG " + formula);
    EXPECT_THROW(listing_of(listed, 200000), UnreadableOutput);
    EXPECT_THROW(listing_of("000 :AG x\n" + std::string(300, 'x') + "\n", 200), UnreadableOutput);
    EXPECT_TRUE(listing_of("garbage\n" + formula + "\n", 200).empty());
}

TEST(Report, PredictsTheNextNFromTheGrowthAndSaysDurationsAsPeopleDo) {
    const auto runs = [](std::vector<std::pair<int, double>> seconds) {
        std::vector<ruvello::check::Run> made;
        for (const auto& [n, took] : seconds) made.push_back({n, "done", took, std::nullopt});
        return made;
    };
    EXPECT_EQ(predicted_seconds(runs({{2, 1}}), 3), std::nullopt);
    EXPECT_NEAR(*predicted_seconds(runs({{2, 1}, {3, 4}, {4, 16}}), 5), 64, 0.01);
    EXPECT_NEAR(*predicted_seconds(runs({{1, 100}, {2, 1}, {3, 2}, {4, 4}}), 6), 16, 0.01);  // the last three
    EXPECT_NEAR(*predicted_seconds(runs({{2, 8}, {3, 4}}), 4), std::sqrt(32), 0.01);  // no shrinking
    std::vector<ruvello::check::Run> failed = runs({{2, 1}, {3, 4}, {4, 5}});
    failed[2].outcome = "timeout";
    EXPECT_NEAR(*predicted_seconds(failed, 5), 64, 0.01);
    const std::pair<double, const char*> durations[] = {
        {0.42, "0.4 s"}, {12.4, "12 s"}, {580, "9 min 40 s"}, {2460, "41 min"}, {7500, "2 h 5 min"}, {7200, "2 h"}};
    for (const auto& [seconds, text] : durations) EXPECT_EQ(duration_text(seconds), text);
}

TEST(Naming, ChoosesAPrefixNoNameStartsWithAndCountsTheInstancesOfEachModule) {
    EXPECT_EQ(name_prefix_for("SPEC NAME ruvello := AG x; ruvellox_2 ruvello1_"), "ruvello_");
    EXPECT_EQ(name_prefix_for("NAME ruvello_8_7 := AG x -- ruvellox_"), "ruvelloxx_");
    EXPECT_EQ(name_prefix_for("a-ruvello_1 ruvello_"), "ruvellox_");

    const NamedText named = name_properties(
        "--Source file: m.in , by ruvello--\n"
        "MODULE main\nVAR\n  a : w(x);\n  N1_p : process u(x);\n  N2_p : process u(x);\n"
        "  b : array 1 .. 3 of w(x);\n  r : 0 .. 3;\n  s : lo .. hi;\n"
        "MODULE w(v)\nVAR c : u(v);\nSPEC NAME own := AG v\n"
        "MODULE u(v)\nSPEC AG v\n",
        "ruvello_");
    EXPECT_EQ(named.named.instance_count("w"), 4u);
    EXPECT_EQ(named.named.instance_count("u"), 6u);
    EXPECT_EQ(named.named.module_of("b[2].c"), "u");
    EXPECT_EQ(named.named.module_of("s"), std::nullopt);
    const auto found = named.named.property_listed_as("b[3].c.ruvello_13");
    ASSERT_TRUE(found);
    EXPECT_EQ(found->path, "b[3].c");
    EXPECT_EQ(named.named.properties[found->property].module, "u");
    EXPECT_FALSE(named.named.property_listed_as("own"));  // a property of w, not of main
    EXPECT_TRUE(named.named.property_listed_as("a.own"));
}

}  // namespace
