// The translation of a vorn model into SMV: one pass over the input lines,
// keeping track of the section each line belongs to.
#pragma once

#include <cstddef>
#include <cstdio>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "streams.h"

namespace ruvello {

struct TranslationSettings {
    int process_count = 0;         // N
    std::string_view source_name;  // the model as named on the command line
};

// Receives warnings about input that cannot be translated, with the number
// of the line each concerns.
class Warnings {
public:
    virtual ~Warnings() = default;
    virtual void warn(std::size_t line_number, std::string_view message) = 0;
};

// Writes each warning at once, as "ruvello: FILE:LINE: warning: MESSAGE".
// One that cannot be written is dropped: a warning never ends a run.
class WarningStream : public Warnings {
public:
    WarningStream(std::FILE* stream, std::string_view source_name)
        : stream_(stream), source_name_(source_name) {}
    void warn(std::size_t line_number, std::string_view message) override;
    // A warning about the whole model: "ruvello: FILE: warning: MESSAGE".
    void warn(std::string_view message);

private:
    void write(const std::string& place, std::string_view message);

    std::FILE* stream_;
    std::string_view source_name_;
};

// What the lines of a section are, and so what a header line opens.
enum class Section {
    module,      // the lines of a module before its first section header: copied
    statements,  // VAR and ASSIGN: statements, expanded for the processes
    properties,  // SPEC: properties, FORALL ones instantiated
};

struct SectionKeyword {
    std::string_view word;
    Section opens;
};

// The section keywords: header lines open sections with them, and a further
// line of a statement that mentions one ends the statement.
inline constexpr SectionKeyword section_keywords[] = {
    {"MODULE", Section::module},
    {"VAR", Section::statements},
    {"ASSIGN", Section::statements},
    {"SPEC", Section::properties},
};

// A section header: a line that starts, in its first column, with a section
// keyword followed by a space, a newline or the end of the line. Nothing
// when the line is no header.
inline std::optional<Section> header_section(std::string_view line) {
    for (const SectionKeyword& keyword : section_keywords) {
        if (!line.starts_with(keyword.word)) continue;
        if (line.size() == keyword.word.size()) return keyword.opens;
        const char after = line[keyword.word.size()];
        if (after == ' ' || after == '\n') return keyword.opens;
    }
    return std::nullopt;
}

// Whether a line mentions a section keyword anywhere, even inside a longer
// word: such a line ends a statement gathered over several lines.
bool mentions_section_keyword(std::string_view line);

// A MODULE header is the header line and, when that line holds a '(' but no
// ')', the following lines up to and including the first that holds a ')'.
// Whether `line` is the last line of the header, `first_line` telling
// whether it is the header line itself.
bool ends_module_header(std::string_view line, bool first_line);

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
    void translate_line(std::string_view line);
    void copy_module_header(std::string_view header);

    // VAR and ASSIGN sections.
    void translate_statement(std::string_view first_line);
    std::string_view gather_statement(std::string_view first_line);
    void write_process_instances(std::string_view statement);
    void write_process_declarations(std::string_view statement);

    // SPEC sections.
    void translate_property(std::string_view line);
    bool instantiate_property(std::string_view line, std::string_view list, std::size_t count);
    bool every_instance_has_formula(std::string_view line, char formula_after, int processes);

    LineReader& input_;
    OutputBuffer& output_;
    Warnings& warnings_;
    const TranslationSettings& settings_;
    const std::string define_block_;

    // Everything that a MODULE header starts afresh. Nothing else carries
    // from line to line: a statement ends before a header, and a property
    // is one line. So a model cut before its headers translates piece by
    // piece exactly as it does whole.
    struct ModuleState {
        Section section = Section::module;
    };
    ModuleState module_;

    // Storage reused from statement to statement and from property to
    // property, so that the loop allocates only while its texts grow.
    std::string statement_;                // gathered over several lines
    std::string rewritten_;                // with "array " rewritten
    std::string declaration_;              // a process declaration
    std::vector<std::string_view> parts_;  // the texts between the Procs of a statement
    std::vector<std::string> parameters_;  // bracketed, as in "[i]"
    std::string instance_;
    std::string scratch_;
};

// Translates a whole model: the banner, then its lines, on threads where
// that pays (a large model on several cores), otherwise by the line loop
// on this thread. The output is the same either way.
void translate(ByteSource& model, ByteSink& sink, Warnings& warnings,
               const TranslationSettings& settings);

// Translates a model held in memory; for tests and tools.
std::string translate_text(std::string_view model, const TranslationSettings& settings,
                           Warnings& warnings);

}  // namespace ruvello
