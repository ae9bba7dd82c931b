#include "translation_properties.h"

#include <sstream>

#include "textops/textops.h"
#include "translator.h"

namespace fuzzing {

namespace {

struct Result {
    std::string output;
    std::string warnings;
};

Result translate(std::string_view model, int process_count, std::size_t piece) {
    std::ostringstream warnings;
    std::string output = ruvello::translate_text(model, {process_count, "fuzz.in"}, warnings,
                                                 {piece, piece, piece});
    return {std::move(output), warnings.str()};
}

}  // namespace

Violation check_translation_properties(const std::uint8_t* data, std::size_t size) {
    const int process_count = size > 0 ? data[0] % 32 - 3 : 2;
    const std::size_t piece = size > 1 ? data[1] % 16 + 1 : 1;
    const std::string_view model =
        size > 2 ? std::string_view(reinterpret_cast<const char*>(data) + 2, size - 2) : "";

    const Result whole = translate(model, process_count, std::size_t{1} << 16);
    const std::string banner = "--Source file: fuzz.in , by ruvello--\n";
    if (!whole.output.starts_with(banner)) return {"the banner is not the first line"};

    const Result pieces = translate(model, process_count, piece);
    if (pieces.output != whole.output || pieces.warnings != whole.warnings)
        return {"the translation depends on the sizes of reads and buffers"};

    // Nothing to translate: every line comes through as it is.
    if (!textops::contains(model, "Proc") && !textops::contains(model, "FORALL") &&
        !textops::contains(model, "MODULE") && whole.output.substr(banner.size()) != model)
        return {"a model without Proc, FORALL and MODULE was changed"};

    // Warnings are whole lines of the documented form.
    std::istringstream warnings(whole.warnings);
    for (std::string line; std::getline(warnings, line);)
        if (!line.starts_with("ruvello: fuzz.in:") || !textops::contains(line, ": warning: "))
            return {"a malformed warning: " + line};
    return {};
}

}  // namespace fuzzing
