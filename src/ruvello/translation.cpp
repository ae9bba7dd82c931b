#include "translation.h"

#include "pieces.h"

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

}  // namespace ruvello
