// The one entry point of the translation, for the command and for checks.
#pragma once

#include <string>
#include <string_view>

#include "platform/streams.h"
#include "translate/translator.h"
#include "translate/warnings.h"

namespace ruvello {

// Translates a whole model: the banner, then its lines, on threads where
// that pays (a large model on several cores), otherwise by the line loop
// on this thread. The output is the same either way.
void translate(ByteSource& model, ByteSink& sink, Warnings& warnings,
               const TranslationSettings& settings);

// The output path of a model: within the last path component, the text up to
// the first '.' after its leading dots, followed by ".smv".
std::string output_path_for(std::string_view model_path);

}  // namespace ruvello
