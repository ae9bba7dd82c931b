// Which verdict of the checker belongs to which property of the model: the
// properties the checker listed, found in the translation by their names.
#pragma once

#include <cstddef>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "check/checker.h"
#include "check/naming.h"

namespace ruvello::check {

// A listed property and the property of the translation it is, with the
// path of its module instance.
struct Attributed {
    ListedProperty listed;
    std::size_t property = 0;  // of the translation's properties
    std::string path;
};

struct Attribution {
    std::vector<Attributed> entries;
    std::vector<std::size_t> untold;  // PSL properties that share a module with another
    std::optional<std::string> problem;
};

// Finds each property the checker listed in the translation, by its name in
// the module of its instance, and whether every property that the model
// has is listed once for each instance of its module. NuSMV gives PSL
// properties no name: one is told by its instance, when it is the only one
// of its module. The properties `left_out` of the file are not looked for.
Attribution attribute(const NamedTranslation& named, const std::vector<ListedProperty>& listing,
                      const std::set<std::size_t>& left_out = {});

}  // namespace ruvello::check
