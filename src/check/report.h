// The results of a check as people read them.
#pragma once

#include <string>
#include <string_view>

#include "results.h"

namespace ruvello::check {

// The table: one row per property, one column per N, then a line that sums
// it up and the reasons of the runs that failed.
std::string table(const Results& results);

}  // namespace ruvello::check
