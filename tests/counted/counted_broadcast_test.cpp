// Shared per-process arrays, broadcasts and guards over the other
// processes in the counted model: each use outside the class refused with
// its reason, and the counted steps that stand for them.
#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "counted/counted.h"
#include "counted_rows.h"

namespace {

using ruvello::counted::count_model;
using ruvello::counted::CountedModel;

// A cache line in the class: a read miss takes the line alone only when every
// other cache is invalid (a guard over the others), a write invalidates
// every other line (a broadcast), and a reader alone takes a turn.
const std::string caches = R"(MODULE main
VAR
  line : array 1 .. N of {invalid, alone, shared, dirty};
  turn : Proc;
  c[Proc] : transition cache(Proc, line, turn);
ASSIGN
  init(line[Proc]) := invalid;
  init(turn) := 1;
SPEC
  FORALL (a, b) AG (a != b -> !(line[a] = dirty & line[b] != invalid))

MODULE cache(id, line, turn)
IVAR
  op : {read_alone, read_shared, write};
DEFINE
  go_alone := op = read_alone & line[id] = invalid;
  go_shared := op = read_shared & line[id] = invalid;
  go_write := op = write & line[id] != invalid;
ASSIGN
  next(turn) := case go_alone : id; TRUE : turn; esac;
  next(line[Proc]) := case Proc = id & go_alone : alone; Proc = id & go_shared : shared; Proc = id & go_write : dirty; go_shared & line[Proc] != invalid : shared; go_write : invalid; TRUE : line[Proc]; esac;
TRANS (running & go_alone) -> (Proc = id | line[Proc] = invalid);
FAIRNESS
  running
)";

struct Refused {
    const char* construct;
    std::vector<std::pair<std::string, std::string>> edits;
    const char* reason;  // a part of the reason every goal gives
};

void PrintTo(const Refused& row, std::ostream* out) { *out << row.construct; }

class RefusesBroadcastModel : public testing::TestWithParam<Refused> {};

TEST_P(RefusesBroadcastModel, WithItsReason) {
    const CountedModel counted = count_model(edited(caches, GetParam().edits));
    ASSERT_TRUE(counted.reason.has_value());
    EXPECT_NE(counted.reason->find(GetParam().reason), std::string::npos) << *counted.reason;
    EXPECT_TRUE(counted.text.empty());
    for (const auto& goal : counted.goals) EXPECT_FALSE(goal.invariant.has_value());
}

INSTANTIATE_TEST_SUITE_P(
    OutsideTheClass, RefusesBroadcastModel,
    testing::Values(
        Refused{"an array not indexed by process",
                {{"array 1 .. N", "array 0 .. N"}},
                "line 3 declares an array indexed otherwise than by process"},
        Refused{"one element passed", {{"cache(Proc, line, turn)", "cache(Proc, line[Proc], turn)"}},
                "passes one element of an array"},
        Refused{"Proc in a definition",
                {{"TRANS (running", "DEFINE\n  me := Proc = id;\nTRANS (running"}},
                "uses Proc outside next(a[Proc]) and TRANS"},
        Refused{"a TRANS that holds whoever runs",
                {{"(running & go_alone) ->", "go_alone ->"}},
                "constrains the steps with a TRANS other than (running & g) -> c"},
        Refused{"an array indexed by a number",
                {{"line[id] = invalid;\n  go_shared", "line[1] = invalid;\n  go_shared"}},
                "indexes an array otherwise than by the process's own number"},
        Refused{"an array indexed by the turn",
                {{"line[id] = invalid;\n  go_shared", "line[turn] = invalid;\n  go_shared"}},
                "indexes an array otherwise than by the process's own number"},
        Refused{"an array given its initial value in the module",
                {{"  next(turn)", "  init(line[Proc]) := invalid;\n  next(turn)"}},
                "assigns the elements of an array otherwise than by next"},
        Refused{"the whole array assigned", {{"next(turn) := case go_alone : id; TRUE : turn; esac;", "next(turn) := case go_alone : id; TRUE : turn; esac;\n  next(line) := line;"}},
                "assigns an array otherwise than as next(a[Proc])"},
        Refused{"a guard reading a next value",
                {{"| line[Proc] = invalid)", "| next(line[Proc]) = invalid)"}},
                "next value"},
        Refused{"a guard over two lines",
                {{"TRANS (running & go_alone) ->", "TRANS\n  (running & go_alone) ->"}},
                "not alone on one line"},
        Refused{"Proc compared with the turn",
                {{"(Proc = id | line[Proc] = invalid)", "(Proc = turn | line[Proc] = invalid)"}},
                "compares Proc with a process-number variable"},
        Refused{"a turn copied by a broadcast",
                {{"turn : Proc;", "turn : Proc;\n  last : Proc;"},
                 {"init(turn) := 1;", "init(turn) := 1;\n  init(last) := 1;"},
                 {"cache(Proc, line, turn)", "cache(Proc, line, turn, last)"},
                 {"MODULE cache(id, line, turn)", "MODULE cache(id, line, turn, last)"},
                 {"  next(turn)", "  next(last) := case go_write : turn; TRUE : last; esac;\n  next(turn)"}},
                "copies a process-number variable in a step that moves the other processes"},
        Refused{"two inputs that name processes",
                {{"op : {read_alone, read_shared, write};", "op : {read_alone, read_shared, write};\n  y : 1 .. N;\n  z : 1 .. N;"}},
                "declares a second input that names a process"},
        Refused{"a picked process spared by a broadcast",
                {{"op : {read_alone, read_shared, write};", "op : {read_alone, read_shared, write};\n  y : 1 .. N;"},
                 {"go_write : invalid;", "go_write & Proc != y : invalid;"}},
                "picks a process in a step that also moves every other process"},
        Refused{"a picked process given a number",
                {{"op : {read_alone, read_shared, write};", "op : {read_alone, read_shared, write};\n  y : 1 .. N;"},
                 {"go_alone := op = read_alone", "go_alone := y = 2 & op = read_alone"}},
                "compares a process number with a literal"},
        Refused{"a broadcast that chooses",
                {{"go_write : invalid;", "go_write : {invalid, shared};"}},
                "uses a set of values where one value is meant"}),
    name_of<Refused>);

