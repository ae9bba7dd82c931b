#include "app/command_line.h"
#include "textops/textops.h"

#include <algorithm>
#include <charconv>
#include <vector>

namespace ruvello {

std::optional<int> parse_process_count(std::string_view text) {
    // from_chars takes a '-' sign but no '+'.
    if (text.starts_with('+') && !text.substr(1).starts_with('-')) text.remove_prefix(1);
    int value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || error != std::errc() || end != text.data() + text.size())
        return std::nullopt;
    return value;
}

namespace {

enum class Option {
    processes, file, output, help, version, all_instances, line_markers, fatal_warnings,
    all_warnings, check,
    // only for a check
    symmetric, checker, checker_option, keep, jobs, timeout, traces, accept_warnings, budget,
    keep_going, stop_at_false, plot, reference_checks, no_counterexamples,
    // for a check and a report of checks
    json, junit, report,
};

struct OptionName {
    std::string_view long_name;
    char short_name;  // 0 when it has none
    Option option;
    bool takes_value;
    // What a value names, for an option whose value is a file or a folder.
    std::string_view names = {};
};

constexpr OptionName option_names[] = {
    {"--processes", 'p', Option::processes, true},
    {"--file", 'f', Option::file, true, "a file"},
    {"--output", 'o', Option::output, true, "a file"},
    {"--help", 'h', Option::help, false},
    {"--version", 0, Option::version, false},
    {"--all-instances", 0, Option::all_instances, false},
    {"--line-markers", 0, Option::line_markers, false},
    {"--fatal-warnings", 0, Option::fatal_warnings, false},
    {"--all-warnings", 0, Option::all_warnings, false},
    {"--check", 0, Option::check, false},
    {"--symmetric", 0, Option::symmetric, false},
    {"--checker", 0, Option::checker, true, "a program"},
    {"--checker-option", 0, Option::checker_option, true},
    {"--keep", 0, Option::keep, true, "a folder"},
    {"--jobs", 0, Option::jobs, true},
    {"--timeout", 0, Option::timeout, true},
    {"--json", 0, Option::json, true, "a file"},
    {"--junit", 0, Option::junit, true, "a file"},
    {"--traces", 0, Option::traces, true, "a folder"},
    {"--accept-warnings", 0, Option::accept_warnings, false},
    {"--budget", 0, Option::budget, true},
    {"--keep-going", 0, Option::keep_going, false},
    {"--stop-at-false", 0, Option::stop_at_false, false},
    {"--plot", 0, Option::plot, true, "a file"},
    {"--reference-checks", 0, Option::reference_checks, false},
    {"--no-counterexamples", 0, Option::no_counterexamples, false},
    {"--report", 0, Option::report, true, "a file"},
};

// The options that only a check reads, and those that a report of checks reads too.
bool is_for_reports(Option option) { return option == Option::json || option == Option::junit || option == Option::plot; }
bool is_for_checking(Option option) {
    return option >= Option::symmetric && option <= Option::no_counterexamples && !is_for_reports(option);
}

std::string quoted(std::string_view text) { return "'" + textops::printable(text) + "'"; }

[[noreturn]] void refuse(const std::string& why) { throw UsageError("ruvello: " + why); }

// How many single-character edits turn `a` into `b`.
std::size_t edit_distance(std::string_view a, std::string_view b) {
    std::vector<std::size_t> row(b.size() + 1);
    for (std::size_t j = 0; j <= b.size(); ++j) row[j] = j;
    for (std::size_t i = 1; i <= a.size(); ++i) {
        std::size_t diagonal = row[0];
        row[0] = i;
        for (std::size_t j = 1; j <= b.size(); ++j) {
            const std::size_t above = row[j];
            row[j] = std::min({row[j] + 1, row[j - 1] + 1, diagonal + (a[i - 1] == b[j - 1] ? 0 : 1)});
            diagonal = above;
        }
    }
    return row[b.size()];
}

// "; did you mean '--traces'?" for a long option near one of ours.
std::string did_you_mean(std::string_view name) {
    if (!name.starts_with("--") || name.size() > 40) return "";
    const OptionName* nearest = nullptr;
    std::size_t distance = 3;  // farther is no typing slip
    for (const OptionName& option : option_names)
        if (const std::size_t d = edit_distance(name, option.long_name); d < distance) {
            distance = d;
            nearest = &option;
        }
    return nearest == nullptr ? "" : "; did you mean " + quoted(nearest->long_name) + "?";
}

// The option an argument names, and the value joined to it: -p3, --file=m.in.
std::pair<const OptionName*, std::optional<std::string_view>> option_of(std::string_view arg) {
    std::string_view name = arg;
    std::optional<std::string_view> joined;
    if (arg.starts_with("--")) {
        if (const std::size_t equals = arg.find('='); equals != std::string_view::npos) {
            name = arg.substr(0, equals);
            joined = arg.substr(equals + 1);
        }
    } else if (arg.size() > 2) {
        name = arg.substr(0, 2);
        joined = arg.substr(2);
    }
    for (const OptionName& option : option_names)
        if (name == option.long_name ||
            (option.short_name != 0 && name.size() == 2 && name[1] == option.short_name))
            return {&option, joined};
    refuse("unknown option " + quoted(name) + did_you_mean(name));
}

// Whether `text` is a whole number too large for an int: said so, rather
// than that it is no number.
bool too_large(std::string_view text) {
    if (text.starts_with('+') || text.starts_with('-')) text.remove_prefix(1);
    return !text.empty() && std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; }) &&
           !parse_process_count(text);
}

