#include "counted/refusal.h"

#include "smv/excerpt.h"

namespace ruvello::counted {

std::string outside(std::size_t line, std::string_view what) {
    return "outside the class: line " + std::to_string(line) + " " + std::string(what);
}

std::string outside(const smv::Model& model, const smv::Span& span, std::string_view what) {
    return outside(span.line, std::string(what) + " (" + smv::excerpt(model.text_of(span)) + ")");
}

void refuse(std::string reason) { throw Refusal{std::move(reason)}; }

}  // namespace ruvello::counted
