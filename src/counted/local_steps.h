// The local transitions of one process, found by running its module's step
// on every local state it may reach and every value of the shared
// variables and the inputs.
//
// A step of a process computes every next of its module from the same
// current values (NuSMV's process semantics); a set gives one transition per
// value, and next(x) on the right of an assignment reads what the step gives
// x. A process that gives a holder variable its own number takes it from the
// one process that holds it: that process's local state loses its bit.
// An input of type 1 .. N picks the acting process or another one, in any
// local state: the step reads its elements and may move it.
// A statement for every process, next(a[Proc]), moves each other process
// along a function of its local state (a broadcast), and a TRANS guard may
// forbid a step while another process is in some local state. The local
// states counted are those a process reaches from its initial ones by its
// own steps and the broadcasts of others: no step leaves them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <utility>
#include <vector>

#include "counted/counted.h"
#include "counted/recognition.h"
#include "counted/valuations.h"

namespace ruvello::counted {

// The most local states, the most steps of one process to compute, and the
// most steps of the counted model.
inline constexpr std::size_t largest_local_states = 2000;
inline constexpr std::size_t largest_enumeration = 4'000'000;
inline constexpr std::size_t most_steps = 20'000;

// The values of a process's own variables (indices into their domains, in
// the order of ProcessClass::own), then, for each holder variable, 1 when
// it names the process.
using LocalState = std::vector<std::uint32_t>;

// A holder variable that changes hands beyond the acting and the picked
// process: taken from the third process that held it, or, copied from
// another holder variable, given to the process that holds that one (and
// taken from whoever held it).
struct HolderMove {
    std::size_t holder = 0;  // position in holders
    std::optional<std::size_t> copied_from;
    auto operator<=>(const HolderMove&) const = default;
};

// One way a process may move from one local state to another, and what it
// does to the shared variables: for the shared valuations of `guard`, each
// shared variable keeps its value or, with an update, takes that value.
struct LocalTransition {
    std::size_t from = 0, to = 0;      // local states
    std::optional<std::pair<std::size_t, std::size_t>> picked;  // the picked process's local states, before and after
    std::optional<HolderMove> handed;
    ValuationSet guard;
    std::vector<std::optional<std::uint32_t>> update;  // by shared variable
    std::vector<bool> forbidden;         // by local state: no other process may be in it; empty: none is
    std::vector<std::size_t> broadcast;  // by local state: where another process in it goes; empty: it stays
};

struct LocalSteps {
    std::vector<LocalState> states;  // every local state a process may be in
    std::vector<bool> initial;       // by state: whether a process may start in it
    std::vector<LocalTransition> transitions;
};

LocalSteps enumerate_local_steps(const ProcessClass& processes, const Valuations& shared,
                                 const Checkpoint& checkpoint);

}  // namespace ruvello::counted
