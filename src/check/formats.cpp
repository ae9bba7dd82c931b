#include "check/formats.h"

#include <algorithm>
#include <array>
#include <climits>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <map>
#include <nlohmann/json.hpp>
#include <set>
#include <stdexcept>

#include "check/trace_table.h"
#include "smv/lexer.h"
#include "smv/parser.h"

namespace ruvello::check {

namespace {

using json = nlohmann::ordered_json;

template <typename T>
json or_null(const std::optional<T>& value) {
    return value ? json(*value) : json(nullptr);
}

// The counterexample shown for a verdict: the first one NuSMV gave of its
// property at its N, when that was of this instance.
const Counterexample* counterexample_of(const Results& results, const InstanceVerdict& verdict) {
    for (const Counterexample& each : results.counterexamples)
        if (each.n == verdict.n && each.line == verdict.line && each.processes == verdict.processes &&
            each.instance == verdict.instance)
            return &each;
    return nullptr;
}

// NuSMV's count of reachable states: a whole number where it is one that a
// JSON reader holds exactly (below 2^53), else as NuSMV gave it.
json states_json(const std::optional<double>& states) {
    constexpr double exact_below = 9007199254740992.0;
    if (states && *states < exact_below && *states == std::floor(*states))
        return json(static_cast<std::uint64_t>(*states));
    return or_null(states);
}

// The length of the UTF-8 sequence for one character at the start of
// `text`, or 0 when it is none: overlong forms and surrogates are none.
std::size_t utf8_length(std::string_view text) {
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
    const unsigned char first = byte(0);
    if (first < 0x80) return 1;
    const std::size_t length = first >= 0xC2 && first <= 0xDF ? 2 : first >= 0xE0 && first <= 0xEF ? 3
                               : first >= 0xF0 && first <= 0xF4                                    ? 4
                                                                                                   : 0;
    if (length == 0 || text.size() < length) return 0;
    for (std::size_t i = 1; i < length; ++i)
        if ((byte(i) & 0xC0) != 0x80) return 0;
    const unsigned char second = byte(1);
    if ((first == 0xE0 && second < 0xA0) || (first == 0xED && second > 0x9F) ||
        (first == 0xF0 && second < 0x90) || (first == 0xF4 && second > 0x8F))
        return 0;
    // U+FFFE and U+FFFF are no characters of XML.
    if (first == 0xEF && second == 0xBF && byte(2) >= 0xBE) return 0;
    return length;
}

// Text as XML 1.0 can hold it in an attribute or an element: the five
// special characters as entities, the control characters it cannot hold at
// all as visible escapes, and bytes that are not UTF-8 as U+FFFD.
std::string xml_escaped(std::string_view text) {
    std::string escaped;
    for (std::size_t at = 0; at < text.size();) {
        const char c = text[at];
        const std::size_t length = utf8_length(text.substr(at));
        if (length == 0) {
            escaped += "\xEF\xBF\xBD";
            ++at;
            continue;
        }
        if (length > 1) {
            escaped.append(text.substr(at, length));
            at += length;
            continue;
        }
        ++at;
        switch (c) {
        case '&': escaped += "&amp;"; break;
        case '<': escaped += "&lt;"; break;
        case '>': escaped += "&gt;"; break;
        case '"': escaped += "&quot;"; break;
        case '\'': escaped += "&apos;"; break;
        case '\n': escaped += "&#10;"; break;
        case '\t': escaped += "&#9;"; break;
        case '\r': escaped += "&#13;"; break;
        default:
            if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f) {
                char code[8];
                std::snprintf(code, sizeof code, "\\x%02x", static_cast<unsigned char>(c));
                escaped += code;
            } else {
                escaped += c;
            }
        }
    }
    return escaped;
}

// "sha256:" and 64 lower-case hexadecimal digits.
bool is_model_digest(std::string_view text) {
    constexpr std::string_view prefix = "sha256:";
    return text.size() == prefix.size() + 64 && text.starts_with(prefix) &&
           text.find_first_not_of("0123456789abcdef", prefix.size()) == std::string_view::npos;
}

// Reads a document field by field, each checked against what to_json
// writes; the first that is not says where it is and why.
class Reader {
public:
    [[noreturn]] void refuse(const std::string& field, const std::string& why) const {
        throw std::runtime_error(field + ": " + why);
    }
    const json& at(const json& object, const std::string& field, const std::string& key) const {
        if (!object.is_object()) refuse(field, "not an object");
        const auto found = object.find(key);
        if (found == object.end()) refuse(field + "." + key, "missing");
        return *found;
    }
    const json& array(const json& value, const std::string& field) const {
        if (!value.is_array()) refuse(field, "not a list");
        return value;
    }
    std::string text(const json& value, const std::string& field) const {
        if (!value.is_string()) refuse(field, "not a text");
        return value.get<std::string>();
    }
    std::optional<std::string> text_or_null(const json& value, const std::string& field) const {
        if (value.is_null()) return std::nullopt;
        return text(value, field);
    }
    std::string one_of(const json& value, const std::string& field, std::initializer_list<std::string_view> words) const {
        const std::string word = text(value, field);
        if (std::find(words.begin(), words.end(), word) != words.end()) return word;
        std::string list;
        for (const std::string_view each : words) {
            if (!list.empty()) list += ", ";
            list += each;
        }
        refuse(field, "'" + shown(word) + "' is none of " + list);
    }
    // The one of `values` that `value` names.
    template <typename Enum, std::size_t size>
    Enum value_of(const json& value, const std::string& field, const Enum (&values)[size]) const {
        const std::string word = text(value, field);
        if (const std::optional<Enum> found = named(values, word)) return *found;
        std::string list;
        for (const Enum each : values) list += (list.empty() ? "" : ", ") + std::string(text_of(each));
        refuse(field, "'" + shown(word) + "' is none of " + list);
    }
    long long whole(const json& value, const std::string& field, long long least, long long most) const {
        if (!value.is_number_integer()) refuse(field, "not a whole number");
        const long long number = value.is_number_unsigned() && value.get<unsigned long long>() > LLONG_MAX
                                     ? LLONG_MAX
                                     : value.get<long long>();
        if (number < least || number > most)
            refuse(field, std::to_string(number) + " is not from " + std::to_string(least) + " to " + std::to_string(most));
        return number;
    }

