#include "check/report.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <optional>
#include <set>

#include "translate/warnings.h"

namespace ruvello::check {

namespace {

// A text from the model, the checker or a document as the terminal shows it:
// a control character, which could move its cursor, shows as '?'; a tab
// as a space; with `keep_lines`, a line end as one.
std::string shown(std::string_view text, bool keep_lines = false) {
    std::string result;
    for (const char c : text)
        result += c == '\t'                                       ? ' '
                  : c == '\n' && keep_lines                        ? '\n'
                  : static_cast<unsigned char>(c) < 0x20 || c == 0x7f ? '?'
                                                                     : c;
    return result;
}

std::string tuple_text(const std::vector<int>& processes) {
    std::string text = "(";
    for (std::size_t i = 0; i < processes.size(); ++i)
        text.append(i > 0 ? "," : "").append(std::to_string(processes[i]));
    return text + ")";
}

// Which instance a verdict is on: "c[2] (1,3)", "(1,3)", "c[2]" or "".
std::string instance_text(const InstanceVerdict& verdict) {
    std::string text = verdict.instance.value_or("");
    if (verdict.processes) text += (text.empty() ? "" : " ") + tuple_text(*verdict.processes);
    return text;
}

// What a cell of the table says, and how it counts in the summary.
struct Cell {
    std::string text;
    enum class Count { none, holds, fails, no_verdict } count = Count::none;
};

Cell cell_for(const Results& results, const Property& property, const Run& run) {
    std::vector<const InstanceVerdict*> verdicts;
    for (const InstanceVerdict& verdict : results.verdicts)
        if (verdict.n == run.n && verdict.line == property.line) verdicts.push_back(&verdict);
    if (verdicts.empty()) {
        if (run.outcome == Outcome::done) return {"-"};
        return {std::string(text_of(run.outcome)), Cell::Count::no_verdict};
    }
    std::vector<const InstanceVerdict*> failing;
    for (const InstanceVerdict* verdict : verdicts)
        if (verdict->verdict == Verdict::fails) failing.push_back(verdict);
    if (!failing.empty()) {
        std::string text = "false";
        if (const std::string first = instance_text(*failing.front()); !first.empty())
            text += " " + shown(first);
        if (failing.size() > 1) text += " +" + std::to_string(failing.size() - 1);
        return {text, Cell::Count::fails};
    }
    for (const Verdict missing : {Verdict::error, Verdict::timeout, Verdict::warned, Verdict::interrupted})
        for (const InstanceVerdict* verdict : verdicts)
            if (verdict->verdict == missing) return {std::string(text_of(missing)), Cell::Count::no_verdict};
    if (verdicts.front()->value) {
        std::string text = shown(*verdicts.front()->value);
        const bool same = std::all_of(verdicts.begin(), verdicts.end(), [&](const InstanceVerdict* verdict) {
            return verdict->value == verdicts.front()->value;
        });
        return {same ? text : text + " ...", Cell::Count::holds};
    }
    return {"true", Cell::Count::holds};
}

// N = 2..5, or N = 2, 3, 5.
std::string counts_text(const std::vector<int>& ns) {
    if (ns.empty()) return "N = none";
    bool contiguous = true;
    for (std::size_t i = 1; i < ns.size(); ++i) contiguous &= ns[i] == ns[i - 1] + 1;
    if (ns.size() == 1) return "N = " + std::to_string(ns.front());
    if (contiguous) return "N = " + std::to_string(ns.front()) + ".." + std::to_string(ns.back());
    std::string text = "N = ";
    for (std::size_t i = 0; i < ns.size(); ++i) text += (i > 0 ? ", " : "") + std::to_string(ns[i]);
    return text;
}

std::string counts_text(const std::vector<Run>& runs) {
    std::vector<int> ns;
    for (const Run& run : runs) ns.push_back(run.n);
    return counts_text(ns);
}

std::string padded(std::string text, std::size_t width) {
    if (text.size() < width) text.append(width - text.size(), ' ');
    return text;
}

constexpr std::size_t property_width = 44;

std::string shortened(std::string_view text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
    std::string result = shown(text);
    if (result.size() > property_width) result.replace(property_width - 3, std::string::npos, "...");
    return result;
}

}  // namespace

int exit_status(const Results& results) {
    const auto has = [&](const auto& which) {
        return std::any_of(results.verdicts.begin(), results.verdicts.end(), which);
    };
    if (has([](const InstanceVerdict& each) { return each.verdict == Verdict::fails; })) return 1;
    // No N checked is no verdict either.
    const bool run_failed = results.runs.empty() || std::any_of(results.runs.begin(), results.runs.end(),
                                                                [](const Run& run) { return run.outcome != Outcome::done; });
    if (run_failed || has([](const InstanceVerdict& each) { return each.verdict != Verdict::holds; })) return 3;
    return 0;
}

EveryN with_finite_verdicts(EveryN counted, const std::vector<InstanceVerdict>& verdicts) {
    std::set<int> rejected;  // the N whose runs ended in an error
    bool warned = false, some_true = false;
    for (const InstanceVerdict& each : verdicts) {
        if (each.line != counted.line) continue;
        if (each.verdict == Verdict::fails) return {counted.line, Decision::fails, std::nullopt};
        if (each.verdict == Verdict::error) rejected.insert(each.n);
        warned |= each.verdict == Verdict::warned;
        some_true |= each.verdict == Verdict::holds;
    }
    // A proof of the counted model stands for the model that NuSMV reads in
    // the translations: NuSMV must accept each translation it reads, and
    // give the property a verdict in one at least.
    if (!rejected.empty())
        return {counted.line, Decision::undecided,
                "NuSMV rejected the model at " + counts_text(std::vector<int>(rejected.begin(), rejected.end())) +
                    " (error), or failed on it"};
    if (warned)
        return {counted.line, Decision::undecided, "the translation warns that it does not state the property as written"};
    if (counted.verdict == Decision::holds && !some_true)
        return {counted.line, Decision::undecided, "no N of the run gave it a verdict: nothing shows that NuSMV accepts the model"};
    return counted;
}

namespace {

// The reachable states of a run as a cell: grouped digits, or in powers of
// ten beyond what digits show well.
std::string states_text(const Run& run) {
    if (!run.states) return "-";
    if (*run.states < 1e15 && *run.states == static_cast<double>(static_cast<std::uint64_t>(*run.states)))
        return grouped(static_cast<std::uint64_t>(*run.states));
    char text[32];
    std::snprintf(text, sizeof text, "%.3g", *run.states);
    return text;
}

std::string seconds_text(const Run& run) {
    if (run.outcome == Outcome::skipped || run.outcome == Outcome::interrupted) return "-";
    char text[32];
    std::snprintf(text, sizeof text, "%.2f", run.seconds);
    return text;
}

}  // namespace

namespace {

// A line's cell of the column every N: true when each of its properties
// holds for every N, false when one is false for some N, else "?".
std::string every_n_cell(const Results& results, std::size_t line) {
    bool found = false, all_true = true;
    for (const EveryN& each : results.every_n) {
        if (each.line != line) continue;
        found = true;
        if (each.verdict == Decision::fails) return "false";
        all_true &= each.verdict == Decision::holds;
    }
    return found && all_true ? "true" : "?";
}

}  // namespace

std::string duration_text(double seconds) {
    char text[48];
    if (seconds < 10) std::snprintf(text, sizeof text, "%.1f s", seconds);
    else if (seconds < 60) std::snprintf(text, sizeof text, "%.0f s", seconds);
    else if (seconds < 3600) {
        const long whole = std::lround(seconds);
        if (whole % 60 == 0) std::snprintf(text, sizeof text, "%ld min", whole / 60);
        else std::snprintf(text, sizeof text, "%ld min %ld s", whole / 60, whole % 60);
    } else {
        const long minutes = std::lround(seconds / 60);
        if (minutes % 60 == 0) std::snprintf(text, sizeof text, "%ld h", minutes / 60);
        else std::snprintf(text, sizeof text, "%ld h %ld min", minutes / 60, minutes % 60);
    }
    return text;
}

std::optional<double> predicted_seconds(const std::vector<Run>& runs, int n) {
    // The time of a model checker grows about exponentially with N: a line
    // through the logarithms of the last three N done.
    std::vector<std::pair<double, double>> points;
    for (auto run = runs.rbegin(); run != runs.rend() && points.size() < 3; ++run)
        if (run->outcome == Outcome::done && run->n < n)
            points.emplace_back(run->n, std::log(std::max(run->seconds, 0.01)));
    if (points.size() < 2) return std::nullopt;
    double mean_n = 0, mean_log = 0;
    for (const auto& [x, y] : points) {
        mean_n += x / static_cast<double>(points.size());
        mean_log += y / static_cast<double>(points.size());
    }
    double covariance = 0, variance = 0;
    for (const auto& [x, y] : points) {
        covariance += (x - mean_n) * (y - mean_log);
        variance += (x - mean_n) * (x - mean_n);
    }
    const double growth = std::max(0.0, covariance / variance);  // a larger N takes no less
    return std::exp(mean_log + growth * (n - mean_n));
}

std::string column_summary(const Results& results, const std::vector<Property>& properties, const Run& run) {
    std::string text = "N = " + std::to_string(run.n);
    if (run.outcome != Outcome::done) {
        std::string why = shown(run.message.value_or(""));
        why = why.substr(0, std::min(why.find('\n'), std::size_t{100}));
        return text + ": " + std::string(text_of(run.outcome)) + (why.empty() ? "" : ": " + why);
    }
    text += " in " + duration_text(run.seconds);
    if (run.states) text += ", " + states_text(run) + " states";
    const char* separator = ": ";
    for (const Property& property : properties) {
        const Cell cell = cell_for(results, property, run);
        if (cell.text == "-") continue;
        text += separator + ("line " + std::to_string(property.line) + " " + cell.text);
        separator = ", ";
    }
    return text;
}

namespace {

// For each false property, in the order of the lines, the counterexample of
// the smallest N that has one, headed by its line, N and instance; then the
// counted model's counterexamples that no N reproduced.
std::string counterexamples_text(const Results& results) {
    std::string text;
    for (const Property& property : results.properties) {
        const Counterexample* first = nullptr;
        for (const Counterexample& each : results.counterexamples)
            if (each.line == property.line && (!first || each.n < first->n)) first = &each;
        if (!first) continue;
        text += "\nCounterexample of line " + std::to_string(first->line) + " for N = " + std::to_string(first->n);
        if (first->processes) text += ", processes " + tuple_text(*first->processes);
        if (first->instance) text += ", " + shown(*first->instance);
        text += ":\n" + trace_table(first->trace);
    }
    for (const EveryN& each : results.every_n) {
        if (each.counterexample.empty()) continue;
        text += "\nCounterexample of line " + std::to_string(each.line) +
                " in the counted model, which no N of this run reproduces:\n";
        for (const std::string& line : each.counterexample) text += shown(line) + "\n";
    }
    return text;
}

}  // namespace

// The line under the table that says how far a budget went.
std::string budget_text(const Results& results) {
    std::string out;
    if (const auto& budget = results.budget) {
        const auto last_checked = std::find_if(results.runs.rbegin(), results.runs.rend(),
                                               [](const Run& run) { return run.outcome != Outcome::skipped; });
        out += "Within a budget of " + duration_text(budget->seconds) + ": checked " +
               (last_checked == results.runs.rend() ? std::string("no N")
                                                    : "up to N = " + std::to_string(last_checked->n)) +
               " in " + duration_text(budget->used);
        if (budget->next_n && budget->predicted_seconds)
            out += "; N = " + std::to_string(*budget->next_n) + " was predicted to take " +
                   duration_text(*budget->predicted_seconds);
        else if (budget->next_n)
            out += "; the budget ran out before N = " + std::to_string(*budget->next_n);
        out += ".\n";
    }
    return out;
}

// The lines under the table: why runs failed, why properties are not
// decided for every N, which warnings cost verdicts, and the notes.
std::string reasons_text(const Results& results) {
    std::string out;
    // Why runs failed: one message for the N that failed alike.
    std::vector<bool> told(results.runs.size());
    for (std::size_t i = 0; i < results.runs.size(); ++i) {
        const Run& run = results.runs[i];
        if (!run.message || told[i]) continue;
        std::vector<Run> alike;
        for (std::size_t j = i; j < results.runs.size(); ++j)
            if (results.runs[j].message == run.message && results.runs[j].outcome == run.outcome) {
                alike.push_back(results.runs[j]);
                told[j] = true;
            }
        out += counts_text(alike) + ": " + shown(text_of(run.outcome)) + ": ";
        for (const char c : shown(*run.message, true)) out += c == '\n' ? std::string("\n    ") : std::string(1, c);
        out += "\n";
    }
    // Why not every N, once for the lines that share a reason.
    std::vector<std::pair<std::string, std::vector<std::size_t>>> undecided;
    for (const EveryN& each : results.every_n) {
        if (each.verdict != Decision::undecided) continue;
        const std::string reason = each.reason.value_or("no reason given");
        auto same = std::find_if(undecided.begin(), undecided.end(), [&](const auto& told) { return told.first == reason; });
        if (same == undecided.end()) same = undecided.insert(undecided.end(), {reason, {}});
        if (std::find(same->second.begin(), same->second.end(), each.line) == same->second.end())
            same->second.push_back(each.line);
    }
    for (const auto& [reason, lines] : undecided) {
        std::string which = lines.size() == 1 ? "line " : "lines ";
        for (std::size_t i = 0; i < lines.size(); ++i) which.append(i > 0 ? ", " : "").append(std::to_string(lines[i]));
        out += which + ": not decided for every N: " + shown(reason) + "\n";
    }
    for (const CostlyWarning& warning : results.warnings)
        out += (warning.property ? "line " + std::to_string(*warning.property) : std::string("every property")) +
               ": warned, no verdict: the translation does not state it as written (line " +
               std::to_string(warning.line) + ": " + shown(warning.message) +
               "); --accept-warnings shows NuSMV's verdicts on what the translation wrote\n";
    for (const std::string& note : results.notes) out += shown(note) + "\n";
    return out;
}

// The rows of the table, in blocks of columns as wide as `width` allows
// (0: one block): the properties' cells, with the column every N when there
// is one, then each N's reachable states and seconds.
std::string grid_text(const Results& results, std::vector<std::vector<Cell>> rows, std::vector<std::size_t> widths,
                      std::size_t width) {
    std::string out;
    // A row: the line, the property, then the cells of the columns of one block.
    const auto row = [&](const std::string& line, const std::string& property, std::size_t from, std::size_t to,
                         const auto& cell_text) {
        std::string text = std::string(line.size() < 5 ? 5 - line.size() : 0, ' ') + line + "  " +
                           padded(property, property_width);
        for (std::size_t column = from; column < to; ++column) text += "  " + padded(cell_text(column), widths[column]);
        while (!text.empty() && text.back() == ' ') text.pop_back();
        return text + "\n";
    };
    // The last column says whether a property holds for every N.
    const bool every_n = !results.every_n.empty();
    if (every_n) {
        widths.push_back(std::string("every N").size());
        for (std::size_t i = 0; i < rows.size(); ++i) rows[i].push_back({every_n_cell(results, results.properties[i].line)});
    }
    const std::size_t columns = widths.size();
    const auto heading = [&](std::size_t c) {
        return c < results.runs.size() ? "N = " + std::to_string(results.runs[c].n) : std::string("every N");
    };
    const auto cost = [&](std::size_t c, bool states) {
        if (c >= results.runs.size()) return std::string();
        return states ? states_text(results.runs[c]) : seconds_text(results.runs[c]);
    };
    for (std::size_t from = 0; from < columns || from == 0;) {
        std::size_t to = from + 1, used = 7 + property_width + 2 + (widths.empty() ? 0 : widths[from]);
        while (to < columns && (width == 0 || used + 2 + widths[to] <= width)) used += 2 + widths[to++];
        to = std::min(to, columns);
        if (from > 0) out += "\n";
        out += row("line", "property", from, to, heading);
        for (std::size_t i = 0; i < rows.size(); ++i)
            out += row(std::to_string(results.properties[i].line), shortened(results.properties[i].text), from, to,
                       [&](std::size_t c) { return rows[i][c].text; });
        if (from < results.runs.size()) {
            out += row("", "reachable states", from, to, [&](std::size_t c) { return cost(c, true); });
            out += row("", "seconds", from, to, [&](std::size_t c) { return cost(c, false); });
        }
        if (to >= columns) break;
        from = to;
    }
    return out;
}

std::string table(const Results& results, std::size_t width) {
    std::string out = "ruvello --check " + shown(results.model) + ", " + counts_text(results.runs) + ", " +
                      (results.every_tuple ? "every tuple of distinct processes"
                                           : "processes 1 and 2 only (--symmetric)") +
                      ", " + (results.checker_version.empty() ? "checker unknown" : shown(results.checker_version)) +
                      "\n";
    std::vector<std::vector<Cell>> rows;
    std::vector<std::size_t> widths;
    for (const Run& run : results.runs)
        widths.push_back(std::max({("N = " + std::to_string(run.n)).size(), states_text(run).size(),
                                   seconds_text(run).size()}));
    std::size_t holds = 0, fails = 0, no_verdict = 0;
    std::optional<int> first_failing_n;
    for (const Property& property : results.properties) {
        std::vector<Cell> row;
        for (std::size_t column = 0; column < results.runs.size(); ++column) {
            const Cell& cell = row.emplace_back(cell_for(results, property, results.runs[column]));
            widths[column] = std::max(widths[column], cell.text.size());
            holds += cell.count == Cell::Count::holds;
            no_verdict += cell.count == Cell::Count::no_verdict;
            if (cell.count == Cell::Count::fails) {
                ++fails;
                const int n = results.runs[column].n;
                if (!first_failing_n || n < *first_failing_n) first_failing_n = n;
            }
        }
        rows.push_back(std::move(row));
    }
    out += grid_text(results, std::move(rows), std::move(widths), width);
    const bool every_n = !results.every_n.empty();
    const auto holding = std::count_if(results.properties.begin(), results.properties.end(), [&](const Property& property) {
        return every_n_cell(results, property.line) == "true";
    });
    out += std::to_string(results.properties.size()) + " properties, " +
           counts_text(results.runs) + ": " + std::to_string(holds) + " true, " +
           std::to_string(fails) + " false" +
           (first_failing_n ? " (from N = " + std::to_string(*first_failing_n) + ")" : "") + ", " +
           std::to_string(no_verdict) + " without verdict" +
           (every_n ? "; " + std::to_string(holding) + (holding == 1 ? " holds" : " hold") + " for every N"
                    : std::string()) +
           "\n";
    out += budget_text(results);
    out += "Checked for these N only: nothing is shown for any other N.\n";
    out += reasons_text(results);
    return out + counterexamples_text(results);
}

}  // namespace ruvello::check
