// The translation of a vorn model into SMV: one pass over the input lines,
// keeping track of the section each line belongs to.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/streams.h"
#include "smv/vocabulary.h"
#include "textops/textops.h"
#include "translate/property.h"
#include "translate/warnings.h"

namespace ruvello {

struct TranslationSettings {
    int process_count = 0;         // N
    std::string_view source_name;  // the model as named on the command line
    bool all_instances = false;    // FORALL for every tuple of processes, not just 1 and 2
    bool line_markers = false;     // "# L" lines that give NuSMV the lines of the model
    // With a prefix, each FORALL instance is named for its line and processes,
    // NAME ruvello_14_1_3 := ..., and a FORALL line without instances is written
    // as NAME ruvello_14_none := TRUE, so that a checker's verdicts can be told
    // apart and the file stays valid.
    std::string_view instance_name_prefix = {};
};

// The sections of the line translator, which its header lines open
// (smv::header_keywords).
using smv::Section;

// Whether `c` is the first letter of a section keyword.
constexpr bool starts_section_keyword(char c) {
    constexpr auto first_letters = [] {
        std::uint32_t letters = 0;
        for (const smv::HeaderKeyword& keyword : smv::header_keywords)
            letters |= std::uint32_t{1} << (keyword.word.front() - 'A');
        return letters;
    }();
    return c >= 'A' && c <= 'Z' && ((first_letters >> (c - 'A')) & 1);
}

// A line in the first column that may be a header's keyword misspelt
// (ASIGN, var): no statements are copied past it unread, and only such a
// line is looked at for a misspelling, so that what is told does not hang
// on how much of the input is read at once.
constexpr bool may_be_misspelt_header(std::string_view line) {
    if (line.empty()) return false;
    const char c = line.front();
    return starts_section_keyword(c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c);
}

// The keyword of a section header: a line that starts, in its first column,
// with a section keyword followed by a space, a newline or the end of the
// line. Nothing when the line is no header.
inline std::optional<smv::HeaderKeyword> header_keyword(std::string_view line) {
    if (line.empty() || !starts_section_keyword(line.front())) return std::nullopt;
    // No two keywords start alike: the first letter picks the one to compare.
    static_assert([] {
        for (std::size_t i = 0; i < std::size(smv::header_keywords); ++i)
            for (std::size_t j = 0; j < i; ++j)
                if (smv::header_keywords[i].word.front() == smv::header_keywords[j].word.front()) return false;
        return true;
    }());
    for (const smv::HeaderKeyword& keyword : smv::header_keywords) {
        if (keyword.word.front() != line.front()) continue;
        const std::size_t size = keyword.word.size();
        if (textops::holds_at(line, 0, keyword.word) &&
            (line.size() == size || line[size] == ' ' || line[size] == '\n'))
            return keyword;
        break;
    }
    return std::nullopt;
}

// The section keyword a line mentions anywhere, even inside a longer word:
// such a line ends a statement gathered over several lines. Empty when none.
std::string_view mentioned_section_keyword(std::string_view line);

// Whether a line mentions a section keyword: one pass over it for the
// keywords' first two letters, then a look at each place that holds them.
inline bool mentions_section_keyword(std::string_view line) {
    constexpr auto first_two = [](std::string_view word, std::string_view letters) {
        return word.substr(0, 2) == letters;
    };
    static_assert(first_two(smv::header_keywords[0].word, "MO") &&
                  first_two(smv::header_keywords[1].word, "VA") &&
                  first_two(smv::header_keywords[2].word, "AS") &&
                  first_two(smv::header_keywords[3].word, "SP") &&
                  first_two(smv::header_keywords[4].word, "CT") && std::size(smv::header_keywords) == 5);
    for (std::size_t at = textops::find_prefix<"MO", "VA", "AS", "SP", "CT">(line);
         at != line.npos; at = textops::find_prefix<"MO", "VA", "AS", "SP", "CT">(line, at + 1))
        for (const smv::HeaderKeyword& keyword : smv::header_keywords)
            if (line.substr(at).starts_with(keyword.word)) return true;
    return false;
}

// The first name of a text, after blanks and line ends; empty when
// something else comes first.
std::string_view first_name(std::string_view text);

// The code of a line: the text before the comment that "--" starts.
inline std::string_view code_of(std::string_view line) {
    return line.substr(0, textops::find(line, "--"));
}

// The code of a line as NuSMV reads it: the text before the "--" that
// starts its comment, where a name may hold "--": no--ne is one name.
std::string_view code_as_read(std::string_view line);

// Whether a text has code: on one of its lines, something before a comment
// other than blanks.
bool has_code(std::string_view text);

// A MODULE header is the header line and, when that line holds a '(' but no
// ')', the following lines up to and including the first that holds a ')'.
// Whether `line` is the last line of the header, `first_line` telling
// whether it is the header line itself.
bool ends_module_header(std::string_view line, bool first_line);

// Writes `number` in decimal so that its digits end right before `end`, and
// returns where they start. The digits are written two at a time: the
// numbers are mostly small, and std::to_chars costs several times this on
// them.
inline char* write_digits_before(char* end, std::uint64_t number) {
    static constexpr auto pairs = [] {
        std::array<char, 200> digits{};
        for (int i = 0; i < 100; ++i) {
            digits[2 * i] = static_cast<char>('0' + i / 10);
            digits[2 * i + 1] = static_cast<char>('0' + i % 10);
        }
        return digits;
    }();
    for (; number >= 100; number /= 100) {
        end -= 2;
        std::memcpy(end, &pairs[2 * (number % 100)], 2);
    }
    if (number >= 10) {
        end -= 2;
        std::memcpy(end, &pairs[2 * number], 2);
    } else {
        *--end = static_cast<char>('0' + number);
    }
    return end;
}

// A process number as text: its decimal digits, and the same in brackets,
// "[3]", as FORALL instances write it. Numbers are counted in 64 bits, so
// that counting up to N = 2147483647 ends.
class ProcessNumber {
public:
    explicit ProcessNumber(std::uint64_t number) {
        char* start = text_ + sizeof text_ - 1;
        *start = ']';
        start = write_digits_before(start, number);
        *--start = '[';
        start_ = static_cast<std::size_t>(start - text_);
    }
    std::string_view digits() const { return {text_ + start_ + 1, sizeof text_ - start_ - 2}; }
    std::string_view bracketed() const { return {text_ + start_, sizeof text_ - start_}; }

private:
    char text_[24];
    std::size_t start_;  // of the bracketed number, which ends the text
};

// The line marker that makes the next output line count as a line of the
// model: "# LINE "MODEL"" and a line end, the model's name escaped for the
// quotes. The name is written once, and each line's number in place before
// it.
class LineMarker {
public:
    explicit LineMarker(std::string_view source_name);
    // The copies of a process-indexed statement all count as its line, so
    // the number is written only when it changes.
    std::string_view for_line(std::uint64_t line) {
        if (line != line_) number(line);
        return {text_.data() + start_, text_.size() - start_};
    }

private:
    // Out of line, so that what calls for_line stays small for the calls
    // that write no marker.
    [[gnu::noinline]] void number(std::uint64_t line);

