#include "translator.h"

#include "textops/textops.h"

namespace ruvello {

namespace {

// A line of blanks ended by a newline; a line of blanks without a newline,
// or ended by a carriage return and newline, is not blank.
bool is_blank_line(std::string_view line) { return textops::ltrim(line) == "\n"; }

// A line opens a section only when it starts, in the first column, with a
// section keyword followed by a space, a newline or the end of the line.
bool opens_with(std::string_view line, std::string_view keyword) {
    if (!line.starts_with(keyword)) return false;
    if (line.size() == keyword.size()) return true;
    const char after = line[keyword.size()];
    return after == ' ' || after == '\n';
}

}  // namespace

bool is_module_header(std::string_view line) { return opens_with(line, "MODULE"); }

bool leaves_parameter_list_open(std::string_view header) {
    return textops::contains(header, '(') && !textops::contains(header, ')');
}

// The section a header line opens, or none when the line is no header.
Translator::Section Translator::header_section(std::string_view line) {
    switch (line.front()) {
    case 'M':
        return is_module_header(line) ? Section::module : Section::none;
    case 'V':
        return opens_with(line, "VAR") ? Section::var : Section::none;
    case 'A':
        return opens_with(line, "ASSIGN") ? Section::assign : Section::none;
    case 'S':
        return opens_with(line, "SPEC") ? Section::spec : Section::none;
    default:
        return Section::none;
    }
}

Translator::Translator(LineReader& input, OutputBuffer& output, Warnings& warnings,
                       const TranslationSettings& settings)
    : input_(input), output_(output), warnings_(warnings), settings_(settings),
      define_block_("DEFINE\n\tN := " + std::to_string(settings.process_count) + ";\n") {}

void Translator::write_banner() {
    output_.put("--Source file: ");
    output_.put(settings_.source_name);
    output_.put(" , by ruvello--\n");
}

void Translator::translate_lines() {
    std::string_view line;
    while (input_.next_line(line)) translate_line(line);
}

void Translator::translate_line(std::string_view line) {
    if (is_blank_line(line)) {
        output_.put(line);
        return;
    }
    switch (const Section header = header_section(line)) {
    case Section::none:
        break;
    case Section::module:
        copy_module_header(line);
        return;
    default:
        section_ = header;
        output_.put(line);
        return;
    }
    switch (section_) {
    case Section::var:
    case Section::assign:
        translate_statement(line);
        break;
    case Section::spec:
        translate_property(line);
        break;
    default:
        output_.put(line);
    }
}

// Every module gets its own definition of N, after its header and the lines
// that continue its parameter list, which are copied as they are.
void Translator::copy_module_header(std::string_view header) {
    section_ = Section::module;
    output_.put(header);
    if (leaves_parameter_list_open(header)) {
        std::string_view line;
        while (input_.next_line(line)) {
            output_.put(line);
            if (textops::contains(line, ')')) break;
        }
    }
    output_.put(define_block_);
}

void WarningStream::warn(std::size_t line_number, std::string_view message) {
    stream_ << "ruvello: " << source_name_ << ':' << line_number << ": warning: " << message
            << '\n';
}

std::string translate_text(std::string_view model, const TranslationSettings& settings,
                           std::ostream& warnings, const BufferSizes& sizes) {
    StringSource source(model, sizes.read_piece);
    StringSink sink;
    LineReader input(source, sizes.line_buffer);
    OutputBuffer output(sink, sizes.output_buffer);
    WarningStream warning_stream(warnings, settings.source_name);
    Translator(input, output, warning_stream, settings).run();
    output.flush();
    return sink.text();
}

}  // namespace ruvello
