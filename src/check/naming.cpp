#include "naming.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <map>
#include <utility>

#include "textops/textops.h"

namespace ruvello::check {

namespace {

// The kind of property a keyword starts, or nothing.
std::optional<std::string_view> property_kind(std::string_view word) {
    static constexpr std::array<std::pair<std::string_view, std::string_view>, 6> kinds{{
        {"SPEC", "CTL"},
        {"CTLSPEC", "CTL"},
        {"LTLSPEC", "LTL"},
        {"INVARSPEC", "INVAR"},
        {"PSLSPEC", "PSL"},
        {"COMPUTE", "COMPUTE"},
    }};
    for (const auto& [keyword, kind] : kinds)
        if (word == keyword) return kind;
    return std::nullopt;
}

// A word that starts a section or a module, and so ends whatever came before.
bool starts_section(std::string_view word) {
    static constexpr std::array<std::string_view, 16> words{
        "MODULE", "VAR",     "IVAR",       "FROZENVAR", "ASSIGN", "DEFINE",   "INIT",  "TRANS",
        "INVAR",  "FAIRNESS", "JUSTICE", "COMPASSION", "CONSTANTS", "ISA",    "PRED",  "MIRROR"};
    return std::find(words.begin(), words.end(), word) != words.end() || property_kind(word);
}

// The line of a marker "# 14 "m.in"", or nothing for any other line.
std::optional<std::size_t> marker_line(std::string_view line) {
    if (!line.starts_with("# ")) return std::nullopt;
    std::size_t number = 0;
    const auto [end, error] = std::from_chars(line.data() + 2, line.data() + line.size(), number);
    if (error != std::errc() || end == line.data() + line.size() || *end != ' ') return std::nullopt;
    return number;
}

// What a name that the translation gave a FORALL instance tells:
// ruvello_14_1_3 is the instance of line 14 for processes 1 and 3,
// ruvello_14_none stands for line 14's FORALL, which has none.
void decode_instance_name(NamedProperty& property) {
    std::string_view rest = property.name;
    if (!rest.starts_with("ruvello_")) return;
    rest.remove_prefix(8);
    std::size_t line = 0;
    const auto [end, error] = std::from_chars(rest.data(), rest.data() + rest.size(), line);
    if (error != std::errc() || end == rest.data() + rest.size()) return;
    rest = rest.substr(static_cast<std::size_t>(end - rest.data()));
    if (rest == "_none") {
        property.line = line;
        property.stand_in = true;
        return;
    }
    std::vector<int> processes;
    while (rest.starts_with('_')) {
        int process = 0;
        const auto read = std::from_chars(rest.data() + 1, rest.data() + rest.size(), process);
        if (read.ec != std::errc()) return;
        processes.push_back(process);
        rest = rest.substr(static_cast<std::size_t>(read.ptr - rest.data()));
    }
    if (!rest.empty() || processes.empty()) return;
    property.line = line;
    property.processes = std::move(processes);
}

}  // namespace

NamedTranslation name_properties(std::string_view translation) {
    NamedTranslation named;
    named.text.reserve(translation.size() + translation.size() / 8);
    std::string module;
    std::optional<std::string_view> pending;  // the kind of a keyword whose formula is to come
    std::map<std::size_t, int> unnamed_on_line;
    // The banner is the translation's first line; the model's first line is its second.
    std::size_t next_line = 0;
    for (std::size_t start = 0; start < translation.size();) {
        const std::size_t newline = translation.find('\n', start);
        const std::size_t end = newline == std::string_view::npos ? translation.size() : newline + 1;
        const std::string_view line = translation.substr(start, end - start);
        start = end;
        if (const std::optional<std::size_t> marked = marker_line(line)) {
            named.text += line;
            next_line = *marked;
            continue;
        }
        const std::size_t line_number = next_line++;
        const std::string_view code = line.substr(0, std::min(line.find("--"), line.size()));
        std::size_t copied = 0;
        for (std::size_t at = 0; at < code.size();) {
            const char c = code[at];
            if (c == ' ' || c == '\t' || c == '\r' || c == '\n') {
                ++at;
                continue;
            }
            const std::string_view word = textops::name_at(code, at);  // empty at a non-name
            if (pending && !starts_section(word)) {
                NamedProperty property{"", line_number, std::string(*pending), module, {}, false};
                pending.reset();
                if (word == "NAME") {
                    std::size_t name_start = at + word.size();
                    while (name_start < code.size() && (code[name_start] == ' ' || code[name_start] == '\t'))
                        ++name_start;
                    property.name = textops::name_at(code, name_start);
                    at = name_start + property.name.size();
                    decode_instance_name(property);
                    named.properties.push_back(std::move(property));
                    continue;
                }
                if (property.kind != "PSL") {
                    const int count = ++unnamed_on_line[line_number];
                    property.name = "ruvello_" + std::to_string(line_number) +
                                    (count > 1 ? "_p" + std::to_string(count) : "");
                    named.text += line.substr(copied, at - copied);
                    named.text += "NAME " + property.name + " := ";
                    copied = at;
                }
                named.properties.push_back(std::move(property));
            }
            pending.reset();
            if (word.empty()) {
                ++at;
                continue;
            }
            pending = property_kind(word);
            if (word == "MODULE") {
                std::size_t name_start = at + word.size();
                while (name_start < code.size() && (code[name_start] == ' ' || code[name_start] == '\t'))
                    ++name_start;
                module = textops::name_at(code, name_start);
            }
            at += word.size();
        }
        named.text += line.substr(copied);
    }
    return named;
}

}  // namespace ruvello::check
