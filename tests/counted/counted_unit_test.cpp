// The class of models the counted model decides for every N: each
// construct outside it refused with its reason and line, odd input read
// without a crash, and what the goals say of a model in the class.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <string>
#include <utility>
#include <vector>

#include "counted/counted.h"
#include "counted_rows.h"
#include "smv/parser.h"

namespace {

using ruvello::counted::count_model;
using ruvello::counted::CountedModel;

// A test-and-set lock, in the class: its mutual exclusion is proved.
const std::string lock = R"(MODULE main
VAR
  busy : boolean;
  state[Proc] : {idle, trying, critical};
  p[Proc] : transition user(Proc, state[Proc], busy);
ASSIGN
  init(busy) := FALSE;
  init(state[Proc]) := idle;
SPEC
  FORALL (i, j) AG (i != j -> !(state[i] = critical & state[j] = critical))

MODULE user(id, state, busy)
ASSIGN
  next(state) :=
    case
      state = idle : {idle, trying};
      state = trying & !busy : critical;
      state = critical : idle;
      TRUE : state;
    esac;
  next(busy) :=
    case
      state = trying & !busy : TRUE;
      state = critical : FALSE;
      TRUE : busy;
    esac;
FAIRNESS
  running
)";

// The lock with a turn that a process takes when it enters, and a record
// of who last entered: two shared variables of type Proc.
const std::string turns = R"(MODULE main
VAR
  busy : boolean;
  turn : Proc;
  last : Proc;
  state[Proc] : {idle, trying, critical};
  p[Proc] : transition user(Proc, state[Proc], busy, turn, last);
ASSIGN
  init(busy) := FALSE;
  init(turn) := 1;
  init(state[Proc]) := idle;
SPEC
  FORALL (i, j) AG (i != j -> !(state[i] = critical & state[j] = critical))

MODULE user(id, state, busy, turn, last)
ASSIGN
  next(state) :=
    case
      state = idle : {idle, trying};
      state = trying & !busy : critical;
      state = critical : idle;
      TRUE : state;
    esac;
  next(busy) :=
    case
      state = trying & !busy : TRUE;
      state = critical : FALSE;
      TRUE : busy;
    esac;
  next(turn) :=
    case
      state = trying & !busy : id;
      TRUE : turn;
    esac;
  next(last) := last;
FAIRNESS
  running
)";

// "c0, c1, ..." for `count` constants.
std::string constants(int count) {
    std::string listed = "c0";
    for (int k = 1; k < count; ++k) listed += ", c" + std::to_string(k);
    return listed;
}

struct Refused {
    const char* construct;
    const std::string* base;
    std::vector<std::pair<std::string, std::string>> edits;
    const char* reason;  // a part of the reason every goal gives
};

void PrintTo(const Refused& row, std::ostream* out) { *out << row.construct; }

class RefusesModel : public testing::TestWithParam<Refused> {};

TEST_P(RefusesModel, WithItsReason) {
    const CountedModel counted = count_model(edited(*GetParam().base, GetParam().edits));
    ASSERT_TRUE(counted.reason.has_value());
    EXPECT_NE(counted.reason->find(GetParam().reason), std::string::npos) << *counted.reason;
    EXPECT_TRUE(counted.text.empty());
    ASSERT_FALSE(counted.goals.empty());
    for (const auto& goal : counted.goals) {
        EXPECT_EQ(goal.reason, counted.reason);
        EXPECT_FALSE(goal.invariant.has_value());
    }
}

