// The column every N: the counted model of the model, checked by NuSMV
// once for all N, with counters up to m and, for what that does not prove,
// up to m + 1; and, with the finite verdicts, the decision for each row.
#pragma once

#include <cstddef>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "check/checker.h"
#include "check/results.h"
#include "check/trace_table.h"
#include "check/workspace.h"
#include "counted/counted.h"

namespace ruvello::check {

class EveryNCheck {
public:
    // `started` is when the sweep started, which --budget counts from; the
    // arguments outlive the check.
    EveryNCheck(const Model& model, const CheckerSetup& setup, const Settings& settings, Children& children,
                Clock::time_point started)
        : model_(model), setup_(setup), settings_(settings), children_(children), started_(started) {}

    // Counts the model and has NuSMV prove what it can. Throws Interrupted,
    // and StartError when the checker cannot be started.
    void check();
    // Whether check() was under way when a signal stopped it.
    bool under_way() const { return under_way_; }
    // Whether it started the checker.
    bool ran_checker() const { return ran_checker_; }
    // What check() took, in seconds.
    double seconds() const { return seconds_; }
    // The column every N of each row of `rows`: false from a finite verdict
    // alone, true from a proof of the counted model, and otherwise not
    // decided, with why.
    void decide(const std::map<std::size_t, Property>& rows, Results& results) const;

private:
    // What the counted model says of each property: proved, or why not.
    struct Abstraction {
        counted::PropertyGoal goal;
        bool proved = false;
        std::optional<std::string> reason;
        std::vector<std::string> counterexample;
    };
    // The verdict of each decided goal of `counted`, by its invariant's
    // name; `failure` says why there are none. With `traces`, the
    // counterexample of each invariant found false, by its name.
    std::map<std::string, Verdict> prove(const counted::CountedModel& counted, const std::string& file,
                                             std::string& failure, std::map<std::string, Trace>* traces = nullptr);
    // Runs the checker on `file` of the private folder, for at most `limit`
    // seconds; how it ended, and whether it was stopped.
    ChildEnd run_checker(const std::string& file, double limit, bool& stopped, bool counterexamples);
    // Why the run of `file` that ended with `end`, having printed `read`,
    // proves nothing of the invariants `names`, or nothing.
    std::optional<std::string> why_no_proof(const std::string& file, const ChildEnd& end,
                                            const std::set<std::string>& names, const VerdictsRead& read) const;
    void take_verdicts(const std::map<std::string, Verdict>& verdicts, int bound, const std::string& failure);
    std::optional<double> budget_left() const;

    const Model& model_;
    const CheckerSetup& setup_;
    const Settings& settings_;
    Children& children_;
    Clock::time_point started_;
    std::vector<Abstraction> abstractions_;
    bool under_way_ = false;
    bool ran_checker_ = false;
    double seconds_ = 0;
};

}  // namespace ruvello::check
