#include "counted/evaluation.h"

#include <algorithm>

#include "counted/refusal.h"

namespace ruvello::counted {

using smv::Expr;

void Budget::spend() {
    if (++spent_ > evaluation_budget)
        refuse("outside the class: the model has too many states to count (more than " +
               std::to_string(evaluation_budget) + " evaluations)");
    if (spent_ % between_checkpoints == 0) checkpoint_();
}

ValueSet Evaluator::values(const Expr& expr, const Resolver& resolve, bool next) {
    budget_.spend();
    switch (expr.kind) {
    case Expr::Kind::number: return {Value::integer(expr.value)};
    case Expr::Kind::boolean: return {Value::boolean(expr.value != 0)};
    case Expr::Kind::name:
    case Expr::Kind::index:
    case Expr::Kind::member: return resolve(expr, next);
    case Expr::Kind::next:
        if (next) refuse(outside(model_, expr.span, "nests next"));
        return values(expr.operand(0), resolve, true);
    case Expr::Kind::init: refuse(outside(model_, expr.span, "reads init( ) in an expression"));
    case Expr::Kind::unary: return {apply(model_, expr, expr.op, value(expr.operand(0), resolve, next))};
    case Expr::Kind::binary: return binary(expr, resolve, next);
    case Expr::Kind::if_then_else:
        return values(expr.operand(holds(expr.operand(0), resolve, next) ? 1 : 2), resolve, next);
    case Expr::Kind::choice: return choice(expr, resolve, next);
    case Expr::Kind::set: {
        ValueSet all;
        for (const smv::ExprPtr& element : expr.operands) {
            const ValueSet some = values(*element, resolve, next);
            all.insert(all.end(), some.begin(), some.end());
        }
        return distinct(std::move(all));
    }
    case Expr::Kind::temporal:
    case Expr::Kind::until:
        refuse(outside(model_, expr.span, "uses a temporal operator where a state is meant"));
    case Expr::Kind::call: break;
    }
    refuse(outside(model_, expr.span,
                   "calls " + std::string(expr.text) + ", which the counted model does not evaluate"));
}

Value Evaluator::value(const Expr& expr, const Resolver& resolve, bool next) {
    const ValueSet found = values(expr, resolve, next);
    if (found.size() != 1)
        refuse(outside(model_, expr.span, "uses a set of values where one value is meant"));
    return found.front();
}

bool Evaluator::holds(const Expr& expr, const Resolver& resolve, bool next) {
    const Value found = value(expr, resolve, next);
    if (found.kind != Value::Kind::boolean)
        refuse(outside(model_, expr.span, "uses a value that is not boolean as a condition"));
    return found.number != 0;
}

// The branches of a case are tried in order; NuSMV refuses a case where
// none applies.
ValueSet Evaluator::choice(const Expr& expr, const Resolver& resolve, bool next) {
    for (std::size_t k = 0; k + 1 < expr.operands.size(); k += 2)
        if (holds(expr.operand(k), resolve, next)) return values(expr.operand(k + 1), resolve, next);
    refuse(outside(model_, expr.span, "has a case where no branch applies"));
}

ValueSet Evaluator::binary(const Expr& expr, const Resolver& resolve, bool next) {
    if (expr.op == smv::Operator::set_union)
        return joined(values(expr.operand(0), resolve, next), values(expr.operand(1), resolve, next));
    const Value left = value(expr.operand(0), resolve, next);
    if (short_circuit_ && left.kind == Value::Kind::boolean) {
        const bool decided = (expr.op == smv::Operator::conjunction && left.number == 0) ||
                             (expr.op == smv::Operator::disjunction && left.number != 0) ||
                             (expr.op == smv::Operator::implication && left.number == 0);
        if (decided) return {Value::boolean(expr.op != smv::Operator::conjunction)};
    }
    if (expr.op == smv::Operator::member) {
        const ValueSet right = values(expr.operand(1), resolve, next);
        if (std::any_of(right.begin(), right.end(),
                        [&](const Value& element) { return element.kind != left.kind; }))
            refuse(outside(model_, expr.span, "combines values of different types"));
        if (left.kind == Value::Kind::process)
            refuse(outside(model_, expr.span, "looks for a process number in a set"));
        return {Value::boolean(std::find(right.begin(), right.end(), left) != right.end())};
    }
    return {apply(model_, expr, expr.op, left, value(expr.operand(1), resolve, next))};
}

}  // namespace ruvello::counted