    double amount(const json& value, const std::string& field) const {
        if (!value.is_number() || !std::isfinite(value.get<double>()) || value.get<double>() < 0)
            refuse(field, "not a number of 0 or more");
        return value.get<double>();
    }

    // A text from the document as a message may show it.
    static std::string shown(std::string_view text) {
        std::string result;
        for (const char c : text.substr(0, 60)) result += static_cast<unsigned char>(c) < 0x20 || c == 0x7f ? '?' : c;
        return result;
    }
};

// An operator of time, as NuSMV reserves them, or next or init.
bool is_temporal(const smv::Token& token) {
    constexpr std::array<std::string_view, 26> words{"EX", "AX",  "EF",  "AF",  "EG",  "AG", "E", "A", "U",
                                                     "BU", "EBF", "ABF", "EBG", "ABG", "X",  "F", "G", "Y",
                                                     "Z",  "H",   "O",   "S",   "T",   "V",  "next", "init"};
    return token.kind == smv::TokenKind::name && std::find(words.begin(), words.end(), token.text) != words.end();
}

// What a row's text shows of the property whose formula starts on its
// line: whether it is a FORALL and over how many processes, and whether it
// may be an invariant of main, which alone the counted model decides for
// every N (SPEC AG phi, phi without temporal operators; FORALL (i) phi,
// read as AG phi; INVARSPEC phi). What the text does not show, cut short
// or after a comment, is taken to be possible.
struct LineText {
    bool forall = false;
    std::optional<std::size_t> forall_processes;
    bool may_be_invariant = false;
};

LineText read_line_text(const Property& property) {
    LineText line;
    const std::vector<smv::Token> tokens = smv::tokenize(property.text);
    const auto is_keyword = [&](std::size_t at) {
        return tokens[at].kind == smv::TokenKind::name && smv::is_property_keyword(tokens[at].text);
    };
    // The text starts with the keyword when the formula starts on its line.
    std::size_t at = is_keyword(0) ? 1 : 0;
    std::size_t end = at;
    while (tokens[end].kind != smv::TokenKind::end && !is_keyword(end)) ++end;
    if (at < end && tokens[at].is("NAME")) {
        while (at < end && !tokens[at].is(":=")) ++at;
        at = std::min(at + 1, end);
    }
    line.forall = at < end && tokens[at].is("FORALL");
    if (line.forall && ++at < end && tokens[at].is("(")) {
        std::size_t names = 0;
        while (++at < end && !tokens[at].is(")")) names += tokens[at].kind == smv::TokenKind::name;
        if (at < end) line.forall_processes = names;
        at = std::min(at + 1, end);
    }
    const bool shown = at < end;
    // AG, the only operator of time that may lead, and what it applies to.
    const bool ctl = property.kind == smv::PropertyKind::ctl;
    bool leading_ag = false;
    for (; ctl && at < end && (tokens[at].is("AG") || tokens[at].is("(")); ++at)
        leading_ag |= tokens[at].is("AG");
    const bool ag_needed = ctl && !(line.forall && line.forall_processes == 1);
    const bool timeless = std::none_of(tokens.begin() + static_cast<std::ptrdiff_t>(at),
                                       tokens.begin() + static_cast<std::ptrdiff_t>(end), is_temporal);
    line.may_be_invariant = property.module == "main" && (ctl || property.kind == smv::PropertyKind::invar) &&
                            (!shown || ((leading_ag || !ag_needed) && timeless));
    return line;
}

using Lines = std::map<std::size_t, LineText>;

// The processes of a verdict are those of its line's FORALL: as many as it
// names, and distinct.
void refuse_impossible_processes(const InstanceVerdict& verdict, const LineText& line, const std::string& field,
                                 const Reader& read) {
    const std::vector<int>& processes = *verdict.processes;
    if (!line.forall)
        read.refuse(field + ".processes", "processes for line " + std::to_string(verdict.line) + ", no FORALL");
    if (processes.empty() || (line.forall_processes && processes.size() != *line.forall_processes))
        read.refuse(field + ".processes", std::to_string(processes.size()) + " processes for a FORALL over " +
                                              (line.forall_processes ? std::to_string(*line.forall_processes)
                                                                     : std::string("some")));
    for (std::size_t k = 1; k < processes.size(); ++k)
        if (std::find(processes.begin(), processes.begin() + static_cast<std::ptrdiff_t>(k), processes[k]) !=
            processes.begin() + static_cast<std::ptrdiff_t>(k))
            read.refuse(field + ".processes[" + std::to_string(k) + "]",
                        "process " + std::to_string(processes[k]) + " a second time: the processes of a "
                        "FORALL are distinct");
}

// A verdict is one that its run could give.
void refuse_impossible_verdicts(const Results& results, const Lines& lines, const Reader& read) {
    std::map<int, const Run*> runs;
    for (const Run& run : results.runs) runs.emplace(run.n, &run);
    for (std::size_t i = 0; i < results.verdicts.size(); ++i) {
        const InstanceVerdict& verdict = results.verdicts[i];
        const std::string field = "verdicts[" + std::to_string(i) + "]";
        const Outcome outcome = runs.at(verdict.n)->outcome;
        if (outcome == Outcome::skipped) read.refuse(field + ".n", "N = " + std::to_string(verdict.n) + " was skipped");
        // These verdicts are what a run with that outcome leaves.
        for (const Outcome of_the_run : {Outcome::timeout, Outcome::interrupted, Outcome::skipped})
            if (verdict.verdict == verdict_missing_in(of_the_run) && outcome != of_the_run)
                read.refuse(field + ".verdict", std::string(text_of(verdict.verdict)) + " in a run of N = " +
                                                    std::to_string(verdict.n) + " whose outcome is " +
                                                    std::string(text_of(outcome)));
        if (verdict.processes)
            refuse_impossible_processes(verdict, lines.at(verdict.line), field, read);
    }
}

// A property of main has a verdict at every N done, unless it is a FORALL
// over more processes than N; one of a module may have no instance.
void refuse_missing_verdicts(const Results& results, const Lines& lines, const Reader& read) {
    std::set<std::pair<int, std::size_t>> with_verdict;  // N and line
    for (const InstanceVerdict& verdict : results.verdicts) with_verdict.emplace(verdict.n, verdict.line);
    for (std::size_t r = 0; r < results.runs.size(); ++r) {
        const Run& run = results.runs[r];
        if (run.outcome != Outcome::done) continue;
        for (const Property& property : results.properties) {
            const LineText& line = lines.at(property.line);
            const bool none_to_check =
                property.module != "main" ||
                (line.forall && (!line.forall_processes ||
                                 *line.forall_processes > static_cast<std::size_t>(run.n)));
            if (!none_to_check && !with_verdict.contains({run.n, property.line}))
                read.refuse("runs[" + std::to_string(r) + "]",
                            "N = " + std::to_string(run.n) + " is done, but line " + std::to_string(property.line) +
                                " has no verdict for it");
        }
    }
}

// The column every N: false from a false verdict alone, as the finite
// verdicts leave it, true only for an invariant, and one verdict for a
// line, whose properties, when it has several, are outside the class
// that the counted model decides.
void refuse_impossible_every_n(const Results& results, const Lines& lines, const Reader& read) {
    std::map<std::size_t, std::size_t> first_of_line;
    for (std::size_t i = 0; i < results.every_n.size(); ++i) {
        const EveryN& each = results.every_n[i];
        const std::string field = "every_n[" + std::to_string(i) + "]";
        const std::string line_text = "line " + std::to_string(each.line);
        const EveryN left = with_finite_verdicts(each, results.verdicts);
        if (left.verdict != each.verdict)
            read.refuse(field + ".verdict", std::string(text_of(each.verdict)) + ", but the verdicts of " + line_text +
                                                " make it " + std::string(text_of(left.verdict)));
        const bool some_false = std::any_of(results.verdicts.begin(), results.verdicts.end(), [&](const InstanceVerdict& v) {
            return v.line == each.line && v.verdict == Verdict::fails;
        });
        if (each.verdict == Decision::fails && !some_false)
            read.refuse(field + ".verdict", "false, but no verdict of " + line_text + " is false");
        if (each.verdict == Decision::holds && !lines.at(each.line).may_be_invariant)
            read.refuse(field + ".verdict", "true for " + line_text + ", which is no invariant of main (AG of a "
                                            "state formula) that the counted model decides");
        const auto [first, added] = first_of_line.emplace(each.line, i);
        if (!added && results.every_n[first->second].verdict != each.verdict)
            read.refuse(field + ".verdict", std::string(text_of(each.verdict)) + ", but every_n[" +
                                                std::to_string(first->second) + "] says " +
                                                std::string(text_of(results.every_n[first->second].verdict)) + " of " +
                                                line_text);
    }
}

// Refuses a document that no check writes, though each field is one that a
// check may write: a verdict that its run could not give, a run done
// without a verdict for a property that it checks, a tuple of processes
// that no FORALL has, a column every N that the finite verdicts or the
// property's form rule out.
void refuse_impossible(const Results& results, const Reader& read) {
    Lines lines;
    for (const Property& property : results.properties) lines.emplace(property.line, read_line_text(property));
    refuse_impossible_verdicts(results, lines, read);
    refuse_missing_verdicts(results, lines, read);
    refuse_impossible_every_n(results, lines, read);
}

}  // namespace