INSTANTIATE_TEST_SUITE_P(
    OutsideTheClass, RefusesModel,
    testing::Values(
        Refused{"a syntax error", &lock, {{"next(state) :=", "next(state) ::="}}, "line 14 cannot be read"},
        Refused{"arithmetic on process numbers",
                &lock,
                {{"trying & !busy : critical", "trying & id + 1 = 2 : critical"}},
                "line 17 computes with process numbers (id + 1)"},
        Refused{"arithmetic on a case of process numbers",
                &lock,
                {{"trying & !busy : critical", "trying & (case busy : id; TRUE : id; esac) + 1 = 2 : critical"}},
                "line 17 computes with process numbers ((case busy : id; TRUE : id; esac) + 1)"},
        Refused{"a literal process number",
                &lock,
                {{"trying & !busy : critical", "trying & (!busy | id = 3) : critical"}},
                "line 17 compares a process number with a literal (id = 3)"},
        Refused{"an order of process numbers",
                &lock,
                {{"trying & !busy : critical", "trying & id < 2 : critical"}},
                "line 17 orders process numbers, which the counted model does not keep: protocols that rank processes (Szymanski's, the bakery) are outside the class (id < 2)"},
        Refused{"a process number compared with a number",
                &lock,
                {{"trying & !busy : critical", "trying & id = next(busy) : critical"}},
                "line 17 compares a process number with something other than a process's own number"},
        Refused{"a process number used otherwise",
                &lock,
                {{"TRUE : busy;", "TRUE : id;"}},
                "line 25 uses a process number otherwise than in = or != (id)"},
        Refused{"N in an expression",
                &lock,
                {{"trying & !busy : critical", "trying & N > 1 : critical"}},
                "line 17 uses N (N > 1)"},
        Refused{"a range that depends on N",
                &lock,
                {{"busy : boolean", "busy : 0 .. N"}},
                "line 3 declares a range that depends on N (0 .. N)"},
        Refused{"Proc as a range in the module",
                &lock,
                {{"MODULE user(id, state, busy)\n", "MODULE user(id, state, busy)\nVAR\n  mine : Proc;\n"}},
                "line 14 declares a range that depends on N (Proc)"},
        Refused{"N as a value of a type",
                &lock,
                {{"{idle, trying, critical}", "{idle, trying, critical, N}"}},
                "line 4 lists N as a value of the type of state, which is the number of processes"},
        Refused{"Proc as a value of a type in the module",
                &lock,
                {{"MODULE user(id, state, busy)\n",
                  "MODULE user(id, state, busy)\nVAR\n  mine : {none, Proc};\n"}},
                "line 14 lists Proc as a value of the type of mine, which the line translator makes each process's "
                "own number ({none, Proc})"},
        Refused{"an array indexed otherwise than by process",
                &lock,
                {{"busy : boolean", "busy : array 0 .. 1 of boolean"}},
                "line 3 declares an array indexed otherwise than by process"},
        Refused{"Proc as the type of a per-process variable",
                &lock,
                {{"state[Proc] : {idle, trying, critical}", "state[Proc] : Proc"}},
                "line 4 declares state[Proc] of type Proc"},
        Refused{"two process-number variables compared",
                &turns,
                {{"TRUE : turn;\n", "turn = last : turn;\n      TRUE : turn;\n"}},
                "line 33 compares two process-number variables (turn = last)"},
        Refused{"a literal given to a process-number variable",
                &turns,
                {{"trying & !busy : id", "trying & !busy : 2"}},
                "line 32 gives turn a literal process number (2)"},
        Refused{"a process-number variable started elsewhere than at 1",
                &turns,
                {{"init(turn) := 1", "init(turn) := 2"}},
                "line 10 starts turn at a process other than 1"},
        Refused{"a second kind of process",
                &lock,
                {{"  p[Proc]", "  q[Proc] : transition user(Proc, state[Proc], busy);\n  p[Proc]"}},
                "line 6 declares a second kind of process (p)"},
        Refused{"another module instance in main",
                &lock,
                {{"  p[Proc]", "  extra : user(1, busy, busy);\n  p[Proc]"}},
                "line 5 declares a module instance other than the processes"},
        Refused{"no processes",
                &lock,
                {{"  p[Proc] : transition user(Proc, state[Proc], busy);\n", ""}},
                "declares no processes"},
        Refused{"a next in main",
                &lock,
                {{"init(busy) := FALSE", "next(busy) := FALSE"}},
                "line 7 assigns a next value in main"},
        Refused{"a constraint",
                &lock,
                {{"SPEC\n", "TRANS\n  TRUE\nSPEC\n"}},
                "line 9 constrains the model with TRANS"},
        Refused{"a variable nobody assigns",
                &lock,
                {{"  busy : boolean;\n", "  busy : boolean;\n  flag : boolean;\n"}},
                "line 4 declares flag, which no process assigns with next, so NuSMV leaves it free"},
        Refused{
            "a module variable without next",
            &lock,
            {{"MODULE user(id, state, busy)\n", "MODULE user(id, state, busy)\nVAR\n  seen : boolean;\n"}},
            "line 14 declares seen, which no process assigns with next"},
        Refused{"fairness other than running",
                &lock,
                {{"  running\n", "  state = idle\n"}},
                "has fairness other than FAIRNESS running"},
        Refused{"compassion",
                &lock,
                {{"  running\n", "  running\nCOMPASSION\n  (busy, !busy)\n"}},
                "line 29 has fairness other than FAIRNESS running"},
        Refused{"main with parameters",
                &lock,
                {{"MODULE main\n", "MODULE main(x)\n"}},
                "line 1 gives main parameters"},
        Refused{"a word constant",
                &lock,
                {{"TRUE : busy;", "TRUE : 0b1 = 0b1;"}},
                "line 25 cannot be read: cannot read '0b1' (a word constant, or a number run into a name)"},
        Refused{"a module called as a function",
                &lock,
                {{"TRUE : busy;", "TRUE : user(busy);"}},
                "line 25 cannot be read: expected ';' after a case value, found '('"},
        Refused{"a number too large",
                &lock,
                {{"TRUE : busy;", "TRUE : 2147483647 + 1 = 0;"}},
                "line 25 computes a number too large (2147483647 + 1)"},
        Refused{"an argument that is an expression",
                &lock,
                {{"state[Proc], busy)", "state[Proc], !busy)"}},
                "line 5 passes something other than Proc, the process's own variable, a shared variable or a "
                "constant"},
        Refused{"a per-process variable passed without [Proc]",
                &lock,
                {{"user(Proc, state[Proc]", "user(Proc, state"}},
                "line 5 passes a per-process variable without [Proc]"},
        Refused{"an input variable in main",
                &lock,
                {{"ASSIGN\n  init(busy)", "IVAR\n  coin : boolean;\nASSIGN\n  init(busy)"}},
                "line 7 declares an input or frozen variable in main"},
        Refused{"a name both a variable and a constant",
                &lock,
                {{"  busy : boolean;\n", "  busy : boolean;\n  idle : boolean;\n"}},
                "names idle both as a variable and as a constant"},
        Refused{"a declaration of N",
                &lock,
                {{"  busy : boolean;\n", "  busy : boolean;\n  N : boolean;\n"}},
                "line 4 declares N"},
        Refused{"an initial value that depends on a variable",
                &lock,
                {{"init(busy) := FALSE", "init(busy) := busy"}},
                "line 7 gives an initial value that depends on something other than constants"},
        Refused{"a type that is not finite",
                &lock,
                {{"busy : boolean", "busy : integer"}},
                "line 3 declares busy of a type that is not a finite range"},
        Refused{"a case where no branch applies",
                &lock,
                {{"      TRUE : state;\n", ""}},
                "line 15 has a case where no branch applies"},
        Refused{"a value outside its type",
                &lock,
                {{"TRUE : busy;", "TRUE : state;"}},
                "line 21 assigns busy a value outside its type (idle)"},
        Refused{"a temporal operator in a step",
                &lock,
                {{"TRUE : busy;", "TRUE : EX busy;"}},
                "line 25 uses a temporal operator where a state is meant (EX busy)"},
        Refused{"a value outside its type only for next values that disagree",
                &lock,
                {{"MODULE user(id, state, busy)\nASSIGN\n",
                  "MODULE user(id, state, busy)\nVAR\n  seen : 0..1;\nASSIGN\n  init(seen) := 0;\n"
                  "  next(seen) := next(state) = critical & state = idle ? 2 : seen;\n"}},
                "line 17 assigns seen a value outside its type (2)"},
        Refused{"running read in a step",
                &lock,
                {{"trying & !busy : critical", "trying & running : critical"}},
                "line 17 reads running (running)"},
        Refused{"next values read in a cycle",
                &lock,
                {{"trying & !busy : critical", "trying & !next(busy) : critical"},
                 {"state = trying & !busy : TRUE", "next(state) = critical : TRUE"}},
                "next values that read each other's next values in a cycle"},
        Refused{"an indented header",
                &lock,
                {{"VAR\n", "  VAR\n"}},
                "line 2 has VAR where the line translator does not read it as a header"},
        Refused{"Proc in a comment of a VAR section",
                &lock,
                {{"  busy : boolean;", "  busy : boolean;  -- not per Proc"}},
                "line 3 mentions Proc in a comment"},
        Refused{"a per-process statement over two lines",
                &lock,
                {{"state[Proc] : {idle, trying, critical};", "state[Proc] :\n    {idle, trying, critical};"}},
                "line 4 writes a statement with [Proc] that is not alone on one line"},
        Refused{"a per-process statement after a ';' on its line",
                &lock,
                {{"  busy : boolean;\n  state[Proc]", "  busy : boolean\n  ; state[Proc]"}},
                "line 4 writes a statement with [Proc] that is not alone on one line"},
        Refused{"more local states than are counted",
                &lock,
                {{"MODULE user(id, state, busy)\nASSIGN\n",
                  "MODULE user(id, state, busy)\nVAR\n  v : 0 .. 2500;\nASSIGN\n  init(v) := 0;\n"
                  "  next(v) := (v + 1) mod 2501;\n"}},
                "a process may be in more than 2000 local states"},
        Refused{"more kinds of step than are counted",
                &lock,
                {{"MODULE user(id, state, busy)\nASSIGN\n",
                  "MODULE user(id, state, busy)\nVAR\n  v : 0 .. 150;\nIVAR\n  k : 0 .. 150;\nASSIGN\n"
                  "  init(v) := 0;\n  next(v) := k;\n"}},
                "the counted model would take more than 20000 kinds of step"},
        Refused{"more steps than are counted, by taking a process-number variable",
                &turns,
                {{"MODULE user(id, state, busy, turn, last)\nASSIGN\n",
                  "MODULE user(id, state, busy, turn, last)\nVAR\n  v : 0..150;\nASSIGN\n  next(v) := v;\n"}},
                "the counted model would take more than 20000 kinds of step"},
        Refused{"an enumeration too large to count",
                &lock,
                {{"MODULE user(id, state, busy)\nASSIGN\n",
                  "MODULE user(id, state, busy)\nVAR\n  v : {" + constants(100000) +
                      "};\nASSIGN\n  init(v) := c0;\n  next(v) := v;\n"}},
                "line 14 declares an enumeration too large to count, for v"},
        Refused{"a step to any of many values",
                &lock,
                {{"MODULE user(id, state, busy)\nASSIGN\n",
                  "MODULE user(id, state, busy)\nVAR\n  v : {" + constants(1000) +
                      "};\nASSIGN\n  init(v) := c0;\n  next(v) := {" + constants(1000) + "};\n"}},
                "the counted model would take more than 20000 kinds of step"},
        Refused{"a comment that the line translator joins to a process declaration",
                &lock,
                {{"  p[Proc]", "  -- the processes\n  p[Proc]"}},
                "line 6 follows a comment line"},
        Refused{"FORALL in a comment of a SPEC section",
                &lock,
                {{"SPEC\n", "SPEC\n  -- FORALL processes\n"}},
                "line 10 mentions FORALL where the line translator would write a property of it"},
        Refused{"a name holding Proc", &lock, {{"busy", "Procbusy"}}, "line 3 has a name holding Proc"}),
    name_of<Refused>);

