// What a check of a model for several N found: the runs of the checker, the
// properties of the model, and a verdict for every instance of each.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "check/trace_table.h"
#include "smv/vocabulary.h"

namespace ruvello::check {

// How the checker's run for one N ended: done, or stopped by --timeout or
// the budget, failed, interrupted by a signal, or skipped when a stop rule
// or the budget left it out.
enum class Outcome { done, timeout, error, interrupted, skipped };

// The verdict on one instance of a property: it holds or fails, or why
// there is none: the run's outcome, or a warning of the translation, which
// then does not state the property as written.
enum class Verdict { holds, fails, timeout, error, warned, interrupted, skipped };

// What the counted model and the finite verdicts decide for every N.
enum class Decision { holds, fails, undecided };

// Every value of each, in the order messages list them.
inline constexpr Outcome every_outcome[] = {Outcome::done, Outcome::timeout, Outcome::error, Outcome::interrupted,
                                            Outcome::skipped};
inline constexpr Verdict every_verdict[] = {Verdict::holds, Verdict::fails, Verdict::timeout, Verdict::error,
                                            Verdict::warned, Verdict::interrupted, Verdict::skipped};
inline constexpr Decision every_decision[] = {Decision::holds, Decision::fails, Decision::undecided};

// Each as the JSON and the report write it: "done", "true", "undecided".
std::string_view text_of(Outcome outcome);
std::string_view text_of(Verdict verdict);
std::string_view text_of(Decision decision);

// The one of `values` whose text is `text`, or nothing: the JSON read back.
template <typename Enum, std::size_t size>
std::optional<Enum> named(const Enum (&values)[size], std::string_view text) {
    for (const Enum value : values)
        if (text_of(value) == text) return value;
    return std::nullopt;
}

// The verdict of the run that ended with `outcome` on what it found no
// verdict for.
Verdict verdict_missing_in(Outcome outcome);

// A property of the model, one row of the report.
struct Property {
    std::size_t line = 0;  // where its formula starts in the model
    smv::PropertyKind kind = smv::PropertyKind::ctl;
    std::string module;
    std::string text;  // the model's line, as far as it goes
};

// One run of the checker, for one N.
struct Run {
    int n = 0;
    Outcome outcome = Outcome::interrupted;
    double seconds = 0;
    std::optional<std::string> message;  // why it failed
    std::optional<double> states = {};    // reachable states
    std::optional<long> max_rss_kb = {};  // the checker's peak memory
};

// The verdict on one instance of a property for one N.
struct InstanceVerdict {
    int n = 0;
    std::size_t line = 0;
    std::optional<std::vector<int>> processes;  // the FORALL's tuple
    std::optional<std::string> instance;        // the module instance, "c[1]" or "a.b"
    Verdict verdict = Verdict::error;
    std::optional<std::string> value;  // what a COMPUTE found
    std::optional<std::string> trace;  // the counterexample's file
};

// A counterexample of a property, for one N and one instance of it.
struct Counterexample {
    int n = 0;
    std::size_t line = 0;
    std::optional<std::vector<int>> processes;
    std::optional<std::string> instance;
    Trace trace;
};

// Whether a property holds for every N: what the counted model proves,
// with the finite verdicts, which alone can make it false.
struct EveryN {
    std::size_t line = 0;
    Decision verdict = Decision::undecided;
    std::optional<std::string> reason;  // why undecided
    std::string method = "counter abstraction";
    // The counted model's counterexample that no N reproduced, a line per
    // step in the counted model's terms, and what to try.
    std::vector<std::string> counterexample = {};
};

// A warning of the translation that cost verdicts: those of the property at
// its line, or every verdict when it is at no property's line.
struct CostlyWarning {
    std::size_t line = 0;
    std::optional<std::size_t> property;  // the line of the property it concerns
    std::string message;
};

struct Results {
    std::string model;
    // "sha256:" and the SHA-256 of the model's text, by which documents tell
    // its versions apart; none in documents of earlier versions of ruvello.
    std::optional<std::string> model_digest;
    std::string checker_path;
    std::string checker_version;
    bool every_tuple = true;  // FORALL over every tuple of distinct processes, or 1 and 2
    std::vector<Run> runs;               // in the order of N
    std::vector<Property> properties;    // in the order of their lines
    std::vector<InstanceVerdict> verdicts;       // by N, then as the model has them
    // The first false instance's of each false property, for each N.
    std::vector<Counterexample> counterexamples;
    std::vector<EveryN> every_n;         // in the order of the lines
    std::vector<CostlyWarning> warnings;
    std::vector<std::string> notes;      // what else the reader should know
    // With --budget: how far the sweep got, and why it stopped there.
    struct Budget {
        double seconds = 0;  // given
        double used = 0;
        std::optional<int> next_n;                // the N it did not start
        std::optional<double> predicted_seconds;  // what that N was predicted to take
    };
    std::optional<Budget> budget;
};

// Adds a note for the reader, unless it is there already.
inline void add_note(Results& results, std::string text) {
    for (const std::string& note : results.notes)
        if (note == text) return;
    results.notes.push_back(std::move(text));
}

// The exit status for a check: 1 when some verdict is false (the model is
// wrong whatever else happened), else 3 when a property got no verdict or a
// run failed, else 0.
int exit_status(const Results& results);

// The column every N of the property at `counted.line`, from what the
// counted model says of it and the finite verdicts of that line: false where
// one of them is false; no verdict where one is an error (NuSMV rejected a
// translation), where a warning took them away, or where none is true; else
// what the counted model says. Timeouts and N skipped take nothing away.
EveryN with_finite_verdicts(EveryN counted, const std::vector<InstanceVerdict>& verdicts);

}  // namespace ruvello::check
