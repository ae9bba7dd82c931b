#include "check/every_n.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

#include "check/checker.h"
#include "check/report.h"
#include "platform/signals.h"

namespace ruvello::check {

namespace {

// Whether the checker gave the invariant `name` the verdict `verdict`.
bool gave(const std::map<std::string, Verdict>& verdicts, const std::string& name, Verdict verdict) {
    const auto found = verdicts.find(name);
    return found != verdicts.end() && found->second == verdict;
}

// What a counter counts: the values of a process's variables, and the
// shared variables that name it.
std::string counted_state(const counted::Counter& counter) {
    std::string text;
    const auto add = [&](const std::string& part) { text += (text.empty() ? "" : " & ") + part; };
    for (const auto& [variable, value] : counter.per_process) add(variable + " = " + value);
    for (const auto& [variable, value] : counter.own) add(variable + " = " + value);
    for (const std::string& holder : counter.holders) add("holding " + holder);
    return text.empty() ? "any state" : text;
}

// A counterexample of the counted model as a person reads it: a line per
// step with how many processes are in each local state ("2 or more" at the
// bound) and the shared values; a long one keeps its first and last steps.
std::vector<std::string> counted_steps(const Trace& trace, const counted::CountedModel& counted) {
    std::set<std::string> counters;
    for (const counted::Counter& counter : counted.counters) counters.insert(counter.name);
    std::map<std::string, std::string> values;
    std::vector<std::string> lines;
    constexpr std::size_t first = 4, last = 6;
    const std::size_t count = trace.steps.size();
    for (std::size_t s = 0; s < count; ++s) {
        for (const auto& [column, value] : trace.steps[s].changes) values[column] = value;
        if (count > first + last + 1 && s == first)
            lines.push_back("  ... " + std::to_string(count - first - last) + " steps left out");
        if (count > first + last + 1 && s >= first && s < count - last) continue;
        std::string processes, shared;
        for (const counted::Counter& counter : counted.counters) {
            const auto value = values.find(counter.name);
            if (value == values.end() || value->second == "0") continue;
            const std::string how_many =
                value->second == std::to_string(counted.bound) ? value->second + " or more" : value->second;
            processes += (processes.empty() ? "" : ", ") + how_many + " at " + counted_state(counter);
        }
        // The shared values, but for the counted model's own DEFINE.
        for (const auto& [column, value] : values)
            if (!counters.contains(column) && column != counted.enabled)
                shared += (shared.empty() ? "" : ", ") + column + " = " + value;
        std::string line = "  step " + std::to_string(s) + ": " + (processes.empty() ? "no process" : processes);
        if (!shared.empty()) line += "; " + shared;
        if (trace.loop_at == s) line += "  (the loop starts here)";
        lines.push_back(std::move(line));
    }
    return lines;
}

}  // namespace

void EveryNCheck::check() {
    under_way_ = true;
    const auto started = Clock::now();
    // Counting a large model takes seconds: an ending signal stops it.
    const counted::Checkpoint stop_when_asked = [] { stop_if_signalled(true); };
    const counted::CountedModel counted = counted::count_model(model_.text, 0, stop_when_asked);
    for (const counted::PropertyGoal& goal : counted.goals) abstractions_.push_back({goal, false, goal.reason, {}});
    std::string failure;
    std::map<std::string, Verdict> verdicts = prove(counted, setup_.stem + ".every.smv", failure);
    const auto unproved = [&] {
        return std::any_of(abstractions_.begin(), abstractions_.end(), [&](const Abstraction& each) {
            return each.goal.invariant && gave(verdicts, *each.goal.invariant, Verdict::fails);
        });
    };
    const int bound = counted.bound;
    if (failure.empty() && unproved()) {
        const counted::CountedModel wider = counted::count_model(model_.text, bound + 1, stop_when_asked);
        const std::string file = setup_.stem + ".every.m" + std::to_string(bound + 1) + ".smv";
        std::map<std::string, Trace> traces;
        std::map<std::string, Verdict> again = prove(wider, file, failure, &traces);
        // One model gives the same goals in the same order whatever the bound.
        for (std::size_t i = 0; i < abstractions_.size() && i < wider.goals.size(); ++i) {
            const counted::PropertyGoal& goal = wider.goals[i];
            Abstraction& each = abstractions_[i];
            if (goal.line != each.goal.line || !goal.invariant || !each.goal.invariant) continue;
            if (gave(again, *goal.invariant, Verdict::holds)) verdicts[*each.goal.invariant] = Verdict::holds;
            if (const auto trace = traces.find(*goal.invariant); trace != traces.end()) {
                each.counterexample = counted_steps(trace->second, wider);
                each.counterexample.push_back(
                    "  To look further: a larger run (-p 2..K) may find it false at some N; --keep DIR keeps the "
                    "counted model as " + file + ", where a comment names what each counter counts.");
            }
        }
    }
    take_verdicts(verdicts, bound, failure);
    under_way_ = false;
    seconds_ = std::chrono::duration<double>(Clock::now() - started).count();
}

// Each goal proved, or why not.
void EveryNCheck::take_verdicts(const std::map<std::string, Verdict>& verdicts, int bound, const std::string& failure) {
    for (Abstraction& each : abstractions_) {
        if (!each.goal.invariant) continue;
        each.proved = gave(verdicts, *each.goal.invariant, Verdict::holds);
        if (each.proved) continue;
        each.reason = !failure.empty() ? failure
                      : gave(verdicts, *each.goal.invariant, Verdict::fails)
                          ? "the abstraction is too coarse: the counted model, with counters up to " +
                                std::to_string(bound) + " and " + std::to_string(bound + 1) +
                                ", has a counterexample that no N of this run reproduces"
                          : "NuSMV gave the counted model no verdict on it";
    }
}

std::optional<double> EveryNCheck::budget_left() const {
    if (!setup_.budget_seconds) return std::nullopt;
    return *setup_.budget_seconds - std::chrono::duration<double>(Clock::now() - started_).count();
}

std::map<std::string, Verdict> EveryNCheck::prove(const counted::CountedModel& counted, const std::string& file,
                                                      std::string& failure, std::map<std::string, Trace>* traces) {
    std::vector<Check> checks;
    std::set<std::string> names;
    for (const counted::PropertyGoal& goal : counted.goals)
        if (goal.invariant) {
            checks.push_back(Check::named_invariant(*goal.invariant));
            names.insert(*goal.invariant);
        }
    if (checks.empty()) return {};
    if (budget_left() && *budget_left() <= 0) {
        failure = "the budget of " + duration_text(*setup_.budget_seconds) +
                  " ran out before NuSMV checked the counted model";
        return {};
    }
    // NuSMV reads a file whose last line, a comment, has no line end for ever.
    const std::string text = counted.text.ends_with('\n') ? counted.text : counted.text + "\n";
    write_whole_file(setup_.in_folder(file), text);
    if (settings_.keep_directory) {
        model_.refuse_as_output(*settings_.keep_directory + "/" + file);
        write_whole_file(*settings_.keep_directory + "/" + file, text);
    }
    write_whole_file(setup_.in_folder(file + ".script"), verdict_script("./" + file, checks, false));
    // A counted model is small; one that takes long is not worth the wait.
    // Its time counts against the budget, which bounds it too.
    const double left = budget_left().value_or(HUGE_VAL);
    const bool within_budget = left < setup_.timeout_seconds.value_or(60);
    const double limit = within_budget ? left : setup_.timeout_seconds.value_or(60);
    bool stopped = false;
    const ChildEnd end = run_checker(file, limit, stopped, traces != nullptr);
    VerdictsRead read = read_verdicts(CheckerFile(setup_.in_folder(file + ".out")).source(), false);
    if (stopped && within_budget)
        failure = "the budget of " + duration_text(*setup_.budget_seconds) +
                  " ran out while NuSMV checked the counted model";
    else if (stopped)
        failure = "NuSMV did not decide the counted model within " + duration_text(limit);
    else if (const std::optional<std::string> why = why_no_proof(file, end, names, read))
        failure = *why;
    if (!failure.empty()) return {};
    std::map<std::string, Verdict> verdicts;
    for (const auto& [name, verdict] : read.verdicts) verdicts[name] = verdict.verdict;
    if (traces) {
        // The output is read once, from its start on.
        std::vector<std::pair<std::uint64_t, std::string>> false_ones;
        for (const auto& [name, verdict] : read.verdicts)
            if (verdict.verdict == Verdict::fails) false_ones.emplace_back(verdict.text_start, name);
        std::sort(false_ones.begin(), false_ones.end());
        CheckerFile output(setup_.in_folder(file + ".out"));
        OutputCopier copier(output.source());
        for (const auto& [start, name] : false_ones)
            if (Trace trace = read_trace_of(copier, read.verdicts.at(name)); !trace.steps.empty())
                traces->emplace(name, std::move(trace));
    }
    return verdicts;
}

ChildEnd EveryNCheck::run_checker(const std::string& file, double limit, bool& stopped, bool counterexamples) {
    ChildCommand child{setup_.program, reference_options, setup_.in_folder(file + ".out"),
                       setup_.in_folder(file + ".err"), setup_.folder};
    // Counterexamples are what -dcx leaves out.
    if (counterexamples) std::erase(child.args, "-dcx");
    child.args.insert(child.args.end(), setup_.options.begin(), setup_.options.end());
    child.args.push_back("-source");
    child.args.push_back("./" + file + ".script");
    const pid_t pid = children_.start(child);
    ran_checker_ = true;
    const auto started = Clock::now();
    std::optional<Clock::time_point> stop_sent;
    for (;;) {
        stop_if_signalled();
        if (const std::vector<ChildEnd> ended = children_.wait(std::chrono::milliseconds(200)); !ended.empty()) {
            stopped = stop_sent.has_value();
            return ended.front();
        }
        const auto now = Clock::now();
        stop_if_late(children_, pid, now - started > std::chrono::duration<double>(limit), stop_sent, now);
    }
}

// A run that failed in any way proves nothing, whatever it printed first.
std::optional<std::string> EveryNCheck::why_no_proof(const std::string& file, const ChildEnd& end,
                                                     const std::set<std::string>& names,
                                                     const VerdictsRead& read) const {
    const auto missing = std::find_if(names.begin(), names.end(), [&](const std::string& name) {
        return !read.verdicts.contains(name);
    });
    const auto unasked = std::find_if(read.verdicts.begin(), read.verdicts.end(), [&](const auto& each) {
        return !names.contains(each.first);
    });
    if (end.signal != 0 || end.exit_status != 0) {
        const std::string said = read_error(CheckerFile(setup_.in_folder(file + ".err")).source());
        return "NuSMV could not check the counted model: " +
               (said.empty() ? how_the_checker_ended(end) : said.substr(0, 200));
    }
    if (missing != names.end()) return "the checker gave no verdict on the counted model's invariant " + *missing;
    if (unasked != read.verdicts.end() || !read.repeated.empty())
        return "the checker gave the counted model verdicts it was not asked for";
    return std::nullopt;
}

void EveryNCheck::decide(const std::map<std::size_t, Property>& rows, Results& results) const {
    for (const Abstraction& each : abstractions_) {
        const std::size_t line = each.goal.line;
        // Only for the rows of the table: none when no N was translated.
        if (!rows.contains(line)) continue;
        EveryN decided = with_finite_verdicts(
            each.proved ? EveryN{line, Decision::holds, std::nullopt} : EveryN{line, Decision::undecided, each.reason}, results.verdicts);
        if (decided.verdict == Decision::undecided) decided.counterexample = each.counterexample;
        if (each.proved && decided.verdict == Decision::fails)
            add_note(results, "line " + std::to_string(line) + ": the counted model holds it for every N, but a finite N "
                              "finds it false: that is a fault of ruvello's, please report it");
        results.every_n.push_back(std::move(decided));
    }
}

}  // namespace ruvello::check