// The line of the counted model that says when `step` is enabled.
std::string step_condition(const std::string& text, const std::string& step) {
    const std::size_t at = text.find("step = " + step + " : ");
    if (at == std::string::npos) return "no step " + step;
    return text.substr(at, text.find('\n', at) - at);
}

// The counted step of a broadcast: the others' counts are summed into the
// states they go to, the acting process's own count less one at m is m - 1
// or m; a guard over the others is a zero test.
TEST(CountedBroadcast, TransfersTheOthersAndTestsTheGuardForZero) {
    const CountedModel counted = count_model(caches);
    ASSERT_FALSE(counted.reason.has_value()) << counted.reason.value_or("");
    ASSERT_EQ(counted.counters.size(), 8U);  // four values of line, with and without the turn
    const std::string& text = counted.text;
    // The write from a shared line without the turn sends every other valid line to invalid.
    EXPECT_NE(text.find("step = shared_to_dirty_all : n_shared >= 1;"), std::string::npos) << text;
    EXPECT_NE(text.find("others_n_shared_low := max(n_shared - 1, 0);"), std::string::npos) << text;
    // Reading alone, by the process that holds the turn, needs no other process outside invalid.
    const std::string guard = step_condition(text, "invalid_turn_to_alone_turn");
    EXPECT_NE(guard.find("n_alone = 0"), std::string::npos) << guard;
    EXPECT_NE(guard.find("n_dirty = 0"), std::string::npos) << guard;
    EXPECT_EQ(guard.find("n_invalid = 0"), std::string::npos) << guard;
}

// A guard that forbids the acting process's own state to the others lets
// it step only as the one process there.
TEST(CountedBroadcast, LetsTheActingProcessAloneInAStateTheGuardForbids) {
    const CountedModel counted =
        count_model(edited(caches, {{"(Proc = id | line[Proc] = invalid)", "(Proc = id | line[Proc] != invalid)"}}));
    ASSERT_FALSE(counted.reason.has_value()) << counted.reason.value_or("");
    const std::string guard = step_condition(counted.text, "invalid_turn_to_alone_turn");
    EXPECT_NE(guard.find("n_invalid_turn <= 1"), std::string::npos) << guard;
    EXPECT_NE(guard.find("n_invalid = 0"), std::string::npos) << guard;
}

// An input of type 1 .. N that no step reads adds no step: a pick that
// moves the picked process as any other would be moved is the step without it.
TEST(CountedBroadcast, CountsAnUnreadPickAsNoPick) {
    const CountedModel plain = count_model(caches);
    const CountedModel picking = count_model(
        edited(caches, {{"op : {read_alone, read_shared, write};", "op : {read_alone, read_shared, write};\n  y : 1 .. N;"}}));
    ASSERT_FALSE(picking.reason.has_value()) << picking.reason.value_or("");
    EXPECT_EQ(picking.text, plain.text);
}

}  // namespace
