#include "translation_properties.h"

#include <algorithm>
#include <string>

#include "textops/textops.h"
#include "translate/pieces.h"
#include "translate/translator.h"

namespace fuzzing {

namespace {

class CollectedWarnings : public ruvello::Warnings {
public:
    void warn(std::size_t line_number, std::string_view, std::string_view message) override {
        text += std::to_string(line_number) + ": " + std::string(message) + '\n';
    }
    std::string text;
};

struct Result {
    std::string output;
    std::string warnings;
    bool operator==(const Result&) const = default;
};

// By the line loop, reading and buffering `buffer` bytes at a time.
Result translate(std::string_view model, int process_count, std::size_t buffer,
                 bool line_markers = false) {
    ruvello::StringSource source(model, buffer);
    ruvello::StringSink sink;
    ruvello::LineReader input(source, buffer);
    ruvello::OutputBuffer output(sink, buffer);
    CollectedWarnings warnings;
    const ruvello::TranslationSettings settings{
        .process_count = process_count, .source_name = "fuzz.in", .line_markers = line_markers};
    ruvello::Translator(input, output, warnings, settings).translate_lines();
    output.flush();
    return {sink.text(), warnings.text};
}

Result translate_in_pieces(std::string_view model, int process_count,
                           const ruvello::PiecePlan& plan) {
    ruvello::StringSource source(model, plan.piece_size);
    ruvello::StringSink sink;
    CollectedWarnings warnings;
    ruvello::translate_in_pieces(source, sink, warnings, {process_count, "fuzz.in"}, plan);
    const std::string banner = ruvello::banner("fuzz.in");
    if (!sink.text().starts_with(banner)) return {"(no banner)", ""};
    return {sink.text().substr(banner.size()), warnings.text};
}

// The text without its lines that read as line markers of this model.
std::string without_markers(std::string_view text) {
    std::string kept;
    while (!text.empty()) {
        const std::size_t end = std::min(text.find('\n'), text.size() - 1) + 1;
        const std::string_view line = text.substr(0, end);
        if (!(line.starts_with("# ") && line.ends_with(" \"fuzz.in\"\n"))) kept += line;
        text.remove_prefix(end);
    }
    return kept;
}

}  // namespace

Violation check_translation_properties(const std::uint8_t* data, std::size_t size) {
    const int process_count = size > 0 ? data[0] % 32 - 3 : 2;
    const unsigned settings = size > 1 ? data[1] : 0;
    const std::size_t buffer = settings % 16 + 1;
    const ruvello::PiecePlan plan{buffer, settings & 0x40 ? 3 * buffer : SIZE_MAX,
                                  (settings >> 4) % 4};
    const std::string_view model =
        size > 2 ? std::string_view(reinterpret_cast<const char*>(data) + 2, size - 2) : "";

    const Result whole = translate(model, process_count, std::size_t{1} << 16);
    if (translate(model, process_count, buffer) != whole)
        return {"the translation depends on the sizes of reads and buffers"};
    if (translate_in_pieces(model, process_count, plan) != whole)
        return {"the translation of the model in pieces differs from the whole"};

    // Line markers are lines of their own, added to the same translation.
    const Result marked = translate(model, process_count, std::size_t{1} << 16, true);
    if (translate(model, process_count, buffer, true) != marked)
        return {"the translation with line markers depends on the sizes of reads and buffers"};
    if (without_markers(marked.output) != without_markers(whole.output) ||
        marked.warnings != whole.warnings)
        return {"line markers changed more than lines of their own"};

    // Nothing to translate: every line comes through as it is.
    if (!textops::contains(model, "Proc") && !textops::contains(model, "FORALL") &&
        !textops::contains(model, "MODULE") && whole.output != model)
        return {"a model without Proc, FORALL and MODULE was changed"};
    return {};
}

}  // namespace fuzzing