std::string to_json(const Results& results) {
    json document;
    document["model"] = results.model;
    document["model_digest"] = or_null(results.model_digest);
    document["checker"] = {{"path", results.checker_path}, {"version", results.checker_version}};
    document["every_tuple"] = results.every_tuple;
    document["runs"] = json::array();
    for (const Run& run : results.runs)
        document["runs"].push_back({{"n", run.n},
                                    {"outcome", text_of(run.outcome)},
                                    {"seconds", run.seconds},
                                    {"message", or_null(run.message)},
                                    {"states", states_json(run.states)},
                                    {"max_rss_kb", or_null(run.max_rss_kb)}});
    document["properties"] = json::array();
    for (const Property& property : results.properties)
        document["properties"].push_back({{"line", property.line},
                                          {"kind", std::string(smv::text_of(property.kind))},
                                          {"module", property.module},
                                          {"text", property.text}});
    document["verdicts"] = json::array();
    for (const InstanceVerdict& verdict : results.verdicts) {
        const Counterexample* counterexample = counterexample_of(results, verdict);
        document["verdicts"].push_back({{"n", verdict.n},
                                        {"line", verdict.line},
                                        {"processes", or_null(verdict.processes)},
                                        {"instance", or_null(verdict.instance)},
                                        {"verdict", text_of(verdict.verdict)},
                                        {"value", or_null(verdict.value)},
                                        {"trace", or_null(verdict.trace)},
                                        {"counterexample", counterexample ? json(trace_json(counterexample->trace)) : json(nullptr)}});
    }
    document["every_n"] = json::array();
    for (const EveryN& each : results.every_n)
        document["every_n"].push_back({{"line", each.line},
                                       {"verdict", text_of(each.verdict)},
                                       {"reason", or_null(each.reason)},
                                       {"method", each.method},
                                       {"counterexample", each.counterexample.empty() ? json(nullptr) : json(each.counterexample)}});
    document["warnings"] = json::array();
    for (const CostlyWarning& warning : results.warnings)
        document["warnings"].push_back(
            {{"line", warning.line}, {"property", or_null(warning.property)}, {"message", warning.message}});
    document["notes"] = results.notes;
    if (results.budget)
        document["budget"] = {{"seconds", results.budget->seconds},
                              {"used", results.budget->used},
                              {"next_n", or_null(results.budget->next_n)},
                              {"predicted_seconds", or_null(results.budget->predicted_seconds)}};
    // Bytes that are not UTF-8 (a model in another encoding) are replaced, not refused.
    return document.dump(2, ' ', false, json::error_handler_t::replace) + "\n";
}

