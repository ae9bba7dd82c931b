// The words of SMV, in one place: the keywords of sections and properties,
// the words NuSMV reserves, the kinds of property, the characters of a name
// and the names ruvello gives the instances of a FORALL. The line translator,
// the parser, the counted model and the naming of a checker's translation
// all read them from here.
#pragma once

#include <array>
#include <cstddef>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "textops/textops.h"

namespace ruvello::smv {

// ---- Property kinds ----

enum class PropertyKind { ctl, ltl, invar, psl, compute };
inline constexpr PropertyKind every_property_kind[] = {PropertyKind::ctl, PropertyKind::ltl, PropertyKind::invar,
                                                  PropertyKind::psl, PropertyKind::compute};

// The kind's text as NuSMV lists it and documents carry it: "CTL", "LTL",
// "INVAR", "PSL" or "COMPUTE".
std::string_view text_of(PropertyKind kind);
// The kind of that text, or nothing for any other.
std::optional<PropertyKind> property_kind_of_text(std::string_view text);

// ---- Keywords ----

// What a section keyword opens.
enum class KeywordUse {
    module,     // MODULE
    variables,  // VAR, IVAR, FROZENVAR: declarations
    section,    // the other sections of a module (DEFINE, ASSIGN, INIT, ...)
    property,   // SPEC, CTLSPEC, LTLSPEC, INVARSPEC, PSLSPEC, COMPUTE
    formula,    // SIMPWFF, CTLWFF, LTLWFF, PSLWFF, COMPWFF: formulas written on their own
};

struct SectionKeyword {
    std::string_view word;
    KeywordUse use;
    // Whether the naming of a translation's properties takes the word to
    // end a property and start a section: every keyword but MDEFINE,
    // PREDICATES and the formula words, which it has always read as words of
    // the property they follow.
    bool ends_named_property = true;
    // The kind of property a property keyword starts (SPEC and CTLSPEC both CTL).
    std::optional<PropertyKind> property_kind = std::nullopt;
};

// NuSMV's section keywords: each starts a section or a module, and so ends
// whatever came before it.
inline constexpr std::array<SectionKeyword, 29> section_keywords{{
    {"MODULE", KeywordUse::module},
    {"VAR", KeywordUse::variables},
    {"IVAR", KeywordUse::variables},
    {"FROZENVAR", KeywordUse::variables},
    {"DEFINE", KeywordUse::section},
    {"MDEFINE", KeywordUse::section, false},
    {"ASSIGN", KeywordUse::section},
    {"INIT", KeywordUse::section},
    {"TRANS", KeywordUse::section},
    {"INVAR", KeywordUse::section},
    {"FAIRNESS", KeywordUse::section},
    {"JUSTICE", KeywordUse::section},
    {"COMPASSION", KeywordUse::section},
    {"CONSTANTS", KeywordUse::section},
    {"ISA", KeywordUse::section},
    {"PRED", KeywordUse::section},
    {"PREDICATES", KeywordUse::section, false},
    {"MIRROR", KeywordUse::section},
    {"SPEC", KeywordUse::property, true, PropertyKind::ctl},
    {"CTLSPEC", KeywordUse::property, true, PropertyKind::ctl},
    {"LTLSPEC", KeywordUse::property, true, PropertyKind::ltl},
    {"INVARSPEC", KeywordUse::property, true, PropertyKind::invar},
    {"PSLSPEC", KeywordUse::property, true, PropertyKind::psl},
    {"COMPUTE", KeywordUse::property, true, PropertyKind::compute},
    {"SIMPWFF", KeywordUse::formula, false},
    {"CTLWFF", KeywordUse::formula, false},
    {"LTLWFF", KeywordUse::formula, false},
    {"PSLWFF", KeywordUse::formula, false},
    {"COMPWFF", KeywordUse::formula, false},
}};

// The section keyword `word` is, or nothing.
constexpr std::optional<SectionKeyword> section_keyword(std::string_view word) {
    for (const SectionKeyword& keyword : section_keywords)
        if (keyword.word == word) return keyword;
    return std::nullopt;
}
constexpr bool is_section_keyword(std::string_view word) { return section_keyword(word).has_value(); }
// Whether `word` opens a section of declarations: VAR, IVAR or FROZENVAR.
constexpr bool is_variables_keyword(std::string_view word) {
    const std::optional<SectionKeyword> keyword = section_keyword(word);
    return keyword && keyword->use == KeywordUse::variables;
}

// Whether NuSMV reserves `word`, so that no name may be it: a section
// keyword, or a word of its expressions and types.
bool is_reserved_word(std::string_view word);

// The types written as one word, besides a module's name: boolean,
// integer, real, clock, word, unsigned and signed.
bool is_type_word(std::string_view word);

// The functions NuSMV knows (abs, max, toint, ...).
bool is_function_word(std::string_view word);

// CTL's operators on one state formula: EX, AX, EF, AF, EG, AG.
bool is_ctl_operator(std::string_view word);

// The kind a property keyword starts (SPEC and CTLSPEC both CTL), or nothing
// when `word` is no property keyword.
constexpr std::optional<PropertyKind> property_kind_of_keyword(std::string_view word) {
    const std::optional<SectionKeyword> keyword = section_keyword(word);
    return keyword ? keyword->property_kind : std::nullopt;
}
constexpr bool is_property_keyword(std::string_view word) { return property_kind_of_keyword(word).has_value(); }
// The property keyword `word` is, as a text that lasts; empty when none.
constexpr std::string_view property_keyword(std::string_view word) {
    const std::optional<SectionKeyword> keyword = section_keyword(word);
    return keyword && keyword->property_kind ? keyword->word : std::string_view{};
}

// ---- Headers of the line translator ----

// What the lines under a header line are, to the line translator.
enum class Section {
    module,      // the lines of a module before its first section header: copied
    statements,  // VAR and ASSIGN: statements, expanded for the processes
    properties,  // SPEC and CTLSPEC: properties, FORALL ones instantiated
};

struct HeaderKeyword {
    std::string_view word;
    Section opens;
};

// The keywords that open a section of the line translator when they start
// a line; no two start with the same letter.
inline constexpr HeaderKeyword header_keywords[] = {
    {"MODULE", Section::module},
    {"VAR", Section::statements},
    {"ASSIGN", Section::statements},
    {"SPEC", Section::properties},
    {"CTLSPEC", Section::properties},
};
static_assert([] {
    for (const HeaderKeyword& header : header_keywords)
        if (!is_section_keyword(header.word)) return false;
    return true;
}());

// ---- The characters of a name ----

// A name as NuSMV reads it starts with a letter or '_' and goes on with
// letters, digits, '_', '$', '#' and '-': no--ne is one name, and "--"
// starts a comment only where no name goes on.
constexpr bool starts_name(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_'; }
constexpr bool continues_name(char c) {
    return starts_name(c) || (c >= '0' && c <= '9') || c == '$' || c == '#' || c == '-';
}

// The names of a translation as the checker lists them go on over '\'
// besides.
constexpr bool continues_listed_name(char c) { return continues_name(c) || c == '\\'; }

namespace detail {
struct WordBytes {
    bool table[256] = {};
    constexpr WordBytes() {
        for (int c = 0; c < 256; ++c)
            table[c] = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
                       c == '_' || c == '$' || c == '#';
    }
};
inline constexpr WordBytes word_bytes;
}  // namespace detail

// A character of a word as the line translator reads a line: a letter, a
// digit, '_', '$' or '#'. Narrower than NuSMV's name: without '-', the N of
// N-1 is a whole word.
constexpr bool is_word_char(char c) { return detail::word_bytes.table[static_cast<unsigned char>(c)]; }

// Position of the first occurrence of `word` in `text` at or after `from`
// that is a whole word, with no word character right before or after it;
// npos when there is none.
inline std::size_t find_word(std::string_view text, std::string_view word, std::size_t from = 0) {
    for (std::size_t at = textops::find(text, word, from); at != std::string_view::npos;
         at = textops::find(text, word, at + 1)) {
        const std::size_t end = at + word.size();
        if ((at == 0 || !is_word_char(text[at - 1])) && (end == text.size() || !is_word_char(text[end])))
            return at;
    }
    return std::string_view::npos;
}

// The word that starts at `at` of `text`, which is at most its size: the
// word characters from there on.
inline std::string_view word_at(std::string_view text, std::size_t at) {
    std::size_t end = at;
    while (end < text.size() && is_word_char(text[end])) ++end;
    return {text.data() + at, end - at};
}

// ---- The names of FORALL instances ----

// With a prefix, ruvello names each instance of a FORALL for its line and
// processes, PREFIX14_1_3 for line 14 and processes 1 and 3, and a FORALL
// line without instances PREFIX14_none, so that a checker's verdicts can be
// told apart. Appends the name to `out`; no processes make the _none name.
void append_instance_name(std::string& out, std::string_view prefix, std::size_t line,
                          std::span<const int> processes);

struct InstanceName {
    std::size_t line = 0;
    std::vector<int> processes;  // none for the name of a line without instances
};
// What a name tells when it is one that append_instance_name writes with
// `prefix`; nothing for any other name.
std::optional<InstanceName> read_instance_name(std::string_view name, std::string_view prefix);

}  // namespace ruvello::smv
