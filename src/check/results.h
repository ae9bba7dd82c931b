// What a check of a model for several N found: the runs of the checker, the
// properties of the model, and a verdict for every instance of each.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

namespace ruvello::check {

// A property of the model, one row of the report.
struct Property {
    std::size_t line = 0;  // where its formula starts in the model
    std::string kind;      // "CTL", "LTL", "INVAR", "PSL" or "COMPUTE"
    std::string module;
    std::string text;  // the model's line, as far as it goes
};

// One run of the checker, for one N.
struct Run {
    int n = 0;
    std::string outcome;  // "done", "timeout" or "error"
    double seconds = 0;
    std::optional<std::string> message;  // why it failed
};

// The verdict on one instance of a property for one N.
struct Verdict {
    int n = 0;
    std::size_t line = 0;
    std::optional<std::vector<int>> processes;  // the FORALL's tuple
    std::optional<std::string> instance;        // the module instance, "c[1]" or "a.b"
    std::string verdict;                        // "true", "false", "timeout" or "error"
    std::optional<std::string> value;           // what a COMPUTE found
    std::optional<std::string> trace;           // the counterexample's file
};

struct Results {
    std::string model;
    std::string checker_path;
    std::string checker_version;
    bool every_tuple = true;  // FORALL over every tuple of distinct processes, or 1 and 2
    std::vector<Run> runs;               // in the order of N
    std::vector<Property> properties;    // in the order of their lines
    std::vector<Verdict> verdicts;       // by N, then as the model has them
};

// The exit status for a check: 0 when every verdict is true, 1 when one is
// false, 3 when a property got none (or a run failed) and none is false.
int exit_status(const Results& results);

}  // namespace ruvello::check