struct PropertyRefused {
    const char* construct;
    std::vector<std::pair<std::string, std::string>> edits;
    const char* reason;
};

void PrintTo(const PropertyRefused& row, std::ostream* out) { *out << row.construct; }

class RefusesProperty : public testing::TestWithParam<PropertyRefused> {};

// The model stays in the class; only the property is not decided.
TEST_P(RefusesProperty, WithItsReason) {
    const CountedModel counted = count_model(edited(lock, GetParam().edits));
    EXPECT_FALSE(counted.reason.has_value()) << *counted.reason;
    ASSERT_EQ(counted.goals.size(), 1u);
    ASSERT_TRUE(counted.goals[0].reason.has_value());
    EXPECT_NE(counted.goals[0].reason->find(GetParam().reason), std::string::npos)
        << *counted.goals[0].reason;
    EXPECT_FALSE(counted.goals[0].invariant.has_value());
    EXPECT_TRUE(counted.text.empty());
}

const std::string mutual_exclusion =
    "FORALL (i, j) AG (i != j -> !(state[i] = critical & state[j] = critical))";

INSTANTIATE_TEST_SUITE_P(
    NotDecided, RefusesProperty,
    testing::Values(
        PropertyRefused{"a process named by number",
                        {{"state[j] = critical", "state[2] = critical"}},
                        "outside the class: line 10 names a process by number (state[2])"},
        PropertyRefused{"a temporal operator inside",
                        {{"!(state[i] = critical", "EF !(state[i] = critical"}},
                        "only invariants (AG of a state formula) are decided for every N"},
        PropertyRefused{"an operator before AG",
                        {{mutual_exclusion, "FORALL (i) EF state[i] = critical"}},
                        "only invariants (AG of a state formula) are decided for every N"},
        PropertyRefused{"AG binding tighter than ->",
                        {{mutual_exclusion, "FORALL (i) state[i] = critical -> busy"}},
                        "only invariants (AG of a state formula) are decided for every N"},
        PropertyRefused{
            "an LTL property",
            {{"SPEC\n  " + mutual_exclusion, "LTLSPEC\n  G busy"}},
            "only invariants (AG of a state formula) are decided for every N, not LTL properties"},
        PropertyRefused{
            "a guard that leaves a pair equal",
            {{mutual_exclusion,
              "FORALL (i, j, k) AG (i != j -> !(state[i] = critical & state[k] = critical))"}},
            "line 10: the guard of a FORALL over several parameters must say that every two of them differ"},
        PropertyRefused{"a parameter outside brackets",
                        {{"state[j] = critical)", "state[j] = critical & j = j)"}},
                        "the parameter j is used otherwise than alone in brackets"},
        PropertyRefused{"a parameter spaced in its brackets",
                        {{"state[j]", "state[ j ]"}},
                        "the parameter j is used otherwise than alone in brackets"},
        PropertyRefused{"a shared variable indexed",
                        {{"state[j] = critical", "busy[j]"}},
                        "outside the class: line 10 indexes something that main does not declare per process "
                        "(busy[j])"},
        PropertyRefused{"a process instance named",
                        {{"state[j] = critical", "p[j].running"}},
                        "outside the class: line 10 names a process instance (p[j].running)"},
        PropertyRefused{"FORALL after INVARSPEC", {{"SPEC\n", "INVARSPEC\n"}}, "FORALL after INVARSPEC"},
        PropertyRefused{"FORALL on its header's line",
                        {{"SPEC\n  FORALL", "SPEC FORALL"}},
                        "FORALL must be on a line of its own after a SPEC or CTLSPEC header"},
        PropertyRefused{
            "a guard without ->",
            {{mutual_exclusion, "FORALL (i, j) AG (i != j & !(state[i] = critical & state[j] = critical))"}},
            "the guard of a FORALL must end with '->'"},
        PropertyRefused{"FORALL over two lines",
                        {{"(i != j ->", "(i != j ->\n   "}},
                        "the FORALL property must be written on one line, alone"},
        PropertyRefused{
            "a per-process variable without a process",
            {{mutual_exclusion, "AG (busy | state = idle)"}},
            "outside the class: line 10 reads a per-process variable without naming a process (state)"},
        PropertyRefused{
            "N", {{mutual_exclusion, "AG (busy | N > 2)"}}, "outside the class: line 10 uses N (N)"},
        PropertyRefused{"a definition that reads a FORALL parameter",
                        {{"SPEC\n", "DEFINE\n  in_it := state[i] = critical;\nSPEC\n"},
                         {"!(state[i] = critical", "!(in_it"}},
                        "outside the class: line 10 indexes a per-process variable otherwise than by a FORALL "
                        "parameter (state[i])"},
        PropertyRefused{"a parameter named as a variable of main",
                        {{"(i, j) AG (i != j -> !(state[i]", "(busy, j) AG (busy != j -> !(state[busy]"}},
                        "outside the class: line 10 quantifies over busy, which is also the name of a variable "
                        "of main"},
        PropertyRefused{"a parameter named as a constant",
                        {{"(i, j) AG (i != j -> !(state[i]", "(idle, j) AG (idle != j -> !(state[idle]"}},
                        "outside the class: line 10 quantifies over idle, which is also the name of a "
                        "constant"},
        PropertyRefused{"a parameter named N",
                        {{"(i, j) AG (i != j -> !(state[i]", "(N, j) AG (N != j -> !(state[N]"}},
                        "outside the class: line 10 quantifies over N, which is also the name of the number of "
                        "processes"},
        PropertyRefused{"an unread formula",
                        {{mutual_exclusion, "AG (busy | )"}},
                        "the property cannot be read: line 10: expected an expression"}),
    name_of<PropertyRefused>);

