// Writes realistic vorn models of a chosen size for benchmarks: many modules
// with parameter lists over several lines, process-indexed declarations,
// Proc ranges, transition instances, multi-line case assignments, comments,
// blank lines and SPEC sections with one- and two-parameter FORALL
// properties. The same size and seed always give the same model.
#pragma once

#include <cstddef>
#include <cstdint>
#include <ostream>

namespace bench {

void generate_model(std::ostream& out, std::size_t target_bytes, std::uint64_t seed);

// A model whose third line is one process-indexed declaration of about
// `target_bytes`, so that the translation of a single long line is timed.
void generate_one_line_model(std::ostream& out, std::size_t target_bytes);

// A model whose first line is one comment of about `target_bytes`, which
// is only copied.
void generate_copied_line_model(std::ostream& out, std::size_t target_bytes);

}  // namespace bench
