// Writes the counted model: NuSMV input, meant to be read.
#pragma once

#include <string>
#include <vector>

#include "counted/counted.h"
#include "counted/local_steps.h"
#include "counted/properties.h"
#include "counted/recognition.h"
#include "counted/valuations.h"

namespace ruvello::counted {

struct DecidedProperty {
    const smv::Property* property = nullptr;
    std::vector<Clause> clauses;
};

struct WrittenModel {
    std::string text;
    std::vector<std::string> invariants;  // the NAME of each decided property's INVARSPEC, in order
    std::vector<Counter> counters;        // by local state
    std::string enabled;                  // the DEFINE of whether the step chosen may be taken
};

WrittenModel write_counted_model(const ProcessClass& processes, const Valuations& shared,
                                 const LocalSteps& steps, int bound,
                                 const std::vector<DecidedProperty>& decided, const Checkpoint& checkpoint);

}  // namespace ruvello::counted