TEST(CountedProperty, InsideAModuleIsNotDecidedAndTheOthersStillAre) {
    const CountedModel counted = count_model(lock + "SPEC\n  AG TRUE\n");
    ASSERT_EQ(counted.goals.size(), 2u);
    EXPECT_EQ(counted.goals[0].line, 10u);
    EXPECT_TRUE(counted.goals[0].invariant.has_value());
    EXPECT_EQ(counted.goals[1].line, 30u);
    EXPECT_NE(counted.goals[1].reason.value_or("").find("a property of module user"), std::string::npos);
}

TEST(CountedProperty, OverMoreProcessesThanTheBoundIsNotDecided) {
    const CountedModel counted = count_model(lock, 1);
    EXPECT_EQ(counted.bound, 1);
    EXPECT_EQ(counted.goals[0].reason.value_or(""),
              "the property quantifies over 2 processes, more than the counters' bound 1");
}

TEST(CountedProperty, WithFORALLMayEndWithASemicolon) {
    const CountedModel counted = count_model(edited(lock, {{mutual_exclusion, mutual_exclusion + ";"}}));
    ASSERT_EQ(counted.goals.size(), 1u);
    EXPECT_TRUE(counted.goals[0].invariant.has_value()) << counted.goals[0].reason.value_or("");
}

