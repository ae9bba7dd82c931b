#include "translator.h"

#include "pieces.h"
#include "textops/textops.h"

namespace ruvello {

namespace {

// A line of blanks ended by a newline; a line of blanks without a newline,
// or ended by a carriage return and newline, is not blank.
bool is_blank_line(std::string_view line) { return textops::ltrim(line) == "\n"; }

}  // namespace

bool mentions_section_keyword(std::string_view line) {
    for (const SectionKeyword& keyword : section_keywords)
        if (textops::contains(line, keyword.word)) return true;
    return false;
}

bool ends_module_header(std::string_view line, bool first_line) {
    return textops::contains(line, ')') || (first_line && !textops::contains(line, '('));
}

std::string banner(std::string_view source_name) {
    return "--Source file: " + std::string(source_name) + " , by ruvello--\n";
}

void WarningStream::warn(std::size_t line_number, std::string_view message) {
    write(std::string(source_name_) + ':' + std::to_string(line_number), message);
}

void WarningStream::warn(std::string_view message) { write(std::string(source_name_), message); }

// One write per warning, so that warnings from several runs sharing a stream
// do not interleave within a line.
void WarningStream::write(const std::string& place, std::string_view message) {
    const std::string text = "ruvello: " + place + ": warning: " + std::string(message) + '\n';
    std::fwrite(text.data(), 1, text.size(), stream_);
}

Translator::Translator(LineReader& input, OutputBuffer& output, Warnings& warnings,
                       const TranslationSettings& settings)
    : input_(input), output_(output), warnings_(warnings), settings_(settings),
      define_block_("DEFINE\n\tN := " + std::to_string(settings.process_count) + ";\n") {}

void Translator::translate_lines() {
    std::string_view line;
    while (input_.next_line(line)) translate_line(line);
}

void Translator::translate_line(std::string_view line) {
    if (is_blank_line(line)) {
        output_.put(line);
        return;
    }
    if (const std::optional<Section> header = header_section(line)) {
        if (*header == Section::module) {
            copy_module_header(line);
            return;
        }
        module_.section = *header;
        output_.put(line);  // the rest of a header line is never translated
        return;
    }
    switch (module_.section) {
    case Section::module:
        output_.put(line);
        break;
    case Section::statements:
        translate_statement(line);
        break;
    case Section::properties:
        translate_property(line);
        break;
    }
}

// Every module gets its own definition of N, after its header.
void Translator::copy_module_header(std::string_view header) {
    module_ = ModuleState{};
    output_.put(header);
    std::string_view line = header;
    for (bool first = true; !ends_module_header(line, first) && input_.next_line(line);
         first = false)
        output_.put(line);
    output_.put(define_block_);
}

void translate(ByteSource& model, ByteSink& sink, Warnings& warnings,
               const TranslationSettings& settings) {
    if (const std::optional<PiecePlan> plan = pieces_that_pay(settings, model.size())) {
        translate_in_pieces(model, sink, warnings, settings, *plan);
        return;
    }
    LineReader input(model);
    OutputBuffer output(sink);
    output.put(banner(settings.source_name));
    Translator(input, output, warnings, settings).translate_lines();
    output.flush();
}

std::string translate_text(std::string_view model, const TranslationSettings& settings,
                           Warnings& warnings) {
    StringSource source(model);
    StringSink sink;
    translate(source, sink, warnings, settings);
    return sink.text();
}

}  // namespace ruvello
