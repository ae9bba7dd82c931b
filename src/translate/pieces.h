// The translation of a large model on several threads.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>

#include "platform/streams.h"
#include "translate/translator.h"

namespace ruvello {

struct PiecePlan {
    std::size_t piece_size;   // a piece holds at least this many bytes of the model
    std::size_t piece_limit;  // a module that goes on past this is not held whole
    unsigned threads;         // translating threads
};

// How to cut a model into pieces when threads pay for it: for a model known
// to be larger than 8 MB, on several cores, and with at most 64 processes,
// so that the output of a piece stays around a megabyte. Nothing otherwise.
std::optional<PiecePlan> pieces_that_pay(const TranslationSettings& settings,
                                         std::optional<std::uint64_t> model_size);

// Writes the banner and the translation of `model` to `sink`, exactly as the
// line loop would, warnings in the same order. The model is cut before its
// MODULE headers, where the line loop starts afresh, into pieces that the
// threads translate while this thread reads on and writes the translated
// pieces in order. From a module longer than the piece limit on, the rest
// of the model is translated line by line as it is read.
void translate_in_pieces(ByteSource& model, ByteSink& sink, Warnings& warnings,
                         const TranslationSettings& settings, const PiecePlan& plan);

}  // namespace ruvello