// The bound is the widest quantifier, at least 2, unless given.
TEST(CountedModel, ChoosesTheBoundFromTheProperties) {
    const std::string three = edited(lock, {{mutual_exclusion,
                                             "FORALL (i, j, k) AG (i != j & j != k & !(i = k) -> !(state[i] "
                                             "= critical & state[j] = critical & state[k] = critical))"}});
    EXPECT_EQ(count_model(three).bound, 3);
    EXPECT_EQ(count_model(three).goals[0].processes, 3);
    EXPECT_EQ(count_model(lock).bound, 2);
    EXPECT_EQ(count_model(lock, 5).bound, 5);
    EXPECT_EQ(count_model(edited(lock, {{"SPEC\n  " + mutual_exclusion, "INVARSPEC\n  !busy | busy"}})).bound,
              2);
}

TEST(CountedModel, OfTheLockNamesTheInvariantAndTheCounters) {
    const CountedModel counted = count_model(lock);
    ASSERT_FALSE(counted.reason.has_value()) << *counted.reason;
    ASSERT_EQ(counted.goals.size(), 1u);
    EXPECT_EQ(counted.goals[0].line, 10u);
    EXPECT_EQ(counted.goals[0].processes, 2);
    ASSERT_TRUE(counted.goals[0].invariant.has_value());
    EXPECT_NE(counted.text.find("INVARSPEC NAME " + *counted.goals[0].invariant + " :="), std::string::npos);
    EXPECT_EQ(counted.instances, "p");
    std::vector<std::string> states;
    for (const auto& counter : counted.counters) {
        ASSERT_EQ(counter.per_process.size(), 1u);
        EXPECT_EQ(counter.per_process[0].first, "state");
        states.push_back(counter.per_process[0].second);
    }
    EXPECT_EQ(states, (std::vector<std::string>{"idle", "trying", "critical"}));
    EXPECT_NE(counted.text.find("n_idle : 0..2;  -- processes with state = idle\n"), std::string::npos);
}

