// The properties of a model, and the invariant of the counted model that
// decides each one that can be decided for every N.
//
// Decided: AG phi (SPEC, CTLSPEC) and INVARSPEC phi of main, phi a state
// formula; with FORALL (i1, ..., ik), phi over the per-process variables of
// i1..ik (state[i]) and the shared variables, for every tuple of distinct
// processes, i1..ik no names of main, and the definitions of main read in
// main, where they are not names. The invariant says that no reachable counted state holds k
// processes whose local states, with the shared values, violate phi: for
// each multiset of k local states (a state used c times needs c processes
// in it), "these processes exist -> the shared values are ones where phi
// holds for every order of them".
#pragma once

#include <cstddef>
#include <vector>

#include "counted/counted.h"
#include "counted/local_steps.h"
#include "counted/recognition.h"
#include "counted/valuations.h"
#include "smv/syntax.h"

namespace ruvello::counted {

struct PropertyReading {
    const smv::Property* property = nullptr;
    PropertyGoal goal;                         // its line, k, and the reason when its form is not decided
    const smv::Expr* state_formula = nullptr;  // phi
};

// Every property of every module, in line order, with the reason why its
// form cannot be decided, if it cannot.
std::vector<PropertyReading> read_properties(const smv::Model& model);

// At least `count` processes are in the local states `states`.
struct Covered {
    std::vector<std::size_t> states;
    int count = 0;
};

// When the processes of `covered` exist, the shared valuation is in `good`.
struct Clause {
    std::vector<Covered> covered;
    ValuationSet good;
};

// The clauses whose conjunction is the invariant for a property; refuses
// a formula that names what it may not, with the reason.
std::vector<Clause> invariant_clauses(const ProcessClass& processes, const Valuations& shared,
                                      const LocalSteps& steps, const PropertyReading& reading,
                                      const Checkpoint& checkpoint);

}  // namespace ruvello::counted
