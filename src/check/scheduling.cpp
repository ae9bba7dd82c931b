#include "check/scheduling.h"

#include <algorithm>
#include <array>
#include <set>
#include <vector>

#include "smv/parser.h"

namespace ruvello::check {

namespace {

// Whether the property of `model` at `line` says that something must happen.
bool says_something_happens(const smv::Model& model, std::size_t line) {
    static constexpr std::array<std::string_view, 4> eventually{"AF", "EF", "F", "U"};
    for (const smv::Module& module : model.modules)
        for (const smv::Property& property : module.properties) {
            if (property.line != line || property.last_token >= model.tokens.size()) continue;
            for (std::size_t at = property.first_token; at <= property.last_token; ++at)
                if (std::find(eventually.begin(), eventually.end(), model.tokens[at].text) != eventually.end())
                    return true;
        }
    return false;
}

bool schedules_fairly(const smv::Module& module) {
    return std::any_of(module.constraints.begin(), module.constraints.end(), [](const smv::Constraint& constraint) {
        return constraint.keyword == "FAIRNESS" && constraint.expressions.size() == 1 &&
               constraint.expressions.front()->kind == smv::Expr::Kind::name &&
               constraint.expressions.front()->text == "running";
    });
}

// The modules of the model's processes that have no FAIRNESS running.
std::set<std::string_view> unfair_process_modules(const smv::Model& model) {
    std::set<std::string_view> unfair;
    for (const smv::Module& module : model.modules)
        for (const smv::Declaration& declaration : module.declarations) {
            const smv::Type& type = declaration.type;
            if (type.kind != smv::Type::Kind::instance || type.keyword.empty()) continue;
            const smv::Module* process = model.module(type.module);
            if (process && !schedules_fairly(*process)) unfair.insert(type.module);
        }
    return unfair;
}

}  // namespace

std::optional<std::string> scheduling_note(std::string_view model_text, const Results& results) {
    std::set<std::size_t> false_lines;
    for (const InstanceVerdict& verdict : results.verdicts)
        if (verdict.verdict == Verdict::fails) false_lines.insert(verdict.line);
    if (false_lines.empty()) return std::nullopt;
    const smv::Model model = smv::parse_model(model_text);
    std::vector<std::size_t> lines;
    for (const std::size_t line : false_lines)
        if (says_something_happens(model, line)) lines.push_back(line);
    const std::set<std::string_view> unfair = unfair_process_modules(model);
    if (lines.empty() || unfair.empty()) return std::nullopt;
    std::string note = lines.size() == 1 ? "line " : "lines ";
    for (std::size_t i = 0; i < lines.size(); ++i) note += (i > 0 ? ", " : "") + std::to_string(lines[i]);
    note += ": false, and module";
    note += unfair.size() == 1 ? " " : "s ";
    const char* separator = "";
    for (const std::string_view module : unfair) {
        note += separator + std::string(module);
        separator = ", ";
    }
    note += unfair.size() == 1 ? " has" : " have";
    return note + " no FAIRNESS running: without it a process may never be scheduled, which is usually not what "
                  "was meant";
}

}  // namespace ruvello::check