// Conditions, negative numbers, nested parentheses, a definition read twice
// and names of every letter, in a model of the class.
TEST(CountedModel, ReadsTheLanguageOfItsClass) {
    const CountedModel counted = count_model(R"(MODULE main
VAR
  Zcount : 0..3;
  state[Proc] : {idle, busy};
  p[Proc] : transition worker(state[Proc], Zcount);
ASSIGN
  init(Zcount) := 0;
  init(state[Proc]) := idle;
DEFINE
  full := Zcount = 3;
SPEC
  AG (((full) | !full) & (Zcount >= 0 ? TRUE : FALSE))

MODULE worker(state, Zcount)
ASSIGN
  next(state) := state = idle ? {idle, busy} : idle;
  next(Zcount) := Zcount = 3 ? 0 : Zcount - -1;
)");
    ASSERT_FALSE(counted.reason.has_value()) << *counted.reason;
    ASSERT_EQ(counted.goals.size(), 1u);
    EXPECT_TRUE(counted.goals[0].invariant.has_value()) << counted.goals[0].reason.value_or("");
    EXPECT_NE(counted.text.find("Zcount : 0..3;"), std::string::npos);
}

// A variable without an initial value starts at each value of its type,
// and at no other; one with an initial value, at that value.
TEST(CountedModel, StartsEachProcessAtTheInitialValuesOfItsVariables) {
    const CountedModel counted = count_model(R"(MODULE main
VAR
  ready[Proc] : boolean;
  p[Proc] : transition worker(ready[Proc]);
ASSIGN
  init(ready[Proc]) := FALSE;
SPEC
  FORALL (i) AG (ready[i] | !ready[i])

MODULE worker(ready)
VAR
  seen : boolean;
ASSIGN
  next(ready) := !ready;
  next(seen) := seen;
)");
    ASSERT_FALSE(counted.reason.has_value()) << *counted.reason;
    ASSERT_EQ(counted.counters.size(), 4u);
    EXPECT_NE(counted.text.find("INIT\n  n_not_ready_not_seen + n_not_ready_seen >= 1\n  & n_ready_not_seen = 0\n"
                                "  & n_ready_seen = 0\n"),
              std::string::npos)
        << counted.text;
}

