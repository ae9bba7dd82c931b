// Names every property of a translation, so that the checker's verdict on
// each can be told apart by its name rather than by where or how the checker
// prints it.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace ruvello::check {

// A property of the translation.
struct NamedProperty {
    std::string name;       // after NAME; empty for PSL, which NuSMV cannot name
    std::size_t line = 0;   // the model's line where its formula starts
    std::string kind;       // "CTL", "LTL", "INVAR", "PSL" or "COMPUTE"
    std::string module;
    std::optional<std::vector<int>> processes;  // a FORALL instance's tuple
    bool stand_in = false;  // stands for a FORALL line without instances
};

struct NamedTranslation {
    std::string text;
    std::vector<NamedProperty> properties;  // in the order of the text
};

// `translation` is written with line markers and named FORALL instances
// (NAME ruvello_14_1_3, NAME ruvello_14_none). Each other property without
// a NAME gets one, ruvello_LINE (ruvello_LINE_pK for the K-th of a line);
// a NAME of the model's own is kept.
NamedTranslation name_properties(std::string_view translation);

}  // namespace ruvello::check
