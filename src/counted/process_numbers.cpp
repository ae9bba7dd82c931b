// How the process module may use process numbers and still treat every
// process alike: a step of a process must not depend on which number it
// has, beyond whether a holder variable names it.
//
// A process number is the parameter bound to Proc (its own number), a
// holder variable (a shared variable of type Proc) or the input that picks
// a process. Taken in: comparing one with another by = or !=, giving a
// holder variable the process's own number, the picked one or the value
// of a holder variable, and indexing an array of main by the own number
// or the picked one; in a statement for every process, Proc (the process
// the statement is for) compared with the process's own number or the
// picked one, and an array of main indexed by it. Refused, each with its reason: arithmetic and
// order on process numbers ((id mod N) + 1, id < turn), a literal process
// number (id = 3), N anywhere, and comparing two holder variables.

#include <algorithm>
#include <optional>
#include <vector>

#include "counted/recognition.h"
#include "counted/refusal.h"

namespace ruvello::counted {

namespace {

using smv::Expr;
using smv::Operator;

bool is_arithmetic(Operator op) {
    return op == Operator::plus || op == Operator::difference || op == Operator::times ||
           op == Operator::divided || op == Operator::modulo;
}
bool is_order(Operator op) {
    return op == Operator::less || op == Operator::less_equal || op == Operator::greater ||
           op == Operator::greater_equal;
}
bool is_literal_number(const Expr& expr) {
    return expr.kind == Expr::Kind::number || (expr.kind == Expr::Kind::unary && expr.op == Operator::minus &&
                                               is_literal_number(expr.operand(0)));
}

class ProcessNumbers {
public:
    explicit ProcessNumbers(const ProcessClass& processes)
        : processes_(processes), model_(*processes.model) {}

    void require_symmetric() const {
        // The module's parts, checked in the order of its text.
        struct Part {
            std::size_t begin;
            const Expr* expression;
            const smv::Assignment* assignment;
            bool for_every_process;  // a statement the line translator writes once for each process
        };
        std::vector<Part> parts;
        const smv::Module& module = *processes_.process;
        for (const smv::Assignment& assignment : module.assignments) {
            const Expr& target = *assignment.target;
            const bool every = target.kind == Expr::Kind::index && is_array(target.operand(0));
            parts.push_back({assignment.span.begin, nullptr, &assignment, every});
        }
        for (const smv::Definition& definition : module.definitions)
            parts.push_back({definition.span.begin, definition.value.get(), nullptr, false});
        for (const smv::Constraint& constraint : module.constraints)
            for (const smv::ExprPtr& expression : constraint.expressions)
                parts.push_back({expression->span.begin, expression.get(), nullptr, constraint.keyword == "TRANS"});
        std::sort(parts.begin(), parts.end(), [](const Part& a, const Part& b) { return a.begin < b.begin; });
        for (const Part& part : parts) {
            for_every_process_ = part.for_every_process;
            if (part.assignment)
                check_assignment(*part.assignment);
            else
                walk(*part.expression, nullptr);
        }
    }

private:
    enum class Atom { none, own_number, holder, picked, n, target, stray_proc };

    // What a name of the module, or its next value, is for its process
    // numbers.
    Atom atom(const Expr& expr) const {
        if (expr.kind == Expr::Kind::next) return atom(expr.operand(0));
        if (expr.kind != Expr::Kind::name) return Atom::none;
        if (expr.text == "N" && !declared_in_module(expr.text)) return Atom::n;
        if (expr.text == "Proc" && !declared_in_module(expr.text))
            return for_every_process_ ? Atom::target : Atom::stray_proc;
        if (holder_of(expr)) return Atom::holder;
        if (const auto found = processes_.module_variables.find(expr.text);
            processes_.pick && found != processes_.module_variables.end() && found->second == *processes_.pick)
            return Atom::picked;
        const auto parameter = processes_.parameters.find(expr.text);
        if (parameter != processes_.parameters.end() &&
            parameter->second.kind == Binding::Kind::process_number && !declared_in_module(expr.text))
            return Atom::own_number;
        return Atom::none;
    }
    bool is_process_number(const Expr& expr) const {
        const Atom found = atom(expr);
        return found == Atom::own_number || found == Atom::holder || found == Atom::picked ||
               found == Atom::target;
    }
    bool is_array(const Expr& expr) const {
        if (expr.kind != Expr::Kind::name || declared_in_module(expr.text)) return false;
        const auto parameter = processes_.parameters.find(expr.text);
        return parameter != processes_.parameters.end() && parameter->second.kind == Binding::Kind::variable &&
               processes_.variables[parameter->second.variable].element;
    }
    bool declared_in_module(std::string_view name) const {
        return processes_.module_variables.contains(name) || processes_.module_definitions.contains(name);
    }
    // The holder variable a name stands for.
    std::optional<std::size_t> holder_of(const Expr& expr) const {
        if (expr.kind == Expr::Kind::next) return holder_of(expr.operand(0));
        if (expr.kind != Expr::Kind::name || declared_in_module(expr.text)) return std::nullopt;
        const auto parameter = processes_.parameters.find(expr.text);
        if (parameter == processes_.parameters.end() || parameter->second.kind != Binding::Kind::variable ||
            processes_.variables[parameter->second.variable].role != Role::holder)
            return std::nullopt;
        return parameter->second.variable;
    }