namespace {

constexpr long long most_lines = LLONG_MAX;

// One run of a document; a second run of one N is refused.
Run read_run(const Reader& read, const json& each, const std::string& field, std::set<int>& ns) {
    Run run;
    run.n = static_cast<int>(read.whole(read.at(each, field, "n"), field + ".n", 1, INT_MAX));
    if (!ns.insert(run.n).second) read.refuse(field + ".n", "N = " + std::to_string(run.n) + " a second time");
    run.outcome = read.value_of(read.at(each, field, "outcome"), field + ".outcome", every_outcome);
    run.seconds = read.amount(read.at(each, field, "seconds"), field + ".seconds");
    run.message = read.text_or_null(read.at(each, field, "message"), field + ".message");
    // Documents of earlier versions have no states and memory.
    if (const auto states = each.find("states"); states != each.end() && !states->is_null())
        run.states = read.amount(*states, field + ".states");
    if (const auto memory = each.find("max_rss_kb"); memory != each.end() && !memory->is_null())
        run.max_rss_kb = static_cast<long>(read.whole(*memory, field + ".max_rss_kb", 0, LONG_MAX));
    return run;
}

// One property of a document; a second property of one line is refused.
Property read_property(const Reader& read, const json& each, const std::string& field, std::set<std::size_t>& lines) {
    Property property;
    property.line = static_cast<std::size_t>(read.whole(read.at(each, field, "line"), field + ".line", 1, most_lines));
    if (!lines.insert(property.line).second) read.refuse(field + ".line", "line " + std::to_string(property.line) + " a second time");
    property.kind = read.value_of(read.at(each, field, "kind"), field + ".kind", smv::every_property_kind);
    property.module = read.text(read.at(each, field, "module"), field + ".module");
    property.text = read.text(read.at(each, field, "text"), field + ".text");
    return property;
}

// One verdict, of a run and a property that the document has.
InstanceVerdict read_verdict(const Reader& read, const json& each, const std::string& field, const std::set<int>& ns,
                             const std::set<std::size_t>& lines) {
    InstanceVerdict verdict;
    verdict.n = static_cast<int>(read.whole(read.at(each, field, "n"), field + ".n", 1, INT_MAX));
    if (!ns.contains(verdict.n)) read.refuse(field + ".n", "no run has N = " + std::to_string(verdict.n));
    verdict.line = static_cast<std::size_t>(read.whole(read.at(each, field, "line"), field + ".line", 1, most_lines));
    if (!lines.contains(verdict.line))
        read.refuse(field + ".line", "no property has line " + std::to_string(verdict.line));
    if (const json& processes = read.at(each, field, "processes"); !processes.is_null()) {
        verdict.processes.emplace();
        for (std::size_t k = 0; k < read.array(processes, field + ".processes").size(); ++k)
            verdict.processes->push_back(static_cast<int>(read.whole(
                processes[k], field + ".processes[" + std::to_string(k) + "]", 1, verdict.n)));
    }
    verdict.instance = read.text_or_null(read.at(each, field, "instance"), field + ".instance");
    verdict.verdict = read.value_of(read.at(each, field, "verdict"), field + ".verdict", every_verdict);
    verdict.value = read.text_or_null(read.at(each, field, "value"), field + ".value");
    verdict.trace = read.text_or_null(read.at(each, field, "trace"), field + ".trace");
    return verdict;
}

// The counterexample of a verdict, which documents of earlier versions do
// not have; only a false verdict has one.
std::optional<Counterexample> read_counterexample(const Reader& read, const json& each, const std::string& field,
                                                  const InstanceVerdict& verdict) {
    const auto found = each.find("counterexample");
    if (found == each.end() || found->is_null()) return std::nullopt;
    if (verdict.verdict != Verdict::fails) read.refuse(field + ".counterexample", "a verdict that is not false has none");
    try {
        return Counterexample{verdict.n, verdict.line, verdict.processes, verdict.instance,
                              trace_from_json(nlohmann::json(*found), verdict.n)};
    } catch (const std::invalid_argument& wrong) {
        throw std::runtime_error(field + ".counterexample" + wrong.what());
    }
}

// One entry of the column every N, of a property that the document has.
EveryN read_every_n(const Reader& read, const json& each, const std::string& field, const std::set<std::size_t>& lines) {
    EveryN decided;
    decided.line = static_cast<std::size_t>(read.whole(read.at(each, field, "line"), field + ".line", 1, most_lines));
    if (!lines.contains(decided.line))
        read.refuse(field + ".line", "no property has line " + std::to_string(decided.line));
    decided.verdict = read.value_of(read.at(each, field, "verdict"), field + ".verdict", every_decision);
    decided.reason = read.text_or_null(read.at(each, field, "reason"), field + ".reason");
    decided.method = read.one_of(read.at(each, field, "method"), field + ".method", {"counter abstraction"});
    // Documents of earlier versions have no counterexample of the counted model.
    if (const auto found = each.find("counterexample"); found != each.end() && !found->is_null()) {
        if (decided.verdict != Decision::undecided) read.refuse(field + ".counterexample", "a decided row has none");
        const json& lines = read.array(*found, field + ".counterexample");
        if (lines.size() > 32) read.refuse(field + ".counterexample", "more than 32 lines");
        for (std::size_t k = 0; k < lines.size(); ++k)
            decided.counterexample.push_back(read.text(lines[k], field + ".counterexample[" + std::to_string(k) + "]"));
    }
    return decided;
}

CostlyWarning read_warning(const Reader& read, const json& each, const std::string& field) {
    CostlyWarning warning;
    warning.line = static_cast<std::size_t>(read.whole(read.at(each, field, "line"), field + ".line", 1, most_lines));
    if (const json& property = read.at(each, field, "property"); !property.is_null())
        warning.property = static_cast<std::size_t>(read.whole(property, field + ".property", 1, most_lines));
    warning.message = read.text(read.at(each, field, "message"), field + ".message");
    return warning;
}

Results::Budget read_budget_of(const Reader& read, const json& budget) {
    Results::Budget read_budget;
    read_budget.seconds = read.amount(read.at(budget, "budget", "seconds"), "budget.seconds");
    read_budget.used = read.amount(read.at(budget, "budget", "used"), "budget.used");
    if (const json& next = read.at(budget, "budget", "next_n"); !next.is_null())
        read_budget.next_n = static_cast<int>(read.whole(next, "budget.next_n", 1, INT_MAX));
    if (const json& predicted = read.at(budget, "budget", "predicted_seconds"); !predicted.is_null())
        read_budget.predicted_seconds = read.amount(predicted, "budget.predicted_seconds");
    return read_budget;
}

}  // namespace