    static constexpr std::size_t number_room = 2 + 20;  // "# " and a 64-bit number
    std::string text_;  // number_room places, then ' "MODEL"' and a line end
    std::uint64_t line_ = 0;
    std::size_t start_ = 0;  // where the marker starts in text_
};

// The first line of every translation.
std::string banner(std::string_view source_name);

// The line loop: translates the lines of `input` into `output`.
class Translator {
public:
    Translator(LineReader& input, OutputBuffer& output, Warnings& warnings,
               const TranslationSettings& settings);

    // Translates the input to its end; leaves the output buffered.
    void translate_lines();

private:
    // Called once per line, from their own files: inlined there.
    [[gnu::always_inline]] inline void translate_line(std::string_view line);
    void copy_module_header(std::string_view header);
    // Warns about what a line that no rule rewrites holds in vain: a FORALL
    // (giving `forall_warning`, when it has a kind), a Proc, a second N.
    // Most lines hold neither letter nor start with one that a declaration
    // of N starts with: they cost one pass and a glance.
    void check_copied_code(std::string_view line, std::size_t line_number,
                           const WarningText& forall_warning) {
        // Names in a comment do not count: the pass ends at one.
        if (const std::size_t at = textops::find_prefix<"F", "P", "--">(line);
            at != std::string_view::npos && line[at] != '-')
            check_copied_names(line, line_number, forall_warning);
        check_declarations(line, line_number);
    }
    void check_copied_names(std::string_view line, std::size_t line_number,
                            const WarningText& forall_warning);
    void check_declarations(std::string_view line, std::size_t line_number) {
        if (const std::string_view words = textops::ltrim(line);
            !words.empty() && may_declare_n(words.front()))
            warn_of(declarations_of_n(words), line_number);
    }
    // N, DEFINE, VAR, IVAR, FROZENVAR, ISA
    static bool may_declare_n(char first) {
        return first == 'N' || first == 'D' || first == 'V' || first == 'I' || first == 'F';
    }
    // What the start of a line declares of N in vain.
    struct DeclarationsOfN {
        bool n = false;    // N itself
        bool isa = false;  // an ISA, which brings in another module's N
    };
    static DeclarationsOfN declarations_of_n(std::string_view line);
    void warn_of(const DeclarationsOfN& declarations, std::size_t line_number);
    void open_section(const smv::HeaderKeyword& header);
    void note_unopened_header(std::string_view line, std::string_view words);
    // Whether a warning about what a line leaves untranslated is explained by
    // a keyword above it that opened no section; warns about that keyword.
    bool explained_by_unopened_header();
    void give_dropped_forall_warning(bool header_left_empty);
    bool copy_long_line(std::string_view piece);
    static const WarningText forall_not_translated;
    static const WarningText forall_on_header;
    static const WarningText forall_under_ltlspec;
    static const WarningText proc_not_replaced;