    // Whether a process number flows into the value of `expr`.
    bool carries(const Expr& expr) const {
        if (is_process_number(expr)) return true;
        switch (expr.kind) {
        case Expr::Kind::unary: return expr.op == Operator::minus && carries(expr.operand(0));
        case Expr::Kind::binary:
            return is_arithmetic(expr.op) && (carries(expr.operand(0)) || carries(expr.operand(1)));
        case Expr::Kind::if_then_else: return carries(expr.operand(1)) || carries(expr.operand(2));
        case Expr::Kind::choice:
            for (std::size_t k = 1; k < expr.operands.size(); k += 2)
                if (carries(expr.operand(k))) return true;
            return false;
        case Expr::Kind::set:
            return std::any_of(expr.operands.begin(), expr.operands.end(),
                               [&](const smv::ExprPtr& element) { return carries(*element); });
        default: return false;
        }
    }

    [[noreturn]] void fail(const Expr& at, std::string_view what) const {
        refuse(outside(model_, at.span, what));
    }

    void walk(const Expr& expr, const Expr* parent) const {
        // A name is quoted with the operation it is an operand of.
        const bool operation =
            parent && (parent->kind == Expr::Kind::binary || parent->kind == Expr::Kind::unary);
        const Expr& context = operation ? *parent : expr;
        if (expr.kind == Expr::Kind::index && is_array(expr.operand(0))) {
            const Atom index = atom(expr.operand(1));
            if (index != Atom::own_number && index != Atom::target && index != Atom::picked)
                fail(expr, "indexes an array otherwise than by the process's own number, Proc or an input of type 1 .. N");
            return;
        }
        switch (atom(expr)) {
        case Atom::n: fail(context, "uses N");
        case Atom::stray_proc:
            fail(context, "uses Proc outside next(a[Proc]) and TRANS, where the line translator makes it 1 .. N");
        case Atom::target: fail(context, "uses Proc otherwise than in Proc = id, Proc != id or a[Proc]");
        case Atom::own_number:
        case Atom::holder:
        case Atom::picked: fail(context, "uses a process number otherwise than in = or !=");
        case Atom::none: break;
        }
        if (expr.kind == Expr::Kind::binary && (expr.op == Operator::equal || expr.op == Operator::not_equal))
            return equality(expr);
        const bool computes = (expr.kind == Expr::Kind::binary && is_arithmetic(expr.op)) ||
                              (expr.kind == Expr::Kind::unary && expr.op == Operator::minus);
        const bool orders = expr.kind == Expr::Kind::binary && is_order(expr.op);
        if (computes || orders) {
            const bool numbers = std::any_of(expr.operands.begin(), expr.operands.end(),
                                             [&](const smv::ExprPtr& operand) { return carries(*operand); });
            if (numbers)
                fail(expr, computes ? "computes with process numbers"
                                    : "orders process numbers, which the counted model does not keep: protocols that "
                                      "rank processes (Szymanski's, the bakery) are outside the class");
        }
        for (const smv::ExprPtr& operand : expr.operands) walk(*operand, &expr);
    }

    void equality(const Expr& expr) const {
        const Expr& left = expr.operand(0);
        const Expr& right = expr.operand(1);
        const bool left_number = is_process_number(left), right_number = is_process_number(right);
        if (!left_number && !right_number) {
            walk(left, &expr);
            walk(right, &expr);
            return;
        }
        if (left_number && right_number) {
            const std::optional<std::size_t> left_holder = holder_of(left), right_holder = holder_of(right);
            if (left_holder && right_holder && left_holder != right_holder)
                fail(expr, "compares two process-number variables");
            if ((left_holder && atom(right) == Atom::target) || (right_holder && atom(left) == Atom::target))
                fail(expr, "compares Proc with a process-number variable");
            return;
        }
        const Expr& other = left_number ? right : left;
        if (is_literal_number(other)) fail(expr, "compares a process number with a literal");
        walk(other, &expr);
        fail(expr, "compares a process number with something other than a process's own number");
    }

    void check_assignment(const smv::Assignment& assignment) const {
        const std::optional<std::size_t> holder = holder_of(*assignment.target);
        if (!holder || assignment.kind != smv::Assignment::Kind::next)
            return walk(*assignment.value, nullptr);
        holder_value(*assignment.value, *holder, assignment);
    }

    // The values a holder variable is given: the process's own number, the
    // picked one, or a holder variable's value, through cases, conditions
    // and sets.
    void holder_value(const Expr& value, std::size_t holder, const smv::Assignment& assignment) const {
        switch (value.kind) {
        case Expr::Kind::if_then_else:
            walk(value.operand(0), &value);
            holder_value(value.operand(1), holder, assignment);
            holder_value(value.operand(2), holder, assignment);
            return;
        case Expr::Kind::choice:
            for (std::size_t k = 0; k + 1 < value.operands.size(); k += 2) {
                walk(value.operand(k), &value);
                holder_value(value.operand(k + 1), holder, assignment);
            }
            return;
        case Expr::Kind::set:
            for (const smv::ExprPtr& element : value.operands) holder_value(*element, holder, assignment);
            return;
        default: break;
        }
        if (atom(value) == Atom::own_number || atom(value) == Atom::picked || holder_of(value)) return;
        const std::string name(processes_.variables[holder].name);
        if (is_literal_number(value)) fail(value, "gives " + name + " a literal process number");
        if (carries(value)) walk(value, nullptr);
        fail(value, "gives " + name + " something other than a process's own number");
    }

    const ProcessClass& processes_;
    const smv::Model& model_;
    mutable bool for_every_process_ = false;  // whether the part checked may name Proc
};

}  // namespace

void require_symmetric_process_numbers(const ProcessClass& processes) {
    ProcessNumbers(processes).require_symmetric();
}

}  // namespace ruvello::counted
