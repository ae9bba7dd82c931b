// Reads a whole vorn model into its modules (syntax.h).
//
// The parser is recursive descent over the tokens, with NuSMV's operator
// precedence, from the loosest: ->  (right to left), <->, ? :, | xor xnor,
// &, = != < <= > >=, in, union, + -, * / mod, and the unary ! and -. A
// temporal operator (AG, EF, ...) takes what follows up to the comparisons:
// AG a -> b is (AG a) -> b, and AG x = y is AG (x = y).
//
// The model is untrusted: nesting deeper than a fixed bound is refused, as
// any other input the parser does not read, with the line where it stands.
// The depth is counted before each level is read, chains of the operators
// that group to the right (-> and ? :) and arrays of arrays included, so
// that no input runs the parser out of stack.
// A part of a property section that cannot be read makes that property
// unread; any other makes the model unread (Model::error), and reading goes
// on at the next section so that every property is still found.
#pragma once

#include <string_view>

#include "smv/syntax.h"

namespace ruvello::smv {

// How deep expressions may nest, and how deep their trees may grow.
inline constexpr int max_nesting = 200;
inline constexpr int max_depth = 400;

Model parse_model(std::string_view text);

}  // namespace ruvello::smv