// At most this many N in one check, which is more than NuSMV gets through.
constexpr long long most_process_counts = 1000;

// The N of -p: one, or with --check a range FROM..TO or a list of both
// (2,3,5 or 2..4,6), in increasing order without repeats.
std::vector<int> parse_process_counts(std::string_view text, bool checking) {
    if (!checking) {
        if (text.find("..") != std::string_view::npos || text.find(',') != std::string_view::npos)
            refuse("-p takes a range or a list only with --check, not " + quoted(text));
        const std::optional<int> count = parse_process_count(text);
        if (!count && too_large(text)) refuse("-p " + quoted(text) + " is too large: at most 2147483647");
        if (!count) refuse("-p needs a whole number, not " + quoted(text));
        return {*count};
    }
    std::vector<int> counts;
    for (std::size_t start = 0; start <= text.size();) {
        const std::size_t comma = std::min(text.find(',', start), text.size());
        const std::string_view item = text.substr(start, comma - start);
        const std::size_t dots = item.find("..");
        const std::string_view from_text = item.substr(0, dots);
        // FROM.. goes as far as a check may: the budget ends it sooner.
        const bool open = dots != std::string_view::npos && dots + 2 == item.size() && comma == text.size();
        const std::string most = std::to_string(most_process_counts - static_cast<long long>(counts.size()) +
                                                parse_process_count(from_text).value_or(0) - 1);
        const std::string_view to_text = dots == std::string_view::npos ? from_text
                                         : open                        ? std::string_view(most)
                                                                       : item.substr(dots + 2);
        const std::optional<int> from = parse_process_count(from_text);
        const std::optional<int> to = parse_process_count(to_text);
        if (too_large(from_text) || too_large(to_text))
            refuse("-p " + quoted(text) + " is too large: at most " + std::to_string(most_process_counts) +
                   " values of N in one check");
        if (!from || !to || *from < 1 || *to < 1)
            refuse("-p needs numbers of processes of 1 or more, a range FROM..TO or a list "
                   "2,3,5, not " + quoted(text));
        if (*from > *to) refuse("-p range " + quoted(item) + " is empty");
        if (static_cast<long long>(*to) - *from + 1 + static_cast<long long>(counts.size()) > most_process_counts)
            refuse("-p " + quoted(text) + " asks for more than " + std::to_string(most_process_counts) +
                   " values of N in one check; check a part of them at a time");
        for (int n = *from;; ++n) {
            counts.push_back(n);
            if (n == *to) break;
        }
        start = comma + 1;
    }
    std::sort(counts.begin(), counts.end());
    counts.erase(std::unique(counts.begin(), counts.end()), counts.end());
    return counts;
}

}  // namespace