    // VAR and ASSIGN sections.
    struct Statement {
        std::string_view text;
        std::size_t first_line;
        // What ended it before a ';': a keyword; empty at a MODULE header or
        // the end of the input.
        std::string_view cut_by;
        bool complete;            // it ends with the line holding its ';'
        bool may_hold_proc;       // it holds a 'P'
        bool holds_bracket;       // it holds a '['
        std::size_t line_ends;    // one for each of its lines with a line end
    };
    // What one pass over a statement that mentions a process finds. Its head
    // is its text before the first ':' (colons at the very start do not end it).
    struct StatementScan {
        std::size_t head_size;
        bool indexed_head = false;                   // the head names an item "[Proc]"
        bool declares_processes = false;             // it mentions "transition"
        std::size_t array = std::string_view::npos;  // where "array " first stands
        bool mentions_case = false;                  // it holds the name "case"
    };
    // Scans `text`, putting into `parts` the texts between its Procs.
    static StatementScan scan_statement(std::string_view text, std::vector<std::string_view>& parts);
    // `words`: the first line without its leading blanks.
    void translate_statement(std::string_view first_line, std::string_view words);
    [[gnu::always_inline]] inline Statement gather_statement(std::string_view first_line,
                                                             std::string_view words);
    void copy_plain_statements();
    void write_process_instances(const Statement& statement,
                                 const std::vector<std::string_view>& parts, std::size_t array);
    void write_process_declarations(std::string_view statement, std::size_t line);
    [[gnu::always_inline]] void write_copies(const std::vector<std::string_view>& parts,
                                             std::size_t line, std::size_t line_ends);
    [[gnu::noinline]] void write_marked_copies(std::size_t line, std::size_t line_ends,
                                               std::int64_t first);
    [[gnu::always_inline]] inline void write_joined(const std::vector<std::string_view>& parts,
                                                    std::string_view number);
    void check_statement_line(std::string_view words, std::size_t line_number);
    // A word at the start of a line that is a keyword misspelt.
    bool check_keyword_spelling(std::string_view line);
    // x[K] for a process K beyond N.
    void check_process_numbers(std::string_view line);
    void check_names_around_proc(const Statement& statement,
                                 const std::vector<std::string_view>& parts);
    void check_computed_indices(const Statement& statement,
                                const std::vector<std::string_view>& parts);
    void check_process_indexed(const Statement& statement, const StatementScan& scan,
                               const std::vector<std::string_view>& parts);
    // Whether the byte at `at` of a text is in the code of its line, not in
    // a comment.
    static bool in_code(std::string_view text, std::size_t at);
    // The number of the line of a statement that holds its byte at `at`.
    static std::size_t line_of(const Statement& statement, std::size_t at);

    // SPEC sections.
    void translate_property(std::string_view line);
    void note_property_start(std::string_view words, bool forall);
    // `first_forall`: where the line's first "FORALL" stands.
    void check_forall_word(std::string_view line, std::size_t first_forall);
    void drop_forall(std::string_view kind, const std::string& reason);
    void check_instance_count(std::size_t count);
    static const WarningText property_goes_on;
    bool every_instance_has_formula(std::string_view line, char formula_after, int processes);
    FormulaScan scan_formula(std::string_view body, bool find_uses);
    void write_instances(std::string_view line, std::string_view body,
                         const Quantifier& quantifier, int processes, bool plain);
    void write_instance(std::string_view body, const std::vector<int>& processes);
    void check_property(std::string_view line, std::string_view list, std::string_view body,
                        std::size_t count, const FormulaScan& scan);
    bool guard_is_inequality(std::string_view guard);

