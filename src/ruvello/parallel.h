// The translation of a model made of many modules on several threads.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <ostream>

#include "streams.h"
#include "translator.h"

namespace ruvello {

struct PieceSizes {
    std::size_t piece;  // a piece holds at least this many input bytes
    std::size_t limit;  // a longer piece is translated line by line as it is read
    unsigned threads;   // 0 translates the pieces on the calling thread
    std::size_t before_threads = 0;  // input bytes translated before the threads start
};

// Pieces whose output stays around a megabyte, on as many threads as the
// machine runs at once, at most 4 and none on a single core. Starting threads
// costs more than they save on a model of a few megabytes: they start at once
// for a model known to be larger, and otherwise from its ninth megabyte on.
PieceSizes piece_sizes_for(int process_count,
                           std::optional<std::uint64_t> model_size = std::nullopt);

// Writes to `sink` exactly what a translation line by line would, with the
// warnings in the same order. The model is cut before MODULE headers into
// pieces: the calling thread reads and cuts them, and the threads translate
// them and write them in order. A piece's output is held until the pieces
// before it are written, and only one more piece than there are threads is
// in hand at a time, so memory stays bounded; for the same reason, with more
// than 64 processes the whole model is translated line by line.
void translate_in_pieces(ByteSource& source, ByteSink& sink, std::ostream& warnings,
                         const TranslationSettings& settings, const PieceSizes& sizes);

}  // namespace ruvello
