// A picture of how a check grew with N, drawn by gnuplot.
#pragma once

#include <string>

#include "check/results.h"
#include "platform/signals.h"

namespace ruvello::check {

// The gnuplot script that draws the reachable states and the seconds of
// each N of `results` on log scales, the timeouts marked, into `output`
// (SVG, or PNG for a name that ends in .png).
std::string growth_script(const Results& results, const std::string& output, bool png);

// Draws the picture into `path` with gnuplot (found on PATH). Throws
// WriteError, saying how to get gnuplot when there is none, and
// OpenError.
void plot_growth(const Results& results, const std::string& path, const SignalsCaught& signals);

}  // namespace ruvello::check
