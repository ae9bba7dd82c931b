// The counterexample as a table: NuSMV's traces of two models against the
// tables expected of them (tests/check/trace/NAME.trace and NAME.table), traces
// that NuSMV writes now against the same tables, and what a trace may hold
// that a table must survive.
#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "check/trace_table.h"
#include "read_file.h"

namespace {

namespace fs = std::filesystem;
using ruvello::check::read_trace;
using ruvello::check::trace_from_json;
using ruvello::check::trace_json;
using ruvello::check::trace_table;
const fs::path cases = fs::path(RUVELLO_SOURCE_DIR) / "tests" / "check" / "trace";

// A trace of `states` states in which process 1 moves each time, counting
// `count` up, and x[1] changes once, at step 2.
std::string counting_trace(int states, int loop_at = -1) {
    std::string text = "Trace Type: Counterexample\n  -> State: 1.1 <-\n    x[1] = FALSE\n    count = 0\n";
    for (int s = 1; s < states; ++s) {
        text += "  -> Input: 1." + std::to_string(s + 1) + " <-\n";
        if (s == 1) text += "    _process_selector_ = N1_p\n    N1_p.running = TRUE\n";
        if (s == loop_at) text += "  -- Loop starts here\n";
        text += "  -> State: 1." + std::to_string(s + 1) + " <-\n    count = " + std::to_string(s) + "\n";
        if (s == 2) text += "    x[1] = TRUE\n";
    }
    return text;
}

TEST(TraceTable, NuSMVsTracesOfTheModelsAsTheirTablesSay) {
    for (const char* name : {"lock.N2.L13.1", "priority_mutex.N3.L13.1-3"}) {
        const std::string trace = read_file(cases / (std::string(name) + ".trace"));
        ASSERT_FALSE(trace.empty()) << name;
        EXPECT_EQ(trace_table(read_trace(trace)), read_file(cases / (std::string(name) + ".table"))) << name;
    }
}

TEST(TraceTable, TheProcessThatMovedAndTheLoopAsTheyAreData) {
    const auto trace = read_trace(read_file(cases / "lock.N2.L13.1.trace"));
    ASSERT_EQ(trace.steps.size(), 6u);
    EXPECT_EQ(trace.columns, (std::vector<std::string>{"state[1]", "state[2]", "busy"}));
    EXPECT_EQ(trace.loop_at, 1u);
    // NuSMV names the process that moves only when it is another than the
    // one before: process 2 moves twice at steps 2 and 3.
    const std::vector<std::optional<int>> moved{std::nullopt, 1, 2, 2, 1, 2};
    for (std::size_t s = 0; s < moved.size(); ++s) EXPECT_EQ(trace.steps[s].process, moved[s]) << "step " << s;
    EXPECT_TRUE(trace.steps[4].changes.empty());  // process 1 moved and stayed trying
    const auto json = trace_json(trace);
    EXPECT_EQ(json["loop_at"], 1);
    EXPECT_EQ(json["steps"][0]["process"], nullptr);
    EXPECT_EQ(json["steps"][3]["process"], 2);
    EXPECT_EQ(json["steps"][3]["changes"], (nlohmann::json{{"state[2]", "critical"}, {"busy", "TRUE"}}));
    // A report read back from the document shows the same table.
    EXPECT_EQ(trace_table(trace_from_json(json, 2)), trace_table(trace));
    EXPECT_THROW(static_cast<void>(trace_from_json(json, 1)), std::invalid_argument);  // process 2 of N = 1
}

TEST(TraceTable, AVariableOfAProcessInstanceIsThatProcesssColumn) {
    const auto trace = read_trace(
        "  -> State: 1.1 <-\n    turn = 1\n    N2_p.local = 0\n    N1_p.local = 0\n    N1_p.N = 2\n    N = 2\n"
        "  -> Input: 1.2 <-\n    _process_selector_ = N2_p\n    running = FALSE\n"
        "  -> State: 1.2 <-\n    N2_p.local = 1\n");
    EXPECT_EQ(trace.columns, (std::vector<std::string>{"p[1].local", "p[2].local", "turn"}));
    ASSERT_EQ(trace.steps.size(), 2u);
    EXPECT_EQ(trace.steps[1].instance, "p[2]");
    EXPECT_EQ(trace.steps[1].changes, (std::map<std::string, std::string>{{"p[2].local", "1"}}));
}

TEST(TraceTable, ALongTraceIsCutInTheMiddleAndGoesOnWithEveryValue) {
    const std::string table = trace_table(read_trace(counting_trace(40)), 10);
    EXPECT_NE(table.find("  ... 30 steps left out (5 to 34)\n"), std::string::npos) << table;
    // Step 35 changed only count, but after the cut it shows x[1] too.
    EXPECT_NE(table.find("\n    35  p[1]   TRUE   35\n"), std::string::npos) << table;
    EXPECT_NE(table.find("\n    36  p[1]          36\n"), std::string::npos) << table;
    EXPECT_EQ(std::count(table.begin(), table.end(), '\n'), 1 + 10 + 1);
    // A loop that starts among the steps left out is still told.
    const std::string lasso = trace_table(read_trace(counting_trace(40, 20)), 10);
    EXPECT_NE(lasso.find("the loop starts at step 20 and repeats to the last"), std::string::npos) << lasso;
    const std::string shown = trace_table(read_trace(counting_trace(40, 37)), 10);
    EXPECT_NE(shown.find("-- the loop starts here: steps 37 to 39 repeat forever\n    37"), std::string::npos) << shown;
}

TEST(TraceTable, UntrustedTextIsShownPrintableAndBounded) {
    const std::string odd = "  -> State: 1.1 <-\n    x[1] = a\033[2Jb\n    y = \xff\xfe\n    z = " +
                            std::string(500, 'v') + "\n    w = 1\n-- specification AG w = 2  is false\n"
                            "  -> State: 2.1 <-\n    w = 2\n";
    const auto trace = read_trace(odd);
    ASSERT_EQ(trace.steps.size(), 1u);  // the next property's trace is not this one's
    EXPECT_EQ(trace.steps[0].changes.at("x[1]"), "a\\033[2Jb");
    EXPECT_EQ(trace.steps[0].changes.at("y"), "??");
    EXPECT_EQ(trace.steps[0].changes.at("w"), "1");
    EXPECT_LE(trace.steps[0].changes.at("z").size(), 120u);
    const std::string table = trace_table(trace);
    EXPECT_EQ(table.find('\033'), std::string::npos);
    EXPECT_NO_THROW(static_cast<void>(trace_json(trace).dump()));

    const auto endless = read_trace(counting_trace(20'000));
    EXPECT_TRUE(endless.cut_short);
    EXPECT_EQ(endless.steps.size(), 10'000u);
    EXPECT_EQ(trace_table(read_trace("-- specification AG x  is true\n")), "  (the counterexample has no steps)\n");
}

// NuSMV's trace of each model now: its format is what the tables read.
TEST(TraceTable, NuSMVWritesTheTracesTheTablesRead) {
    const char* nusmv = std::getenv("RUVELLO_NUSMV");
    if (nusmv == nullptr || *nusmv == '\0') GTEST_SKIP() << "RUVELLO_NUSMV is not set";
    const fs::path folder = fs::temp_directory_path() / ("ruvello_trace_test_" + std::to_string(::getpid()));
    fs::create_directories(folder);
    const struct {
        const char* model;
        const char* translation_options;
        const char* table;
    } runs[] = {{"tests/check/trace/lock.in", "-p 2", "lock.N2.L13.1"},
                {"examples/priority_mutex.in", "--all-instances -p 3", "priority_mutex.N3.L13.1-3"}};
    for (const auto& run : runs) {
        const fs::path smv = folder / "model.smv", out = folder / "out";
        const std::string translate = std::string("'") + RUVELLO_EXECUTABLE + "' " + run.translation_options +
                                      " -f '" + (fs::path(RUVELLO_SOURCE_DIR) / run.model).string() + "' -o '" +
                                      smv.string() + "'";
        ASSERT_EQ(std::system(translate.c_str()), 0) << translate;
        const std::string check = "'" + std::string(nusmv) + "' '" + smv.string() + "' > '" + out.string() + "'";
        ASSERT_EQ(std::system(check.c_str()), 0) << check;
        const std::string output = read_file(out);
        const std::size_t first_false = output.find(" is false\n");
        ASSERT_NE(first_false, std::string::npos) << output;
        EXPECT_EQ(trace_table(read_trace(std::string_view(output).substr(first_false))),
                  read_file(cases / (std::string(run.table) + ".table")))
            << run.model;
    }
    fs::remove_all(folder);
}

}  // namespace
