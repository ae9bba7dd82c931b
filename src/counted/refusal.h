// Why a model or a property is not decided for every N.
//
// Recognition and enumeration stop at the first thing they do not take in,
// by throwing a Refusal whose reason is one line for the user.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "smv/syntax.h"

namespace ruvello::counted {

struct Refusal {
    std::string reason;
};

// "outside the class: line 14 <what>"
std::string outside(std::size_t line, std::string_view what);
// "outside the class: line 14 <what> (<the expression's text>)"
std::string outside(const smv::Model& model, const smv::Span& span, std::string_view what);

[[noreturn]] void refuse(std::string reason);

}  // namespace ruvello::counted
