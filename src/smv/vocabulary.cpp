#include "smv/vocabulary.h"

#include <algorithm>
#include <charconv>
#include <utility>

namespace ruvello::smv {

namespace {

// Words of NuSMV's expressions and types that it reserves besides the
// section keywords.
constexpr std::array<std::string_view, 52> reserved_words{
    "process", "array", "of",     "boolean",  "integer", "real", "word",  "case",  "esac", "mod", "next",
    "init",    "union", "in",     "xor",      "xnor",    "self", "TRUE",  "FALSE", "EX",   "AX",  "EF",
    "AF",      "EG",    "AG",     "E",        "F",       "O",    "G",     "H",     "X",    "Y",   "Z",
    "A",       "U",     "S",      "V",        "T",       "BU",   "EBF",   "ABF",   "EBG",  "ABG", "MIN",
    "MAX",     "NAME",  "signed", "unsigned", "word1",   "bool", "toint", "FORALL"};

constexpr std::array<std::string_view, 7> type_words{"boolean", "integer",  "real",  "clock",
                                                     "word",    "unsigned", "signed"};

constexpr std::array<std::string_view, 15> function_words{"abs",    "max",    "min",     "toint",    "bool",
                                                          "count",  "word1",  "signed",  "unsigned", "extend",
                                                          "resize", "sizeof", "swconst", "uwconst",  "floor"};

constexpr std::array<std::string_view, 6> ctl_operators{"EX", "AX", "EF", "AF", "EG", "AG"};

constexpr std::array<std::pair<PropertyKind, std::string_view>, 5> kind_texts{{
    {PropertyKind::ctl, "CTL"},
    {PropertyKind::ltl, "LTL"},
    {PropertyKind::invar, "INVAR"},
    {PropertyKind::psl, "PSL"},
    {PropertyKind::compute, "COMPUTE"},
}};

template <std::size_t size>
bool one_of(const std::array<std::string_view, size>& words, std::string_view word) {
    return std::find(words.begin(), words.end(), word) != words.end();
}

}  // namespace

bool is_reserved_word(std::string_view word) { return one_of(reserved_words, word) || is_section_keyword(word); }
bool is_type_word(std::string_view word) { return one_of(type_words, word); }
bool is_function_word(std::string_view word) { return one_of(function_words, word); }
bool is_ctl_operator(std::string_view word) { return one_of(ctl_operators, word); }

std::string_view text_of(PropertyKind kind) {
    for (const auto& [each, text] : kind_texts)
        if (each == kind) return text;
    return {};
}

std::optional<PropertyKind> property_kind_of_text(std::string_view text) {
    for (const auto& [kind, each] : kind_texts)
        if (each == text) return kind;
    return std::nullopt;
}

void append_instance_name(std::string& out, std::string_view prefix, std::size_t line,
                          std::span<const int> processes) {
    out.append(prefix).append(std::to_string(line));
    if (processes.empty()) out.append("_none");
    for (const int process : processes) out.append("_").append(std::to_string(process));
}

std::optional<InstanceName> read_instance_name(std::string_view name, std::string_view prefix) {
    if (!name.starts_with(prefix)) return std::nullopt;
    std::string_view rest = name.substr(prefix.size());
    InstanceName read;
    const auto [end, error] = std::from_chars(rest.data(), rest.data() + rest.size(), read.line);
    if (error != std::errc() || end == rest.data() + rest.size()) return std::nullopt;
    rest = rest.substr(static_cast<std::size_t>(end - rest.data()));
    if (rest == "_none") return read;
    while (rest.starts_with('_')) {
        int process = 0;
        const auto [after, bad] = std::from_chars(rest.data() + 1, rest.data() + rest.size(), process);
        if (bad != std::errc()) return std::nullopt;
        read.processes.push_back(process);
        rest = rest.substr(static_cast<std::size_t>(after - rest.data()));
    }
    if (!rest.empty() || read.processes.empty()) return std::nullopt;
    return read;
}

}  // namespace ruvello::smv
