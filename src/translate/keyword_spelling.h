// Misspelt keywords: a word where a keyword goes that is none, but one
// letter or two away from one (ASIGN, MODUEL, SEPC, transtion), is told
// before NuSMV stops at the line after it with a syntax error.
#pragma once

#include <optional>
#include <span>
#include <string_view>

namespace ruvello {

// NuSMV's section and property keywords (the formula words aside), and
// ruvello's own `transition`: those a misspelling is taken for.
std::span<const std::string_view> spelt_keywords();

// The keyword of `keywords` that `word` is a misspelling of: `word` is none
// of them, but the same in other capitals, or one edit from one (a letter
// added, left out, changed, or two swapped), two for a keyword of six
// letters or more. Nothing for a word of fewer than three letters.
std::optional<std::string_view> misspelt_keyword(std::string_view word,
                                                 std::span<const std::string_view> keywords);

}  // namespace ruvello
