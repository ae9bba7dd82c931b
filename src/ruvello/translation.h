// The one entry point of the translation, for the command and for checks.
#pragma once

#include "streams.h"
#include "translator.h"
#include "warnings.h"

namespace ruvello {

// Translates a whole model: the banner, then its lines, on threads where
// that pays (a large model on several cores), otherwise by the line loop
// on this thread. The output is the same either way.
void translate(ByteSource& model, ByteSink& sink, Warnings& warnings,
               const TranslationSettings& settings);

}  // namespace ruvello
