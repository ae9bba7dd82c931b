// The checker's stages for one N, with a stand-in for the processes and the
// clock: what each stage is asked, what it makes of what the checker
// printed, and when a late stage is stopped.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include "check/checker_run.h"
#include "check/translations.h"
#include "platform/files.h"

namespace {

using namespace ruvello::check;
using namespace std::chrono_literals;
using ruvello::ChildCommand;
using ruvello::ChildEnd;

// Starts nothing: notes what it is asked to start and stop.
class FakeLauncher : public ruvello::Launcher {
public:
    pid_t start(const ChildCommand& command) override {
        started.push_back(command);
        return static_cast<pid_t>(100 + started.size());
    }
    void stop(pid_t pid, bool forcibly) override { stops.emplace_back(pid, forcibly); }

    std::vector<ChildCommand> started;
    std::vector<std::pair<pid_t, bool>> stops;
};

std::string read_text(const std::string& path) {
    std::ifstream file(path);
    return std::string(std::istreambuf_iterator<char>(file), {});
}

void write_text(const std::string& path, const std::string& text) { std::ofstream(path) << text; }

// A model of two properties, translated for N = 2 into a private folder,
// and a run of the checker on it that the test plays the checker for.
class CheckerRunTest : public testing::Test {
protected:
    static constexpr const char* model_text =
        "MODULE main\nVAR\n  s[Proc] : boolean;\nASSIGN\n  init(s[Proc]) := FALSE;\n"
        "SPEC\n  AG !s[1]\nSPEC\n  EF s[2]\n";

    CheckerRunTest() : translator(model, "m.in", settings) {
        setup.program = "NuSMV";
        setup.options = {"-v", "0"};
        setup.folder = folder.path();
        setup.stem = "m";
        setup.timeout_seconds = 5;
        translation.n = 2;
        translation.file = "m.2.smv";
        translator.translate(translation, folder.path(), true);
        results.model = "m.in";
        results.runs.push_back({2, Outcome::done, 0, std::nullopt, std::nullopt, std::nullopt});
    }

    // NuSMV's listing of the two properties, by the names they were given.
    std::string listing() const {
        const std::vector<NamedProperty>& properties = translation.named.properties;
        return "*** This is NuSMV 2.6.0 (compiled)\n000 :AG !s[1] \n  [CTL  Unchecked  N/A  " +
               properties.at(0).name + "]\n001 :EF s[2] \n  [CTL  Unchecked  N/A  " + properties.at(1).name + "]\n";
    }
    // Plays the checker: the stage under way prints `output` and ends.
    bool finish(CheckerRun& run, const std::string& output, int status = 0,
                std::chrono::seconds at = 1s) {
        write_text(run.output_path(run.stage()), output);
        return run.finish_stage(ChildEnd{run.pid(), status}, translation, results, t0 + at);
    }
    std::optional<Verdict> verdict(std::size_t line) const {
        for (const InstanceVerdict& each : results.verdicts)
            if (each.line == line) return each.verdict;
        return std::nullopt;
    }

