#include "translate/translation.h"

#include "translate/pieces.h"

namespace ruvello {

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

std::string output_path_for(std::string_view model_path) {
    const std::size_t slash = model_path.rfind('/');
    const std::size_t name = slash == std::string_view::npos ? 0 : slash + 1;
    const std::size_t stem = model_path.find_first_not_of('.', name);
    const std::size_t dot =
        stem == std::string_view::npos ? std::string_view::npos : model_path.find('.', stem);
    return std::string(model_path.substr(0, dot)) + ".smv";
}

}  // namespace ruvello
