#include "check/attribution.h"

#include "smv/vocabulary.h"

#include <algorithm>
#include <map>

namespace ruvello::check {

namespace {

// Why the translation's properties are not each listed once for each
// instance of its module, or nothing.
std::optional<std::string> listed_wrongly(const NamedTranslation& named, const std::vector<std::size_t>& times_listed,
                                          const std::vector<std::size_t>& untold, const std::set<std::size_t>& left_out) {
    for (std::size_t i = 0; i < named.properties.size(); ++i) {
        const NamedProperty& property = named.properties[i];
        if (std::find(untold.begin(), untold.end(), i) != untold.end() || left_out.contains(i)) continue;
        const std::size_t instances = named.instance_count(property.module);
        if (times_listed[i] < instances)
            return "the checker did not list the property of line " + std::to_string(property.line) +
                   (property.name.empty() ? std::string() : ", " + property.name) +
                   (property.module == "main" ? std::string() : ", in module " + property.module);
        if (times_listed[i] > instances)
            return "the checker listed the property of line " + std::to_string(property.line) +
                   " more often than module " + property.module + " has instances";
    }
    return std::nullopt;
}

}  // namespace

Attribution attribute(const NamedTranslation& named, const std::vector<ListedProperty>& listing,
                      const std::set<std::size_t>& left_out) {
    Attribution attribution;
    std::map<std::string, std::vector<std::size_t>> psl_of_module;
    for (std::size_t i = 0; i < named.properties.size(); ++i)
        if (named.properties[i].kind == smv::PropertyKind::psl) psl_of_module[named.properties[i].module].push_back(i);
    for (const auto& [module, properties] : psl_of_module)
        if (properties.size() > 1) attribution.untold.insert(attribution.untold.end(), properties.begin(), properties.end());
    std::vector<std::size_t> times_listed(named.properties.size());
    for (const ListedProperty& listed : listing) {
        std::optional<NamedTranslation::Found> found;
        if (smv::property_kind_of_text(listed.kind) == smv::PropertyKind::psl) {
            const std::optional<std::string> module = named.module_of(listed.instance);
            if (const auto psl = psl_of_module.find(module.value_or("")); module && psl != psl_of_module.end()) {
                if (psl->second.size() > 1) continue;
                found = NamedTranslation::Found{psl->second.front(), listed.instance};
            }
        } else {
            found = named.property_listed_as(listed.name);
        }
        if (!found) {
            attribution.problem = "the checker listed a property that the translation does not have: " +
                                  (listed.name == "N/A" ? listed.kind + " in '" + listed.instance + "'" : listed.name);
            return attribution;
        }
        ++times_listed[found->property];
        attribution.entries.push_back({listed, found->property, std::move(found->path)});
    }
    attribution.problem = listed_wrongly(named, times_listed, attribution.untold, left_out);
    return attribution;
}

}  // namespace ruvello::check