// A local state is counted apart for each holder variable that names the
// process: here two, turn and last, with every combination of them.
TEST(CountedModel, CountsWhoHoldsAProcessNumber) {
    const CountedModel counted = count_model(turns);
    ASSERT_FALSE(counted.reason.has_value()) << *counted.reason;
    EXPECT_EQ(counted.counters.size(), 3u * 4u);
    int holding_turn = 0;
    for (const auto& counter : counted.counters)
        holding_turn +=
            std::find(counter.holders.begin(), counter.holders.end(), "turn") != counter.holders.end();
    EXPECT_EQ(holding_turn, 6);
}

// A count is long for a large model: the checkpoint can end it.
TEST(CountedModel, EndsWithWhatItsCheckpointThrows) {
    struct Stop {};
    int calls = 0;
    EXPECT_THROW(count_model(lock, 0, [&] { if (++calls == 2) throw Stop{}; }), Stop);
    EXPECT_EQ(calls, 2);
}

TEST(CountedModel, NamesNothingAsTheModelDoes) {
    std::string renamed = lock;
    for (std::size_t at = renamed.find("busy"); at != std::string::npos; at = renamed.find("busy", at))
        renamed.replace(at, 4, "n_idle");
    const CountedModel counted = count_model(renamed);
    ASSERT_FALSE(counted.reason.has_value()) << *counted.reason;
    for (const auto& counter : counted.counters) EXPECT_NE(counter.name, "n_idle");
    EXPECT_NE(counted.text.find("n_idle : boolean;"), std::string::npos);
}

std::string repeated(const std::string& text, int times) {
    std::string all;
    for (int k = 0; k < times; ++k) all += text;
    return all;
}

// Odd input is read, never crashes, and leaves every goal with a reason.
struct Odd {
    const char* construct;
    std::string text;
};

void PrintTo(const Odd& row, std::ostream* out) { *out << row.construct; }

class OddInput : public testing::TestWithParam<Odd> {};

TEST_P(OddInput, IsRefusedWithAReason) {
    const CountedModel counted = count_model(GetParam().text);
    EXPECT_TRUE(counted.text.empty());
    for (const auto& goal : counted.goals) EXPECT_TRUE(goal.reason.has_value());
}