Results from_json(std::string_view text) {
    json document;
    try {
        document = json::parse(text);
    } catch (const json::exception&) {
        throw std::runtime_error("not JSON; a document of ruvello --check --json is");
    }
    const Reader read;
    Results results;
    results.model = read.text(read.at(document, "document", "model"), "model");
    // Documents of earlier versions have no digest of the model.
    if (const auto digest = document.find("model_digest"); digest != document.end() && !digest->is_null()) {
        results.model_digest = read.text(*digest, "model_digest");
        if (!is_model_digest(*results.model_digest))
            read.refuse("model_digest", "'" + Reader::shown(*results.model_digest) + "' is not sha256: and 64 "
                                        "hexadecimal digits");
    }
    const json& checker = read.at(document, "document", "checker");
    results.checker_path = read.text(read.at(checker, "checker", "path"), "checker.path");
    results.checker_version = read.text(read.at(checker, "checker", "version"), "checker.version");
    const json& every_tuple = read.at(document, "document", "every_tuple");
    if (!every_tuple.is_boolean()) read.refuse("every_tuple", "not true or false");
    results.every_tuple = every_tuple.get<bool>();

    const json& runs = read.array(read.at(document, "document", "runs"), "runs");
    std::set<int> ns;
    for (std::size_t i = 0; i < runs.size(); ++i) {
        const std::string field = "runs[" + std::to_string(i) + "]";
        results.runs.push_back(read_run(read, runs[i], field, ns));
    }
    const json& properties = read.array(read.at(document, "document", "properties"), "properties");
    std::set<std::size_t> lines;
    for (std::size_t i = 0; i < properties.size(); ++i) {
        const std::string field = "properties[" + std::to_string(i) + "]";
        results.properties.push_back(read_property(read, properties[i], field, lines));
    }
    const json& verdicts = read.array(read.at(document, "document", "verdicts"), "verdicts");
    for (std::size_t i = 0; i < verdicts.size(); ++i) {
        const std::string field = "verdicts[" + std::to_string(i) + "]";
        results.verdicts.push_back(read_verdict(read, verdicts[i], field, ns, lines));
        if (auto counterexample = read_counterexample(read, verdicts[i], field, results.verdicts.back()))
            results.counterexamples.push_back(std::move(*counterexample));
    }
    // Documents of earlier versions have no every_n, warnings or notes.
    if (const auto every_n = document.find("every_n"); every_n != document.end()) {
        for (std::size_t i = 0; i < read.array(*every_n, "every_n").size(); ++i) {
            const std::string field = "every_n[" + std::to_string(i) + "]";
            results.every_n.push_back(read_every_n(read, (*every_n)[i], field, lines));
        }
    }
    if (const auto warnings = document.find("warnings"); warnings != document.end()) {
        for (std::size_t i = 0; i < read.array(*warnings, "warnings").size(); ++i) {
            const std::string field = "warnings[" + std::to_string(i) + "]";
            results.warnings.push_back(read_warning(read, (*warnings)[i], field));
        }
    }
    if (const auto notes = document.find("notes"); notes != document.end())
        for (std::size_t i = 0; i < read.array(*notes, "notes").size(); ++i)
            results.notes.push_back(read.text((*notes)[i], "notes[" + std::to_string(i) + "]"));
    if (const auto budget = document.find("budget"); budget != document.end()) {
        results.budget = read_budget_of(read, *budget);
    }
    refuse_impossible(results, read);
    return results;
}

