// The results of a check as people read them.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "check/results.h"

namespace ruvello::check {

// The table: one row per property, one column per N, the reachable states
// and seconds of each N, then a line that sums it up and the reasons of
// the runs that failed. Wider than `width` (0: any), it goes on in blocks
// of N below, each with the properties again.
std::string table(const Results& results, std::size_t width = 0);

// One N's verdicts on a line: "N = 3 in 1.2 s, 1,234 states: line 13 false
// (1,3) +3, line 16 true", for the properties known while the sweep runs.
std::string column_summary(const Results& results, const std::vector<Property>& properties, const Run& run);

// What the N after the last of `runs` that were done is likely to take,
// from how their seconds grew, or nothing with fewer than two of them.
std::optional<double> predicted_seconds(const std::vector<Run>& runs, int n);

// "0.4 s", "9 min 40 s", "2 h 5 min".
std::string duration_text(double seconds);

}  // namespace ruvello::check
