// The checker's runs for one N, one stage after the other: the listing of
// the translation's properties, their verdicts, the CTL verdicts of the
// invariants found false (the invariant checker ignores fairness), and the
// counterexamples. Each stage is a process of its own, started through a
// Launcher; the time is what the caller says it is.
#pragma once

#include <cstddef>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "check/attribution.h"
#include "check/results.h"
#include "check/translations.h"
#include "check/workspace.h"

namespace ruvello::check {

class CheckerRun {
public:
    enum class Stage { listing, verdicts, recheck, traces };

    // The run for the translation of `results.runs[column]`; `setup` and
    // `launcher` outlive it.
    CheckerRun(std::size_t column, int n, const CheckerSetup& setup, Launcher& launcher, Clock::time_point now)
        : column_(column), n_(n), setup_(&setup), launcher_(&launcher), started_(now) {}

    // Starts the listing of `translation`'s properties, without those that
    // name a process beyond N; whether it did: a process beyond N outside
    // any property fails the run, in `results`. Throws StartError.
    bool start(const Translation& translation, Results& results, Clock::time_point now);
    // After the stage's process ended with `end`: reads what it found into
    // `results` (the run of this N, the checker's version, notes) and starts
    // the next stage, if there is one; whether it did. Throws StartError.
    bool finish_stage(const ChildEnd& end, const Translation& translation, Results& results, Clock::time_point now);
    // A stage past --timeout, or any stage once `budget_spent`, is stopped.
    void stop_if_late(bool budget_spent, Clock::time_point now);
    // The verdicts on the instances of the translation's properties, as far
    // as the run got; those it found none for get the outcome of its N.
    void record_verdicts(const Translation& translation, Results& results) const;

    std::size_t column() const { return column_; }
    int n() const { return n_; }
    pid_t pid() const { return pid_; }
    Stage stage() const { return stage_; }
    Clock::time_point started() const { return started_; }
    // The properties whose verdicts the run asked for.
    const std::vector<Attributed>& checked() const { return checked_; }
    // The false verdicts the traces stage found, with where their
    // counterexamples lie in its output, and that output's path.
    const std::map<int, CheckerVerdict>& traced() const { return traced_; }
    std::string output_path(Stage stage) const;
    // The files the counterexamples were written to, by the listing's index.
    void set_traces(std::map<int, std::string> traces) { traces_ = std::move(traces); }

private:
    void start_stage(Stage stage, Clock::time_point now);
    // A property that NuSMV cannot take is left out of the file it reads,
    // with every property on its lines, so that the others get verdicts.
    void reject(const NamedProperty& property, const std::string& why, const Translation& translation);
    const NamedProperty* complained_of(const std::string& said, const Translation& translation) const;
    void write_without_rejected(const Translation& translation);
    std::vector<Check> stage_checks(Stage stage) const;
    bool asks_for_counterexamples(Stage stage) const;
    bool finish_listing(const ChildEnd& end, const Translation& translation, Results& results, Clock::time_point now);
    void choose_checked(const Translation& translation, Results& results);
    bool finish_verdicts(const ChildEnd& end, const Translation& translation, Results& results, Clock::time_point now);
    bool finish_again(const ChildEnd& end, const Translation& translation, Results& results);
    void keep_counterexamples(const std::map<int, CheckerVerdict>& found, const Translation& translation);
    std::string how_it_ended(const ChildEnd& end, const std::string& model) const;
    // The name of the file of `stage` that ends with `what`, and the path of
    // that of the current stage.
    std::string stage_file(Stage stage, std::string_view what) const;
    std::string stage_path(std::string_view what) const;

    std::size_t column_;  // of the results' runs, and of the translations
    int n_;
    const CheckerSetup* setup_;
    Launcher* launcher_;
    Clock::time_point started_;

    Stage stage_ = Stage::listing;
    pid_t pid_ = 0;
    Clock::time_point stage_started_;
    std::optional<Clock::time_point> stop_sent_;
    bool out_of_budget_ = false;
    bool listed_ = false;
    std::vector<Attributed> checked_;  // what the verdicts stage checks
    std::vector<std::size_t> untold_;  // of the translation's properties: PSL that no name tells apart
    std::set<int> as_invariant_;       // of those checked, checked as invariants
    std::vector<int> recheck_;         // invariants found false: checked again
    std::map<int, CheckerVerdict> verdicts_;  // by the listing's index
    std::map<int, CheckerVerdict> traced_;
    std::map<int, std::string> traces_;  // the file of each false verdict's trace
    std::map<std::size_t, Counterexample> counterexamples_;  // by the property's line
    std::string model_file_;  // the translation, or its copy without the rejected properties
    std::map<std::size_t, std::string> rejected_;  // by the property's line: why it has no verdict
};

// What NuSMV said of `translation_file` with its name, and "./" and its
// name, replaced by `model`'s.
std::string with_model_named(std::string said, const std::string& translation_file, const std::string& model);

}  // namespace ruvello::check