std::string to_junit(const Results& results) {
    std::string xml = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<testsuites name=\"ruvello --check " +
                      xml_escaped(results.model) + "\">\n";
    for (const Run& run : results.runs) {
        std::vector<const InstanceVerdict*> verdicts;
        for (const InstanceVerdict& verdict : results.verdicts)
            if (verdict.n == run.n) verdicts.push_back(&verdict);
        const auto count = [&](const std::vector<Verdict>& kinds) {
            return std::count_if(verdicts.begin(), verdicts.end(), [&](const InstanceVerdict* verdict) {
                return std::find(kinds.begin(), kinds.end(), verdict->verdict) != kinds.end();
            });
        };
        const bool failed = run.outcome != Outcome::done;
        // Appended, not "N=" + a temporary: g++ 12 takes the copy into the
        // front of a temporary for one that may overlap, and warns.
        const std::string suite = std::string("N=").append(std::to_string(run.n));
        xml += "  <testsuite name=\"" + suite + "\" tests=\"" + std::to_string(verdicts.size() + (failed ? 1 : 0)) +
               "\" failures=\"" + std::to_string(count({Verdict::fails})) + "\" errors=\"" +
               std::to_string(static_cast<std::size_t>(count({Verdict::error, Verdict::timeout, Verdict::warned, Verdict::interrupted})) +
                              (failed ? 1 : 0)) +
               "\" time=\"" + std::to_string(run.seconds) + "\">\n";
        if (failed)
            xml += "    <testcase name=\"" + suite + " run\" classname=\"" + xml_escaped(results.model) +
                   "\" file=\"" + xml_escaped(results.model) + "\"><error message=\"" + xml_escaped(text_of(run.outcome)) +
                   "\">" + xml_escaped(run.message.value_or("")) + "</error></testcase>\n";
        for (const InstanceVerdict* verdict : verdicts) {
            std::string name = suite + " line " + std::to_string(verdict->line);
            if (verdict->processes) {
                name += " (";
                for (std::size_t i = 0; i < verdict->processes->size(); ++i) {
                    if (i > 0) name += ',';
                    name += std::to_string((*verdict->processes)[i]);
                }
                name += ")";
            }
            if (verdict->instance) name += " " + *verdict->instance;
            xml += "    <testcase name=\"" + xml_escaped(name) + "\" classname=\"" +
                   xml_escaped(results.model) + "\" file=\"" + xml_escaped(results.model) +
                   "\" line=\"" + std::to_string(verdict->line) + "\"";
            // A CI page shows the counterexample with the failure.
            const Counterexample* counterexample = counterexample_of(results, *verdict);
            if (verdict->verdict == Verdict::fails && counterexample)
                xml += "><failure message=\"the property is false\">" + xml_escaped(trace_table(counterexample->trace)) +
                       "</failure></testcase>\n";
            else if (verdict->verdict == Verdict::fails)
                xml += "><failure message=\"the property is false\"/></testcase>\n";
            else if (verdict->verdict != Verdict::holds)
                xml += "><error message=\"" + xml_escaped(text_of(verdict->verdict)) + "\"/></testcase>\n";
            else
                xml += "/>\n";
        }
        xml += "  </testsuite>\n";
    }
    return xml + "</testsuites>\n";
}

}  // namespace ruvello::check
