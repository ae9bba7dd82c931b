#include "check/checker.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <sstream>
#include <utility>

#include "check/naming.h"
#include "textops/textops.h"

namespace ruvello::check {

// The translation names the instance of process K of module instance c
// "NK_c".
bool names_process_instance(std::string_view name) {
    const std::size_t underscore = name.find('_');
    return name.size() > 2 && name.front() == 'N' && underscore != std::string_view::npos && underscore > 1 &&
           underscore + 1 < name.size() && starts_identifier(name[underscore + 1]) &&
           std::all_of(name.begin() + 1, name.begin() + static_cast<std::ptrdiff_t>(underscore),
                       [](char c) { return c >= '0' && c <= '9'; });
}

namespace {

constexpr std::string_view marker = "@@ruvello ";

// Adds the names of processes' module instances that `line` holds, read as
// NuSMV reads names.
void add_process_instances(std::string_view line, std::set<std::string>& names) {
    for_each_identifier(line, [&](std::string_view name) {
        if (names_process_instance(name)) names.emplace(name);
    });
}

// The verdict a line of NuSMV's states, or nothing: "-- specification ...
// is true", "-- invariant ... is false", "-- the result of ... is 3".
std::optional<CheckerVerdict> verdict_of(std::string_view line) {
    if (!line.starts_with("-- ")) return std::nullopt;
    const std::size_t is = line.rfind(" is ");
    if (is == std::string_view::npos) return std::nullopt;
    std::string_view outcome = line.substr(is + 4);
    while (!outcome.empty() && (outcome.back() == ' ' || outcome.back() == '\r')) outcome.remove_suffix(1);
    CheckerVerdict verdict;
    if (line.starts_with("-- the result of ")) {
        verdict.verdict = Verdict::holds;
        verdict.value = std::string(outcome);
    } else if (outcome == "true" || outcome == "false") {
        verdict.verdict = outcome == "true" ? Verdict::holds : Verdict::fails;
    } else {
        return std::nullopt;
    }
    return verdict;
}

}  // namespace

OutputLines::OutputLines(ByteSource& source, std::size_t whole)
    : reader_(source, std::min(whole, kept_of_cut_line)), whole_(whole) {}

bool OutputLines::next(std::string_view& line) {
    std::string_view piece;
    if (!reader_.next_line_or_start(piece)) return false;
    start_ = end_;
    end_ += piece.size();
    cut_ = false;
    line = piece;
    if (reader_.line_goes_on()) {
        // Whole as far as `whole_` bytes go; beyond, its first piece and its last bytes.
        kept_.assign(piece);
        const std::size_t head = piece.size();
        while (reader_.next_piece(piece)) {
            end_ += piece.size();
            if (!cut_ && kept_.size() + piece.size() <= whole_) {
                kept_ += piece;
                continue;
            }
            if (!cut_) {
                cut_ = true;
                tail_.assign(kept_, head);
                kept_.resize(head);
            }
            tail_ += piece;
            if (tail_.size() > head) tail_.erase(0, tail_.size() - head);
        }
        if (cut_) kept_.append("...").append(tail_);
        line = kept_;
    }
    if (line.ends_with('\n')) line.remove_suffix(1);
    return true;
}

CheckerChoice choose_checker(const std::optional<std::string>& option,
                             const std::optional<std::string>& environment) {
    if (option) return {*option, "--checker"};
    if (environment && !environment->empty()) return {*environment, "RUVELLO_NUSMV"};
    return {"NuSMV", "PATH"};
}

std::string no_checker_message(const CheckerChoice& choice, std::string_view why) {
    const std::string tried = choice.named_by == "PATH"
                                  ? "no --checker, no RUVELLO_NUSMV, and NuSMV"
                                  : choice.named_by + " '" + textops::printable(choice.program) + "'";
    return "cannot run the model checker: " + tried + ": " + std::string(why) +
           "\nruvello checks with NuSMV (tested with NuSMV 2.6.0), which is not in Debian: download "
           "it from https://nusmv.fbk.eu/downloads.html, then put its bin/NuSMV on PATH, or name it "
           "with RUVELLO_NUSMV=/path/to/NuSMV or --checker PATH";
}

std::optional<std::string> refused_checker_option(std::string_view option) {
    static constexpr std::array<std::pair<std::string_view, std::string_view>, 7> refused{{
        {"-AG", "checks only properties of the form AG p and skips every other"},
        {"-bmc", "checks up to a bound only, and gives no verdict on many properties"},
        {"-df", "does without the reachable states, and runs for hours where it need not"},
        {"-n", "checks one property only and skips the others"},
        {"-source", "replaces the script through which ruvello reads the verdicts"},
        {"-lp", "lists the properties instead of checking them"},
        {"-int", "waits for commands instead of checking"},
    }};
    for (const auto& [refused_option, why] : refused)
        if (option == refused_option)
            return "--checker-option " + std::string(option) + " is refused: it " + std::string(why);
    return std::nullopt;
}

const std::vector<std::string> fast_options = {"-dynamic", "-dcx", "-mono"};
const std::vector<std::string> reference_options = {"-dynamic", "-dcx"};

std::vector<ListedProperty> read_listing(ByteSource& output, std::size_t most) {
    // "003 :AG x IN c1" then "  [CTL  Unchecked  N/A  c1.u]"; a formula
    // with a case goes on over lines of its own before the brackets.
    std::vector<ListedProperty> listed;
    std::optional<ListedProperty> open;
    std::size_t kept = 0;
    OutputLines lines(output, most);
    for (std::string_view line; lines.next(line);) {
        const std::size_t colon = line.find(" :");
        const bool starts_property = colon != std::string_view::npos && colon > 0 &&
                                     std::all_of(line.begin(), line.begin() + static_cast<std::ptrdiff_t>(colon),
                                                 [](char c) { return c >= '0' && c <= '9'; });
        if (!starts_property && !open) continue;
        kept += line.size();
        if (lines.cut() || kept > most)
            throw UnreadableOutput("the checker listed more than a listing of this translation can hold (" +
                                   std::to_string(most) + " bytes)");
        if (starts_property) {
            int index = 0;
            const auto [end, error] = std::from_chars(line.data(), line.data() + colon, index);
            if (error != std::errc()) continue;
            open = ListedProperty{index, "", "", "", std::string(line.substr(colon + 2))};
            continue;
        }
        if (!line.starts_with("  [") || !line.ends_with("]")) {
            open->formula.append(" ").append(line);
            continue;
        }
        std::istringstream fields(std::string(line.substr(3, line.size() - 4)));
        std::vector<std::string> words;
        for (std::string word; fields >> word;) words.push_back(word);
        if (words.size() >= 2) {
            open->kind = words.front();
            open->name = words.back();
            std::string& formula = open->formula;
            while (!formula.empty() && formula.back() == ' ') formula.pop_back();
            if (const std::size_t in = formula.rfind(" IN "); in != std::string::npos) {
                open->instance = formula.substr(in + 4);
                formula.resize(in);
            }
            listed.push_back(std::move(*open));
        }
        open.reset();
    }
    return listed;
}

std::optional<std::string> invariant_of(const ListedProperty& property) {
    if (smv::property_kind_of_text(property.kind) != smv::PropertyKind::ctl || !property.formula.starts_with("AG "))
        return std::nullopt;
    const std::string_view body = std::string_view(property.formula).substr(3);
    // No temporal operator in the body; the names of CTL's operators are
    // keywords, never a variable's.
    static constexpr std::array<std::string_view, 14> temporal{"EX", "AX",  "EF",  "AF",  "EG",  "AG",  "E",
                                                               "A",  "U",   "EBF", "ABF", "EBG", "ABG", "BU"};
    for (std::size_t at = 0; at < body.size();) {
        if (body[at] == '"' || body[at] == '\\') return std::nullopt;
        if (!starts_identifier(body[at]) || (at > 0 && continues_identifier(body[at - 1]))) {
            ++at;
            continue;
        }
        std::size_t end = at;
        while (end < body.size() && continues_identifier(body[end])) ++end;
        if (std::find(temporal.begin(), temporal.end(), body.substr(at, end - at)) != temporal.end())
            return std::nullopt;
        at = end;
    }
    return std::string(body) + (property.instance.empty() ? "" : " IN " + property.instance);
}

std::optional<std::string> read_version(ByteSource& output) {
    OutputLines lines(output);
    for (std::string_view line; lines.next(line);) {
        const std::size_t at = line.find("This is ");
        if (!line.starts_with("*** ") || at == std::string_view::npos) continue;
        std::string_view version = line.substr(at + 8);
        version = version.substr(0, std::min(version.find(" ("), version.size()));
        return std::string(version);
    }
    return std::nullopt;
}

std::string verdict_script(const std::string& model, const std::vector<Check>& checks, bool count_states) {
    std::string script = "set on_failure_script_quits\nread_model -i \"" + model + "\"\ngo\n";
    if (count_states) script += "echo " + std::string(marker) + "states\nprint_reachable_states\n";
    for (const Check& check : checks)
        script += "echo " + std::string(marker) + check.key + "\n" + check.command + "\n";
    return script + "quit\n";
}

VerdictsRead read_verdicts(ByteSource& output, bool instances) {
    VerdictsRead read;
    std::optional<std::string> key;     // whose output this is
    CheckerVerdict* telling = nullptr;  // the verdict whose text this is
    OutputLines lines(output);
    for (std::string_view line; lines.next(line);) {
        if (line.starts_with(marker)) {
            if (telling) telling->text_end = lines.start();
            telling = nullptr;
            const std::string_view word = line.substr(marker.size(), line.find_first_of(" \t\r", marker.size()) - marker.size());
            key = word.empty() ? std::nullopt : std::optional<std::string>(word);
            continue;
        }
        if (!key) continue;
        if (*key == "states") {
            if (read.states || !line.starts_with("reachable states: ")) continue;
            double states = 0;
            const std::string_view number = line.substr(18);
            const auto [end, error] = std::from_chars(number.data(), number.data() + number.size(), states);
            if (error == std::errc() && states >= 0) read.states = states;
            continue;
        }
        std::optional<CheckerVerdict> verdict = verdict_of(line);
        if (verdict && (telling || read.verdicts.contains(*key))) read.repeated.insert(*key);
        if (telling) {
            if (instances && telling->verdict == Verdict::fails) add_process_instances(line, telling->instances);
            continue;
        }
        if (!verdict || read.verdicts.contains(*key)) continue;
        verdict->text_start = lines.start();
        if (instances && verdict->verdict == Verdict::fails) add_process_instances(line, verdict->instances);
        telling = &read.verdicts.emplace(*key, std::move(*verdict)).first->second;
    }
    if (telling) telling->text_end = lines.end();
    return read;
}

std::string read_error(ByteSource& errors) {
    std::string message;
    int kept = 0;
    OutputLines lines(errors);
    for (std::string_view line; lines.next(line);) {
        // What NuSMV says after the reason, as it ends.
        if (line == "Aborting batch mode" || line == "NuSMV terminated by a signal") break;
        if (line.empty() || line.starts_with("***") || line.starts_with("WARNING ***")) continue;
        if (!message.empty()) message += '\n';
        // NuSMV takes back a character it printed with a backspace.
        for (const char c : line) {
            if (c != '\b') message += c;
            else if (!message.empty() && message.back() != '\n') message.pop_back();
        }
        if (++kept == 3) break;
    }
    return message;
}

std::string instance_as_in_model(std::string_view path) {
    std::string shown;
    for (std::size_t start = 0; start <= path.size();) {
        const std::size_t dot = std::min(path.find('.', start), path.size());
        const std::string_view part = path.substr(start, dot - start);
        if (!shown.empty()) shown += '.';
        if (names_process_instance(part)) {
            const std::size_t underscore = part.find('_');
            shown.append(part.substr(underscore + 1))
                .append("[")
                .append(part.substr(1, underscore - 1))
                .append("]");
        } else {
            shown += part;
        }
        start = dot + 1;
    }
    return shown;
}

}  // namespace ruvello::check