INSTANTIATE_TEST_SUITE_P(
    NeverCrashes, OddInput,
    testing::Values(Odd{"nothing", ""}, Odd{"bytes outside the language", std::string("\0\0\xff", 3)},
                    Odd{"a comment alone", "-- only a comment"}, Odd{"a module without a name", "MODULE"},
                    Odd{"a declaration cut short", "MODULE main\nVAR\n  x :"},
                    Odd{"Windows line ends", "MODULE main\r\nVAR\r\n  x : boolean;\r\nSPEC\r\n  AG x\r\n"},
                    Odd{"deep parentheses",
                        "MODULE main\nSPEC\n  " + repeated("(", 100000) + "x" + repeated(")", 100000) + "\n"},
                    Odd{"many negations", "MODULE main\nSPEC\n  " + repeated("!", 100000) + "x\n"},
                    Odd{"a long conjunction", "MODULE main\nSPEC\n  x" + repeated(" & x", 100000) + "\n"},
                    Odd{"a number too large",
                        "MODULE main\nVAR\n  x : 0..99999999999999999999;\nSPEC\n  AG x = 1\n"},
                    Odd{"a parameter twice", "MODULE main\nSPEC\n  FORALL (i, i) AG (i != i -> x[i])\n"},
                    Odd{"a FORALL cut short", "MODULE main\nSPEC\n  FORALL ( AG\n"},
                    Odd{"a case cut short", "MODULE main\nSPEC\n  case TRUE : "},
                    Odd{"no processes",
                        "MODULE main\nVAR\n  x : {a, b};\nASSIGN\n  next(x) := case x = a : {b, a}; "
                        "esac;\nSPEC\n  AG x = a\n"},
                    Odd{"half a model", lock.substr(0, lock.size() / 2)},
                    Odd{"many unread properties", "MODULE main\n" + repeated("SPEC\n  AG busy -> \n", 50)}),
    name_of<Odd>);

// Nesting of every kind, in a module no process uses, is refused at its
// line before the parser runs out of stack.
struct Deep {
    const char* construct;
    std::string section;  // of the module other, from line 31: its line 32 nests
    const char* what;
};

void PrintTo(const Deep& row, std::ostream* out) { *out << row.construct; }

class DeepNesting : public testing::TestWithParam<Deep> {};

TEST_P(DeepNesting, IsRefusedAtItsLine) {
    const std::string text = lock + "\nMODULE other\n" + GetParam().section;
    const ruvello::smv::Model model = ruvello::smv::parse_model(text);
    ASSERT_TRUE(model.error.has_value());
    EXPECT_EQ(model.error->line, 32u);
    EXPECT_EQ(model.error->message, std::string(GetParam().what) + " nests deeper than 200 levels");
    // An error in the model leads its reason; it is not a construct outside the class.
    EXPECT_EQ(count_model(text).reason.value_or("").rfind("line 32 cannot be read: ", 0), 0u);
}

INSTANTIATE_TEST_SUITE_P(
    NeverCrashes, DeepNesting,
    testing::Values(
        Deep{"parentheses", "DEFINE\n  d := " + repeated("(", 5000) + "TRUE" + repeated(")", 5000) + ";\n",
             "an expression"},
        Deep{"implications", "DEFINE\n  d := " + repeated("TRUE -> ", 50000) + "TRUE;\n", "an expression"},
        Deep{"conditions", "DEFINE\n  d := " + repeated("TRUE ? TRUE : ", 100000) + "TRUE;\n",
             "an expression"},
        Deep{"negations", "DEFINE\n  d := " + repeated("!", 100000) + "TRUE;\n", "an expression"},
        Deep{"temporal operators", "DEFINE\n  d := " + repeated("AG ", 100000) + "TRUE;\n", "an expression"},
        Deep{"arrays of arrays", "VAR\n  a : " + repeated("array 1..2 of ", 100000) + "boolean;\n", "a type"}),
    name_of<Deep>);

TEST(OddInput, EveryPropertyKeywordIsAGoalEvenPastAnUnreadPart) {
    const ruvello::smv::Model model = ruvello::smv::parse_model(
        "MODULE main\nVAR\n  x : ;\nSPEC\n  AG x\nLTLSPEC G x\nINVARSPEC x\nMODULE m\nCOMPUTE MIN [x, "
        "x]\nPSLSPEC x\n");
    ASSERT_TRUE(model.error.has_value());
    EXPECT_EQ(model.error->line, 3u);
    EXPECT_EQ(count_model(model.text).goals.size(), 5u);
}

}  // namespace
