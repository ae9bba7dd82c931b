// The translation of a vorn model into SMV: one pass over the input lines,
// keeping track of the section each line belongs to.
#pragma once

#include <cstddef>
#include <ostream>
#include <string>
#include <string_view>

#include "split_text.h"
#include "streams.h"

namespace ruvello {

struct TranslationSettings {
    int process_count = 0;         // N
    std::string_view source_name;  // the input path as given, for the banner and warnings
};

// Receives warnings about input that cannot be translated, with the number
// of the line each concerns.
class Warnings {
public:
    virtual ~Warnings() = default;
    virtual void warn(std::size_t line_number, std::string_view message) = 0;
};

// Writes each warning at once, as "ruvello: FILE:LINE: warning: MESSAGE".
class WarningStream : public Warnings {
public:
    WarningStream(std::ostream& stream, std::string_view source_name)
        : stream_(stream), source_name_(source_name) {}
    void warn(std::size_t line_number, std::string_view message) override;

private:
    std::ostream& stream_;
    std::string_view source_name_;
};

// Whether a line read by the line loop is a MODULE header.
bool is_module_header(std::string_view line);

// Whether the lines after a MODULE header continue its parameter list, up to
// and including the first line that holds a ')'.
bool leaves_parameter_list_open(std::string_view header);

class Translator {
public:
    Translator(LineReader& input, OutputBuffer& output, Warnings& warnings,
               const TranslationSettings& settings);

    // Writes the banner and translates the input to its end. Leaves the
    // output buffered; the caller flushes it.
    void run() {
        write_banner();
        translate_lines();
    }

    // The first line of every output.
    void write_banner();
    void translate_lines();

private:
    enum class Section { none, module, var, assign, spec };

    static Section header_section(std::string_view line);
    void translate_line(std::string_view line);
    void copy_module_header(std::string_view header);

    // VAR and ASSIGN sections.
    void translate_statement(std::string_view first_line);
    std::string_view gather_statement(std::string_view first_line);
    void write_process_instances(std::string_view statement, std::size_t first_line_number);
    void write_process_declarations(std::string_view statement);

    // SPEC sections.
    void translate_property(std::string_view line);
    void instantiate_property(std::string_view line, std::string_view list, std::size_t count);

    LineReader& input_;
    OutputBuffer& output_;
    Warnings& warnings_;
    TranslationSettings settings_;
    Section section_ = Section::none;
    std::string define_block_;

    // Storage reused from statement to statement.
    std::string statement_;
    std::string rewritten_;
    std::string declaration_;
    std::string process_declaration_;
    std::string scratch_instance_;
    std::string first_instance_;
    std::string second_instance_;
    SplitText split_;
    std::string first_parameter_;  // bracketed, as in "[i]"
    std::string second_parameter_;
};

// Sizes for an in-memory translation: the model is read in pieces of at
// most `read_piece` bytes, into a line buffer of `line_buffer` bytes that
// grows as lines need, and written through an output buffer of
// `output_buffer` bytes.
struct BufferSizes {
    std::size_t read_piece = SIZE_MAX;
    std::size_t line_buffer = LineReader::default_buffer_size;
    std::size_t output_buffer = OutputBuffer::default_capacity;
};

// Translates a whole model held in memory; for tests and tools.
std::string translate_text(std::string_view model, const TranslationSettings& settings,
                           std::ostream& warnings, const BufferSizes& sizes = {});

}  // namespace ruvello
