// The report of a check in its formats: the table, the JSON read back and
// refused when no check writes it, the merge of documents, JUnit, and the
// digest that tells the model's versions apart.
#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <tuple>

#include "check/digest.h"
#include "check/formats.h"
#include "check/report.h"
#include "check/trace_table.h"
#include "smv/vocabulary.h"

namespace {

using namespace ruvello::check;


Results sample() {
    Results results;
    results.model = "m.in";
    results.checker_path = "NuSMV";
    results.checker_version = "NuSMV 2.6.0";
    results.runs = {{2, Outcome::done, 0.5, std::nullopt}, {3, Outcome::done, 0.7, std::nullopt},
                    {4, Outcome::timeout, 9, "stopped after 9 s"}};
    results.properties = {{14, ruvello::smv::PropertyKind::ctl, "main", "  FORALL (i, j) AG (i != j -> !(c[i] & c[j]))"},
                          {17, ruvello::smv::PropertyKind::compute, "watcher", "COMPUTE MIN [ a , b ]"},
                          {20, ruvello::smv::PropertyKind::ctl, "user", "SPEC AG ok -- \"quoted\" & <odd>\x01"}};
    const auto verdict = [](int n, std::size_t line, std::optional<std::vector<int>> processes,
                            std::optional<std::string> instance, Verdict outcome) {
        return InstanceVerdict{n, line, std::move(processes), std::move(instance), outcome, std::nullopt, std::nullopt};
    };
    results.verdicts = {verdict(2, 14, std::vector<int>{1, 2}, std::nullopt, Verdict::holds),
                        verdict(2, 14, std::vector<int>{2, 1}, std::nullopt, Verdict::holds),
                        verdict(3, 14, std::vector<int>{1, 3}, std::nullopt, Verdict::fails),
                        verdict(3, 14, std::vector<int>{2, 3}, std::nullopt, Verdict::fails),
                        verdict(3, 14, std::vector<int>{3, 1}, std::nullopt, Verdict::fails),
                        verdict(3, 17, std::nullopt, std::nullopt, Verdict::holds),
                        verdict(3, 20, std::nullopt, "u[2]", Verdict::fails),
                        verdict(4, 14, std::vector<int>{1, 2}, std::nullopt, Verdict::holds),
                        verdict(4, 14, std::vector<int>{1, 3}, std::nullopt, Verdict::timeout)};
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
    for (InstanceVerdict& verdict : results.verdicts)
        if (verdict.verdict == Verdict::fails) verdict.verdict = Verdict::holds;
    EXPECT_EQ(exit_status(results), 3);
    results.runs.pop_back();
    results.verdicts.resize(results.verdicts.size() - 2);
    EXPECT_EQ(exit_status(results), 0);
}

TEST(Report, SumsUpEachNOnALineAsItEnds) {
    const Results results = sample();
    EXPECT_EQ(column_summary(results, results.properties, results.runs[1]),
              "N = 3 in 0.7 s: line 14 false (1,3) +2, line 17 4, line 20 false u[2]");
    EXPECT_EQ(column_summary(results, results.properties, results.runs[2]), "N = 4: timeout: stopped after 9 s");
}

TEST(Report, ShowsEachFalsePropertysCounterexampleOfTheSmallestNUnderTheTable) {
    Results results = sample();
    // Runs may end in any order with --jobs: the smallest N's is shown,
    // one per property, in the order of the lines, its names printable.
    const auto moved = [](const char* value) {
        Trace trace;
        trace.columns = {"c[1]"};
        trace.steps = {{std::nullopt, std::nullopt, {{"c[1]", "FALSE"}}},
                       {"p[1]", 1, {{"c[1]", value}}}};
        return trace;
    };
    results.counterexamples = {{4, 14, std::vector<int>{1, 2}, std::nullopt, moved("four")},
                               {3, 20, std::nullopt, "u[2]\x1b", moved("TRUE")},
                               {3, 14, std::vector<int>{1, 3}, std::nullopt, moved("TRUE")}};
    const std::string shown = table(results);
    const std::string last = "N = 4: timeout: stopped after 9 s\n";
    const std::string under = shown.substr(shown.find(last) + last.size());
    EXPECT_EQ(under,
              "\nCounterexample of line 14 for N = 3, processes (1,3):\n"
              "  step  moved  c[1]\n"
              "     0         FALSE\n"
              "     1  p[1]   TRUE\n"
              "\nCounterexample of line 20 for N = 3, u[2]?:\n"
              "  step  moved  c[1]\n"
              "     0         FALSE\n"
              "     1  p[1]   TRUE\n");
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

// A document with the text at `field` of its first entry of `list` replaced
// by `text`.
std::string with_text(const Results& results, const std::string& list, const std::string& field,
                      const std::string& text) {
    std::string document = to_json(results);
    const std::size_t entry = document.find("\"" + list + "\"");
    const std::size_t start = document.find("\"" + field + "\": \"", entry) + field.size() + 5;
    return document.replace(start, document.find('"', start) - start, text);
}

TEST(Formats, ReadBackEveryOutcomeVerdictAndDecisionTheyWriteAndNoOtherText) {
    for (const Outcome outcome : every_outcome) EXPECT_EQ(named(every_outcome, text_of(outcome)), outcome);
    for (const Verdict verdict : every_verdict) EXPECT_EQ(named(every_verdict, text_of(verdict)), verdict);
    for (const Decision decision : every_decision) EXPECT_EQ(named(every_decision, text_of(decision)), decision);
    const std::tuple<const char*, const char*, const char*, const char*> unknown[] = {
        {"runs", "outcome", "finished",
         "runs[0].outcome: 'finished' is none of done, timeout, error, interrupted, skipped"},
        {"verdicts", "verdict", "True",
         "verdicts[0].verdict: 'True' is none of true, false, timeout, error, warned, interrupted, skipped"},
        {"every_n", "verdict", "maybe", "every_n[0].verdict: 'maybe' is none of true, false, undecided"},
    };
    Results valid = sample();
    valid.every_n = {{14, Decision::fails, std::nullopt}};
    ASSERT_EQ(refusal(valid), "");
    for (const auto& [list, field, text, why] : unknown) {
        try {
            from_json(with_text(valid, list, field, text));
            ADD_FAILURE() << text << " read";
        } catch (const std::runtime_error& error) {
            EXPECT_EQ(std::string(error.what()), why);
        }
    }
}

TEST(Formats, RefuseADocumentThatNoCheckWritesNamingTheField) {
    Results valid = sample();
    valid.properties.push_back({22, ruvello::smv::PropertyKind::ctl, "main", "SPEC AG !(c[1] & c[2])"});
    for (const int n : {2, 3})
        valid.verdicts.push_back({n, 22, std::nullopt, std::nullopt, Verdict::holds, std::nullopt, std::nullopt});
    valid.every_n = {{14, Decision::fails, std::nullopt}, {22, Decision::holds, std::nullopt}};
    ASSERT_EQ(refusal(valid), "");
    const std::pair<std::function<void(Results&)>, const char*> spoilt[] = {
        {[](Results& r) { r.verdicts[0].processes = {1, 1}; },
         "verdicts[0].processes[1]: process 1 a second time: the processes of a FORALL are distinct"},
        {[](Results& r) { r.verdicts[2].processes = {1, 3, 2}; },
         "verdicts[2].processes: 3 processes for a FORALL over 2"},
        {[](Results& r) { r.verdicts[6].processes = {1}; }, "verdicts[6].processes: processes for line 20, no FORALL"},
        {[](Results& r) { r.verdicts[0].verdict = Verdict::timeout; },
         "verdicts[0].verdict: timeout in a run of N = 2 whose outcome is done"},
        {[](Results& r) { r.runs[2].outcome = Outcome::skipped; }, "verdicts[7].n: N = 4 was skipped"},
        {[](Results& r) { std::erase_if(r.verdicts, [](const InstanceVerdict& v) { return v.n == 3 && v.line == 14; }); },
         "runs[1]: N = 3 is done, but line 14 has no verdict for it"},
        {[](Results& r) { r.every_n[0].verdict = Decision::undecided; },
         "every_n[0].verdict: undecided, but the verdicts of line 14 make it false"},
        {[](Results& r) { r.every_n[1].verdict = Decision::fails; },
         "every_n[1].verdict: false, but no verdict of line 22 is false"},
        {[](Results& r) { r.every_n.push_back({22, Decision::undecided, "why"}); },
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
    Results results = sample();
    // A false verdict's counterexample, and one of the counted model, go and come back.
    results.counterexamples = {{3, 14, std::vector<int>{1, 3}, std::nullopt,
                                read_trace("  -> State: 1.1 <-\n    c[1] = FALSE\n    c[3] = FALSE\n"
                                           "  -> State: 1.2 <-\n    c[1] = TRUE\n")}};
    results.every_n = {{17, Decision::undecided, "too coarse", "counter abstraction", {"  step 0: 2 or more at c = idle"}}};
    const Results read = from_json(to_json(results));
    EXPECT_EQ(to_json(read), to_json(results));
    ASSERT_EQ(read.counterexamples.size(), 1u);
    EXPECT_EQ(trace_table(read.counterexamples[0].trace), trace_table(results.counterexamples[0].trace));
    EXPECT_EQ(read.every_n.at(0).counterexample, results.every_n[0].counterexample);
    EXPECT_THROW(from_json("{\"model\": 3}"), std::runtime_error);

    // Each N as the last document that has it says.
    Results early = results, late = results;
    early.runs.resize(2);
    late.runs.erase(late.runs.begin(), late.runs.begin() + 2);
    late.runs[0].outcome = Outcome::done;
    std::erase_if(early.verdicts, [](const InstanceVerdict& verdict) { return verdict.n == 4; });
    const Results all = merged({{"all", results}, {"early", early}, {"late", late}});
    EXPECT_EQ(all.runs.size(), 3u);
    EXPECT_EQ(all.runs[2].outcome, Outcome::done);
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
    EXPECT_NE(junit.find("<failure message=\"the property is false\">  step  moved  c[1]"), std::string::npos) << junit;
    EXPECT_NE(junit.find("<testsuite name=\"N=3\" tests=\"5\" failures=\"4\" errors=\"0\""), std::string::npos);
    EXPECT_NE(junit.find("name=\"N=3 line 20 u[2]\""), std::string::npos);
    EXPECT_NE(junit.find("<testsuite name=\"N=4\" tests=\"3\" failures=\"0\" errors=\"2\""), std::string::npos);
    Results odd = results;
    odd.model = "m<\x01>\".in";
    EXPECT_NE(to_junit(odd).find("classname=\"m&lt;\\x01&gt;&quot;.in\""), std::string::npos);
}

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

TEST(Report, PredictsTheNextNFromTheGrowthAndSaysDurationsAsPeopleDo) {
    const auto runs = [](std::vector<std::pair<int, double>> seconds) {
        std::vector<ruvello::check::Run> made;
        for (const auto& [n, took] : seconds) made.push_back({n, Outcome::done, took, std::nullopt});
        return made;
    };
    EXPECT_EQ(predicted_seconds(runs({{2, 1}}), 3), std::nullopt);
    EXPECT_NEAR(*predicted_seconds(runs({{2, 1}, {3, 4}, {4, 16}}), 5), 64, 0.01);
    EXPECT_NEAR(*predicted_seconds(runs({{1, 100}, {2, 1}, {3, 2}, {4, 4}}), 6), 16, 0.01);  // the last three
    EXPECT_NEAR(*predicted_seconds(runs({{2, 8}, {3, 4}}), 4), std::sqrt(32), 0.01);  // no shrinking
    std::vector<ruvello::check::Run> failed = runs({{2, 1}, {3, 4}, {4, 5}});
    failed[2].outcome = Outcome::timeout;
    EXPECT_NEAR(*predicted_seconds(failed, 5), 64, 0.01);
    const std::pair<double, const char*> durations[] = {
        {0.42, "0.4 s"}, {12.4, "12 s"}, {580, "9 min 40 s"}, {2460, "41 min"}, {7500, "2 h 5 min"}, {7200, "2 h"}};
    for (const auto& [seconds, text] : durations) EXPECT_EQ(duration_text(seconds), text);
}

}  // namespace