std::optional<double> parse_duration(std::string_view text) {
    // Hours, minutes and seconds, in this order and each at most once.
    constexpr std::string_view units = "hms";
    constexpr double unit_seconds[] = {3600, 60, 1};
    const auto digits = [](std::string_view from) {
        return std::min(from.find_first_not_of("0123456789"), from.size());
    };
    double total = 0;
    std::size_t next_unit = 0;
    if (text.empty()) return std::nullopt;
    while (!text.empty()) {
        std::size_t length = digits(text);
        if (length == 0) return std::nullopt;
        if (length < text.size() && text[length] == '.') {
            const std::size_t fraction = digits(text.substr(length + 1));
            if (fraction == 0) return std::nullopt;
            length += 1 + fraction;
        }
        const std::size_t unit = length < text.size() ? units.find(text[length], next_unit) : std::string_view::npos;
        if (unit == std::string_view::npos) return std::nullopt;  // no unit, or one out of order or again
        double amount = 0;
        if (std::from_chars(text.data(), text.data() + length, amount).ec != std::errc()) return std::nullopt;
        total += amount * unit_seconds[unit];
        next_unit = unit + 1;
        text.remove_prefix(length + 1);
    }
    if (!(total > 0) || total > most_duration_hours * 3600) return std::nullopt;
    return total;
}

namespace {

int parse_jobs(std::string_view text) {
    const std::optional<int> jobs = parse_process_count(text);
    if (!jobs || *jobs < 1) refuse("--jobs needs a whole number of 1 or more, not " + quoted(text));
    return *jobs;
}

double parse_seconds(std::string_view text) {
    double seconds = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), seconds);
    if (text.empty() || error != std::errc() || end != text.data() + text.size() ||
        !(seconds > 0) || seconds > 1e9)
        refuse("--timeout needs a number of seconds above 0, not " + quoted(text));
    return seconds;
}

bool asks_for_help(const std::vector<std::string_view>& args) {
    for (const std::string_view arg : args) {
        if (arg == "--") break;
        if (arg == "-h" || arg == "--help") return true;
    }
    return false;
}

// What the arguments say before the rules of which options go together.
struct Given {
    std::optional<std::string_view> processes;
    std::optional<std::string_view> model;
    std::optional<std::string_view> check_option;   // the first option only a check reads
    std::optional<std::string_view> report_option;  // the first that a report reads too
    std::vector<std::string_view> operands;         // words that are no options
    bool version = false;
};

// The value of an option not joined to it: the next argument, which a
// forgotten value would leave to be the next option, taken as a file's name.
std::string_view next_value(const std::vector<std::string_view>& args, std::size_t& i, const OptionName& name) {
    const std::string_view arg = args[i];
    if (i + 1 == args.size()) refuse("missing the value of " + quoted(arg));
    const std::string_view value = args[++i];
    const bool standard_stream =
        value == "-" && (name.option == Option::file || name.option == Option::output || name.option == Option::json);
    if (!name.names.empty() && value.starts_with('-') && !standard_stream)
        refuse(quoted(arg) + " takes " + std::string(name.names) + ", not the option " + quoted(value) + "; for " +
               std::string(name.names) + " of that name write " + std::string(name.long_name) + "=" +
               textops::printable(value) + " or ./" + textops::printable(value));
    return value;
}

