// A counterexample of NuSMV's, read into the steps of the model's processes
// and shown as a table that a person reads in seconds: a row per step, a
// column per variable of each process (x[1], x[2], ...) and per shared
// variable, only what changed, the process that moved, the step where a
// lasso's loop starts.
#pragma once

#include <cstddef>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include <nlohmann/json.hpp>

namespace ruvello::check {

class OutputCopier;
struct CheckerVerdict;

struct TraceStep {
    // The process whose move led to this step, as the model names its
    // instance (p[1]) and by its number; none for the first state, or when
    // no process moved.
    std::optional<std::string> instance;
    std::optional<int> process;
    std::map<std::string, std::string> changes;  // by column: the value from this step on
};

struct Trace {
    std::vector<std::string> columns;  // each process's variables by process, then the shared ones
    std::vector<TraceStep> steps;      // steps[0] is the first state, with every value
    std::optional<std::size_t> loop_at;  // the step from which the steps repeat forever
    bool cut_short = false;  // the text held more than a trace is read for
};

// The first counterexample in `text`, which is NuSMV's output from its
// "Trace Type" line or the line of a property on: the states after
// "-> State: k.m <-", the moves after "-> Input: k.m <-" (of which NuSMV
// prints only what changed, as of the states), "-- Loop starts here".
// It ends at the next line that is none of these. The text is untrusted:
// names and values are kept as written, at most so many steps, columns and
// characters each.
Trace read_trace(std::string_view text);

// The counterexample that NuSMV printed with `verdict`, read by `copier`,
// which goes forward only: verdicts are to be read in the order of their
// text_start. A megabyte of it at most, more than a table shows.
Trace read_trace_of(OutputCopier& copier, const CheckerVerdict& verdict);

// The table, at most `rows` steps: a longer trace shows its first and last
// steps, with a row counting those left out; the row after it shows every
// value, as the first does. Every name and value is printable.
std::string trace_table(const Trace& trace, std::size_t rows = 24);

// {"columns": [...], "steps": [{"process": k or null, "instance": "p[k]" or
// null, "changes": {column: value}}], "loop_at": s or null, "cut_short"}.
nlohmann::json trace_json(const Trace& trace);

// The trace of trace_json, from an untrusted document of `n` processes:
// names and values made printable and bounded as read_trace makes them.
// Throws std::invalid_argument naming the part that is wrong as it goes on
// the trace's own name (".steps[2].process: not a process of 1 .. 3").
Trace trace_from_json(const nlohmann::json& value, int n);

}  // namespace ruvello::check