    ruvello::TemporaryFolder folder;
    Settings settings;
    Model model{std::nullopt, model_text};
    Translator translator;
    Translation translation;
    CheckerSetup setup;
    FakeLauncher launcher;
    Results results;
    const Clock::time_point t0{};
};

TEST_F(CheckerRunTest, ListsChecksAndRechecksAnInvariantFoundFalseWithTheCTLChecker) {
    CheckerRun run(0, 2, setup, launcher, t0);
    run.start(translation, results, t0);
    ASSERT_EQ(launcher.started.size(), 1u);
    EXPECT_EQ(launcher.started[0].args, (std::vector<std::string>{"-lp", "-v", "0", "./m.2.smv"}));
    EXPECT_EQ(launcher.started[0].working_directory, folder.path());

    ASSERT_TRUE(finish(run, listing()));
    EXPECT_EQ(results.checker_version, "NuSMV 2.6.0");
    EXPECT_EQ(run.stage(), CheckerRun::Stage::verdicts);
    // AG of a state formula goes to the invariant checker; the rest as listed.
    const std::string script = read_text(folder.path() + "/m.2.check.script");
    EXPECT_NE(script.find("check_invar -p \"!s[1]\""), std::string::npos) << script;
    EXPECT_NE(script.find("check_property -n 1"), std::string::npos) << script;
    EXPECT_EQ(launcher.started[1].args.back(), "./m.2.check.script");

    // The invariant checker ignores fairness: its false is asked again.
    ASSERT_TRUE(finish(run, "@@ruvello 0 \n-- invariant !s[1]  is false\n@@ruvello 1 \n"
                            "-- specification EF s[2]  is true\n"));
    EXPECT_EQ(run.stage(), CheckerRun::Stage::recheck);
    EXPECT_NE(read_text(folder.path() + "/m.2.recheck.script").find("check_property -n 0"), std::string::npos);
    EXPECT_FALSE(finish(run, "@@ruvello 0 \n-- specification AG !s[1]  is true\n"));
    run.record_verdicts(translation, results);
    EXPECT_EQ(verdict(7), Verdict::holds);
    EXPECT_EQ(verdict(9), Verdict::holds);
    EXPECT_EQ(results.runs[0].outcome, Outcome::done);
}

TEST_F(CheckerRunTest, ChecksTheOtherPropertiesWithoutTheOneNuSMVRejects) {
    CheckerRun run(0, 2, setup, launcher, t0);
    ASSERT_TRUE(run.start(translation, results, t0));
    // For a name it does not know, NuSMV gives the line of the first keyword
    // of the module, and the formula as it read it: that of line 9.
    write_text(folder.path() + "/m.2.list.err",
               "TYPE ERROR file ./m.2.smv: line 6 : undefined identifier 's[2]'\n"
               "ERROR: Property \"EF s[2]\" is not correct or not well typed.\nAborting batch mode\n");
    ASSERT_TRUE(finish(run, "", 1));
    ASSERT_EQ(launcher.started.size(), 2u);
    const std::string without = launcher.started[1].args.back().substr(2);
    EXPECT_NE(without, translation.file);
    const std::string text = read_text(folder.path() + "/" + without), whole = read_text(folder.path() + "/m.2.smv");
    EXPECT_EQ(text.find("EF s[2]"), std::string::npos) << text;
    EXPECT_NE(text.find("AG !s[1]"), std::string::npos) << text;
    // Blank lines in its place: NuSMV names the others' lines as before.
    EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), std::count(whole.begin(), whole.end(), '\n'));

    const std::string first = translation.named.properties.at(0).name;
    ASSERT_TRUE(finish(run, "000 :AG !s[1] \n  [CTL  Unchecked  N/A  " + first + "]\n"));
    EXPECT_EQ(launcher.started[2].args.back(), "./m.2.check.script");
    EXPECT_NE(read_text(folder.path() + "/m.2.check.script").find("./" + without), std::string::npos);
    EXPECT_FALSE(finish(run, "@@ruvello 0 \n-- invariant !s[1]  is true\n"));
    run.record_verdicts(translation, results);
    EXPECT_EQ(verdict(7), Verdict::holds);
    EXPECT_EQ(verdict(9), Verdict::error);
    EXPECT_EQ(results.runs[0].outcome, Outcome::done);
    EXPECT_EQ(results.notes, std::vector<std::string>{"line 9: NuSMV rejects the property: TYPE ERROR: undefined "
                                                      "identifier 's[2]'"});
}