// What one option sets; a value is there when the option takes one.
void take_option(Option option, std::optional<std::string_view> value, Given& given, CommandLine& command) {
    switch (option) {
    case Option::processes: given.processes = value; break;
    case Option::file: given.model = value; break;
    case Option::output: command.output_path = std::string(*value); break;
    case Option::help: break;  // taken before the others
    case Option::version: given.version = true; break;
    case Option::all_instances: command.all_instances = true; break;
    case Option::line_markers: command.line_markers = true; break;
    case Option::fatal_warnings: command.fatal_warnings = true; break;
    case Option::all_warnings: command.all_warnings = true; break;
    case Option::check: command.action = CommandLine::Action::check; break;
    case Option::symmetric: command.symmetric = true; break;
    case Option::checker: command.checker = std::string(*value); break;
    case Option::checker_option: command.checker_options.emplace_back(*value); break;
    case Option::keep: command.keep_directory = std::string(*value); break;
    case Option::jobs: command.jobs = parse_jobs(*value); break;
    case Option::timeout: command.timeout_seconds = parse_seconds(*value); break;
    case Option::json: command.json_path = std::string(*value); break;
    case Option::junit: command.junit_path = std::string(*value); break;
    case Option::traces: command.traces_directory = std::string(*value); break;
    case Option::accept_warnings: command.accept_warnings = true; break;
    case Option::budget:
        command.budget_seconds = parse_duration(*value);
        if (!command.budget_seconds)
            refuse("--budget needs a duration of hours, minutes and seconds, in that order and each at most "
                   "once, such as 90s, 10m, 1h30m or 2.5h (above 0, at most " +
                   std::to_string(most_duration_hours) + "h), not " + quoted(*value));
        break;
    case Option::keep_going: command.keep_going = true; break;
    case Option::stop_at_false: command.stop_at_false = true; break;
    case Option::no_counterexamples: command.counterexamples = false; break;
    case Option::plot: command.plot_path = std::string(*value); break;
    case Option::reference_checks: command.reference_checks = true; break;
    case Option::report: command.report_paths.emplace_back(*value); break;
    }
}

// Each argument in order: an option, its value, or an operand; "--" ends
// the options.
Given take_arguments(const std::vector<std::string_view>& args, CommandLine& command) {
    Given given;
    bool options_ended = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string_view arg = args[i];
        if (!options_ended && arg == "--") {
            options_ended = true;
            continue;
        }
        if (options_ended || arg == "-" || !arg.starts_with('-')) {
            given.operands.push_back(arg);
            continue;
        }
        auto [name, value] = option_of(arg);
        if (!name->takes_value && value)
            refuse(quoted(name->long_name) + " takes no value, not " + quoted(*value));
        if (name->takes_value && !value) value = next_value(args, i, *name);
        if (is_for_checking(name->option) && !given.check_option) given.check_option = name->long_name;
        if (is_for_reports(name->option) && !given.report_option) given.report_option = name->long_name;
        take_option(name->option, value, given, command);
    }
    return given;
}

}  // namespace

CommandLine parse_command_line(std::span<const char* const> all_args) {
    const std::vector<std::string_view> args(all_args.begin(), all_args.end());
    CommandLine command;
    if (asks_for_help(args)) {
        command.action = CommandLine::Action::help;
        return command;
    }
    const Given given = take_arguments(args, command);
    if (given.version) {
        command.action = CommandLine::Action::version;
        return command;
    }
    const bool checking = command.action == CommandLine::Action::check;
    // The documents to merge may follow --report as words of their own.
    if (!command.report_paths.empty()) command.report_paths.insert(command.report_paths.end(),
                                                                   given.operands.begin(), given.operands.end());
    else if (!given.operands.empty()) refuse(quoted(given.operands.front()) + ": a model is given with -f MODEL");
    if (!command.report_paths.empty()) {
        if (checking || given.processes || given.model || given.check_option || command.output_path)
            refuse("--report merges the documents of earlier checks, and takes only --json, "
                   "--junit and --plot");
        command.action = CommandLine::Action::report;
        return command;
    }
    if (!checking && (given.check_option || given.report_option))
        refuse(quoted(given.check_option ? *given.check_option : *given.report_option) + " is an option of --check");
    if (checking && command.output_path)
        refuse("-o is not an option of --check, which leaves no translation behind (--keep DIR "
               "keeps them)");
    if (!given.processes) refuse("missing -p N");
    if (!given.model) refuse("missing -f MODEL");
    command.process_counts = parse_process_counts(*given.processes, checking);
    command.open_range = given.processes->ends_with("..");
    if (command.open_range && !command.budget_seconds)
        refuse("-p " + quoted(*given.processes) + " has no end: give the sweep a --budget, such as 10m");
    command.model_path = std::string(*given.model);
    return command;
}

}  // namespace ruvello
