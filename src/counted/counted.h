// The "every N" wing: a counted model of a vorn model, whose invariants,
// when NuSMV proves them, hold for every number of processes.
//
// For a model of identical processes that interact only through shared
// variables (recognition.h), a global state is, up to a renumbering of the
// processes, the shared variables' values and how many processes are in
// each local state. The counted model keeps one counter per local state,
// saturating at a bound m (m means "m or more"), and the shared variables
// exactly; each step moves one process along one of its module's local
// transitions. It has at least the behaviours of the model for every N, so
// an invariant true of it is true for every N; a counterexample may be one
// of the abstraction only.
#pragma once

#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace ruvello::counted {

struct PropertyGoal {
    std::size_t line =
        0;  // the model line of the first token after the property's keyword (for FORALL, its line)
    int processes = 0;  // k, how many processes it quantifies over (0 for none)
    std::optional<std::string>
        invariant;  // the NAME of its INVARSPEC in the counted model, when it is decided that way
    std::optional<std::string> reason;  // why it cannot be decided for every N, when it cannot (one line)
};

// What one counter counts: the processes in one local state.
struct Counter {
    std::string name;
    std::vector<std::pair<std::string, std::string>> per_process;  // x of x[Proc] in main, and its value
    std::vector<std::pair<std::string, std::string>> own;  // declared in the process module, and its value
    std::vector<std::string> holders;  // the shared variables of type Proc that name the process
};

struct CountedModel {
    std::string text;  // the counted model, NuSMV input, readable; empty when no property can be decided
    int bound = 0;     // m
    std::vector<PropertyGoal> goals;  // one per property of the model, in main and in modules, in line order
    std::optional<std::string> reason;  // why the model as a whole is not counted
    std::string instances;              // p of p[Proc] : transition m(...)
    std::vector<Counter> counters;
    std::string enabled;  // the counted model's DEFINE of whether a step may be taken
};

// Called now and then while a model is counted, which may take seconds: it
// returns to let the count go on, or throws to end it, and the count lets
// what it throws through.
using Checkpoint = std::function<void()>;

// Reads the model and writes its counted model with counters saturating at
// `bound`; a bound of 0 or less chooses m: the largest number of processes
// a property of the model quantifies over, at least 2.
CountedModel count_model(std::string_view model_text, int bound = 0, const Checkpoint& checkpoint = {});

}  // namespace ruvello::counted