    [[gnu::always_inline]] void put(std::string_view text) { output_.put(text); }
    // A line as read: its line end, when it has one, is its last byte.
    [[gnu::always_inline]] void put_line(std::string_view line) {
        output_.put_counted(line, line.back() == '\n');
    }
    // Text with a known number of line ends.
    [[gnu::always_inline]] void put_lines(std::string_view text, std::size_t line_ends) {
        output_.put_counted(text, line_ends);
    }
    // With --line-markers, makes the next output line count as line `line`
    // of the model, writing "# LINE "MODEL"" where the count departs from
    // it; returns whether it wrote one.
    bool mark(std::size_t line) { return line_markers_ && write_marker(line); }
    bool write_marker(std::size_t line);

    LineReader& input_;
    OutputBuffer& output_;
    Warnings& warnings_;
    const TranslationSettings& settings_;
    const std::string define_line_;  // "\tN := 3;"
    const bool line_markers_;
    LineMarker marker_;
    // The line NuSMV counts as `line` the output line that follows
    // `line_ends` line ends of the output, as the last marker set it.
    struct {
        std::size_t line, line_ends;
    } numbered_from_{};

    // Everything of the translation that a MODULE header starts afresh.
    // Nothing else carries from line to line: a statement ends before a
    // header, and a property is one line. So a model cut before its headers
    // translates piece by piece exactly as it does whole. (The line markers
    // count the lines of the whole output: they are never made in pieces.)
    struct ModuleState {
        Section section = Section::module;
        std::string_view header;  // the keyword that opened the section
        bool in_var = false;      // it is VAR: its process-indexed statements declare names
        // What a section header starts afresh, within a SPEC section: whether
        // a FORALL property has been written, and the keyword (LTLSPEC, ...)
        // of the last line that started a property of another kind.
        struct SectionState {
            bool wrote_forall = false;
            std::string_view other_property_kind;
            // Outside a SPEC section: whether the last property keyword was LTLSPEC.
            bool under_ltlspec = false;
            // The last FORALL line, while no line of code has followed it:
            // one that does goes on with its property.
            std::size_t forall_line = 0;
            // Whether a property stands under the header, and the warning of
            // a FORALL line not translated, given when it is known whether
            // that leaves the header without one.
            bool has_property = false;
            struct Dropped {
                std::size_t line;
                std::string_view kind;
                std::string reason;
            };
            std::vector<Dropped> dropped;
        } in_section;
        // The names of the module's process instances, declared with
        // transition and written N1_name, N2_name, ...
        std::vector<std::string> process_instances;
        // The names declared x[Proc] in the module's VAR sections, each
        // between line ends: "\nx\ny\n".
        std::string indexed_names;
        // A line that would open a section but for the blanks before its
        // keyword or the carriage return after it, while no header has come
        // since: what it leaves untranslated is warned about at that line.
        struct Unopened {
            std::size_t line = 0;
            std::string_view keyword;
            bool return_after = false;  // a carriage return, not blanks, kept it from opening one
            bool warned = false;
        } unopened;
    };
    ModuleState module_;

    // Storage reused from statement to statement and from property to
    // property, so that the loop allocates only while its texts grow.
    std::string rewritten_;                // with "array " rewritten
    std::string declaration_;              // a process declaration
    std::vector<std::string_view> parts_;  // the texts between the Procs of a statement
    textops::NumberedText numbered_;       // an instance of a statement
    // The parameters of the last two lists, as the FORALL lines of a model
    // mostly alternate between two; the latest is the current line's.
    ParameterNames parameter_lists_[2];
    unsigned latest_parameters_ = 0;
    ParameterNames& parameters() { return parameter_lists_[latest_parameters_]; }
    ProcessTuples tuples_;
    std::vector<ParameterUse> uses_;  // of the parameters in a FORALL line's formula
    struct {
        std::string text, list;
        bool is_inequality = false;
    } last_guard_;  // the guard checked last, and over which parameters
    std::string instance_;
    std::string scratch_;
};

}  // namespace ruvello
