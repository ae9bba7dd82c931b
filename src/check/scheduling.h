// What a false liveness property often means: a process that NuSMV never
// had to schedule, for want of FAIRNESS running in its module.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "check/results.h"

namespace ruvello::check {

// A note for the properties that say something must happen (AF, EF, F, U)
// and are false for some N, when a module of the model's processes has no
// FAIRNESS running; nothing otherwise.
std::optional<std::string> scheduling_note(std::string_view model_text, const Results& results);

}  // namespace ruvello::check