TEST_F(CheckerRunTest, FailsTheRunOfItsNWithWhatWentWrongAndLeavesItsPropertiesWithoutVerdicts) {
    struct Case {
        std::string what;
        std::string listing_output;  // empty: the listing is as NuSMV gives it
        int listing_status;
        std::string verdicts_output;
        Outcome outcome;
        std::string message_part;
    };
    const std::vector<Case> cases = {
        {"a listing that ends badly", "", 1, "", Outcome::error, "the checker ended with status 1"},
        {"a property listed that the translation lacks", "000 :AG x \n  [CTL  Unchecked  N/A  other]\n", 0, "",
         Outcome::error, "does not have: other"},
        {"a verdict missing", "", 0, "@@ruvello 1 \n-- specification EF s[2]  is true\n", Outcome::error,
         "no verdict for 1 of the properties"},
    };
    for (const Case& each : cases) {
        results.runs[0] = {2, Outcome::done, 0, std::nullopt, std::nullopt, std::nullopt};
        results.verdicts.clear();
        CheckerRun run(0, 2, setup, launcher, t0);
        run.start(translation, results, t0);
        bool goes_on = finish(run, each.listing_output.empty() ? listing() : each.listing_output, each.listing_status);
        if (goes_on) goes_on = finish(run, each.verdicts_output);
        EXPECT_FALSE(goes_on) << each.what;
        run.record_verdicts(translation, results);
        EXPECT_EQ(results.runs[0].outcome, each.outcome) << each.what;
        EXPECT_NE(results.runs[0].message.value_or("").find(each.message_part), std::string::npos)
            << each.what << ": " << results.runs[0].message.value_or("");
        EXPECT_EQ(verdict(7), Verdict::error) << each.what;
    }
}

TEST_F(CheckerRunTest, StopsAStagePastItsTimeoutThenKillsItAndSaysWhy) {
    CheckerRun run(0, 2, setup, launcher, t0);
    run.start(translation, results, t0);
    ASSERT_TRUE(finish(run, listing(), 0, 10s));  // the verdicts start at 10 s
    run.stop_if_late(false, t0 + 14s);
    EXPECT_TRUE(launcher.stops.empty());
    run.stop_if_late(false, t0 + 16s);
    run.stop_if_late(false, t0 + 17s);
    EXPECT_EQ(launcher.stops, (std::vector<std::pair<pid_t, bool>>{{run.pid(), false}}));
    run.stop_if_late(false, t0 + 19s);
    EXPECT_EQ(launcher.stops.back(), std::make_pair(run.pid(), true));
    EXPECT_FALSE(finish(run, "@@ruvello 0 \n-- invariant !s[1]  is true\n", 0, 20s));
    EXPECT_EQ(results.runs[0].outcome, Outcome::timeout);
    EXPECT_EQ(results.runs[0].message, "stopped after 5 s");
}

TEST_F(CheckerRunTest, StopsEveryStageWhenTheBudgetIsSpent) {
    setup.budget_seconds = 60;
    CheckerRun run(0, 2, setup, launcher, t0);
    run.start(translation, results, t0);
    run.stop_if_late(true, t0 + 1s);
    EXPECT_EQ(launcher.stops.size(), 1u);
    EXPECT_FALSE(finish(run, listing(), 0, 2s));
    EXPECT_EQ(results.runs[0].outcome, Outcome::timeout);
    ASSERT_TRUE(results.runs[0].message);
    EXPECT_NE(results.runs[0].message->find("did not list the properties"), std::string::npos);
}

TEST(CheckerMessages, NameTheModelWhereNuSMVNamesTheTranslationWhateverTheModelIsCalled) {
    struct Case {
        std::string said, model, expected;
    };
    const std::vector<Case> cases = {
        {"file ./m.2.smv: line 6: undefined", "m.in", "file m.in: line 6: undefined"},
        {"file m.2.smv: line 6, m.2.smv again", "m.in", "file m.in: line 6, m.in again"},
        // The model's name holds the translation's: once replaced, it stays.
        {"file ./m.2.smv: line 6", "m.2.smv/m.in", "file m.2.smv/m.in: line 6"},
        {"m.2.smv m.2.smv", "x/m.2.smv.in", "x/m.2.smv.in x/m.2.smv.in"},
        {"nothing of it", "m.in", "nothing of it"},
    };
    for (const Case& each : cases) EXPECT_EQ(with_model_named(each.said, "m.2.smv", each.model), each.expected);
}

}  // namespace
