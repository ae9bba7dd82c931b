#include "counted/step_runner.h"

namespace ruvello::counted {

Value StepRunner::element(const smv::Expr& expr, bool next) const {
    const smv::Expr& base = expr.operand(0);
    const smv::Expr& index = expr.operand(1);
    const auto parameter = base.kind == smv::Expr::Kind::name && !processes_.module_variables.contains(base.text)
                               ? processes_.parameters.find(base.text)
                               : processes_.parameters.end();
    if (parameter == processes_.parameters.end() || parameter->second.kind != Binding::Kind::variable ||
        !processes_.variables[parameter->second.variable].element)
        refuse(outside(model_, expr.span, "indexes something other than an array of main passed to the process"));
    const std::size_t variable = parameter->second.variable;
    const bool proc = index.kind == smv::Expr::Kind::name && index.text == "Proc";
    const auto own = index.kind == smv::Expr::Kind::name ? processes_.parameters.find(index.text)
                                                         : processes_.parameters.end();
    const bool own_number = !proc && own != processes_.parameters.end() &&
                            own->second.kind == Binding::Kind::process_number &&
                            !processes_.module_variables.contains(index.text);
    const auto declared = index.kind == smv::Expr::Kind::name ? processes_.module_variables.find(index.text)
                                                              : processes_.module_variables.end();
    const bool picked = declared != processes_.module_variables.end() && declared->second == processes_.pick;
    if (!proc && !own_number && !picked)
        refuse(outside(model_, expr.span,
                       "indexes an array otherwise than by the process's own number, Proc or an input of type 1 .. N"));
    const LocalState* whose = proc ? target_ : picked ? picked_ : nullptr;
    if (!whose) return variable_value(variable, next, expr);
    if (next) refuse(outside(model_, expr.span, "reads the next value of another process's element"));
    return processes_.variables[variable].domain.values()[(*whose)[place_[variable]]];
}

bool StepRunner::guards_hold(const Situation& situation, const LocalState* target, std::int64_t identity) {
    set_values(situation);
    next_.assign(processes_.variables.size(), std::nullopt);
    target_ = target;
    target_identity_ = identity;
    in_guard_ = true;
    bool allowed = true;
    for (const smv::Constraint* guard : processes_.guards)
        allowed = allowed && evaluator_.holds(*guard->expressions.front(), resolve_);
    target_ = nullptr;
    in_guard_ = false;
    return allowed;
}

bool StepRunner::broadcasts() const {
    return std::any_of(processes_.own.begin(), processes_.own.end(),
                       [&](std::size_t variable) { return processes_.variables[variable].element; });
}

LocalState StepRunner::moved(const Situation& situation, const LocalState& target, std::int64_t identity) {
    set_values(situation);
    next_.assign(processes_.variables.size(), std::nullopt);
    target_ = &target;
    target_identity_ = identity;
    LocalState after = target;
    for (std::size_t k = 0; k < processes_.own.size(); ++k) {
        const std::size_t variable = processes_.own[k];
        if (!processes_.variables[variable].element) continue;
        const Value value = evaluator_.value(*processes_.variables[variable].next->value, resolve_);
        require_fits(variable, value);
        after[k] = static_cast<std::uint32_t>(processes_.variables[variable].domain.index_of(value));
    }
    target_ = nullptr;
    return after;
}

}  // namespace ruvello::counted
