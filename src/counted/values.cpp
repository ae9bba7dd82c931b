#include "counted/values.h"

#include <algorithm>
#include <limits>
#include <optional>

#include "counted/refusal.h"

namespace ruvello::counted {

using smv::Expr;
using smv::Operator;

std::string text_of(const Value& value) {
    switch (value.kind) {
    case Value::Kind::boolean: return value.number ? "TRUE" : "FALSE";
    case Value::Kind::integer: return std::to_string(value.number);
    case Value::Kind::symbol: return std::string(value.symbol);
    case Value::Kind::process: break;
    }
    return value.number == Value::this_process ? "this process" : "another process";
}

ValueSet distinct(ValueSet values) {
    std::sort(values.begin(), values.end());
    values.erase(std::unique(values.begin(), values.end()), values.end());
    return values;
}

ValueSet joined(ValueSet left, const ValueSet& right) {
    left.insert(left.end(), right.begin(), right.end());
    return distinct(std::move(left));
}

std::size_t ValueHash::operator()(const Value& value) const {
    return std::hash<std::string_view>()(value.symbol) ^
           std::hash<std::int64_t>()(value.number * 4 + static_cast<std::int64_t>(value.kind));
}

Domain::Domain(std::vector<Value> values) : values_(std::move(values)) {
    for (std::size_t place = 0; place < values_.size(); ++place) places_.emplace(values_[place], place);
}

std::size_t Domain::index_of(const Value& value) const {
    const auto found = places_.find(value);
    return found == places_.end() ? npos : found->second;
}

bool depends_on_n(const Expr& expr) {
    if (expr.kind == Expr::Kind::name && (expr.text == "N" || expr.text == "Proc")) return true;
    return std::any_of(expr.operands.begin(), expr.operands.end(),
                       [](const smv::ExprPtr& operand) { return depends_on_n(*operand); });
}

namespace {

// A bound of a range: a number, maybe negated.
std::optional<std::int64_t> number_in(const Expr& expr) {
    if (expr.kind == Expr::Kind::number) return expr.value;
    if (expr.kind == Expr::Kind::unary && expr.op == Operator::minus &&
        expr.operand(0).kind == Expr::Kind::number)
        return -expr.operand(0).value;
    return std::nullopt;
}

Domain enumeration(const smv::Model& model, const smv::Type& type, std::string_view name) {
    if (type.values.size() > largest_domain)
        refuse(
            outside(model, type.span, "declares an enumeration too large to count, for " + std::string(name)));
    std::vector<Value> values;
    const bool numbers = type.values.front()->kind == Expr::Kind::number;
    for (const smv::ExprPtr& value : type.values) {
        // The line translator makes Proc each process's own number, and N
        // the number of processes: no constant the same for every process.
        if (value->kind == Expr::Kind::name && (value->text == "Proc" || value->text == "N"))
            refuse(outside(model, type.span,
                           "lists " + std::string(value->text) + " as a value of the type of " +
                               std::string(name) +
                               (value->text == "N"
                                    ? ", which is the number of processes"
                                    : ", which the line translator makes each process's own number")));
        if ((value->kind == Expr::Kind::number) != numbers)
            refuse(outside(model, type.span,
                           "mixes numbers and symbolic constants in the type of " + std::string(name)));
        values.push_back(numbers ? Value::integer(value->value) : Value::constant(value->text));
    }
    Domain domain(std::move(values));
    if (domain.lists_a_value_twice())
        refuse(outside(model, type.span, "lists a value twice in the type of " + std::string(name)));
    return domain;
}

Domain range(const smv::Model& model, const smv::Type& type, std::string_view name) {
    if (depends_on_n(*type.low) || depends_on_n(*type.high))
        refuse(outside(model, type.span, "declares a range that depends on N"));
    const std::optional<std::int64_t> low = number_in(*type.low), high = number_in(*type.high);
    if (!low || !high) refuse(outside(model, type.span, "declares a range whose bounds are not numbers"));
    if (*low > *high) refuse(outside(model, type.span, "declares an empty range for " + std::string(name)));
    if (static_cast<std::uint64_t>(*high - *low) >= largest_domain)
        refuse(outside(model, type.span, "declares a range too large to count, for " + std::string(name)));
    std::vector<Value> values;
    for (std::int64_t value = *low; value <= *high; ++value) values.push_back(Value::integer(value));
    return Domain(std::move(values));
}

}  // namespace

Domain domain_of(const smv::Model& model, const smv::Type& type, std::string_view name) {
    switch (type.kind) {
    case smv::Type::Kind::boolean: return Domain({Value::boolean(false), Value::boolean(true)});
    case smv::Type::Kind::enumeration: return enumeration(model, type, name);
    case smv::Type::Kind::range: return range(model, type, name);
    case smv::Type::Kind::proc: refuse(outside(model, type.span, "declares a range that depends on N"));
    case smv::Type::Kind::array:
        refuse(outside(model, type.span, "declares an array, which the counted model does not keep"));
    case smv::Type::Kind::instance:
        refuse(outside(model, type.span, "declares a module instance other than the processes"));
    case smv::Type::Kind::other: break;
    }
    refuse(
        outside(model, type.span, "declares " + std::string(name) + " of a type that is not a finite range"));
}

namespace {

bool is_logical(Operator op) {
    return op == Operator::conjunction || op == Operator::disjunction || op == Operator::exclusive_or ||
           op == Operator::equivalent_xnor || op == Operator::implication || op == Operator::equivalence;
}
bool is_order(Operator op) {
    return op == Operator::less || op == Operator::less_equal || op == Operator::greater ||
           op == Operator::greater_equal;
}

bool logical(Operator op, bool left, bool right) {
    switch (op) {
    case Operator::conjunction: return left && right;
    case Operator::disjunction: return left || right;
    case Operator::exclusive_or: return left != right;
    case Operator::implication: return !left || right;
    default: return left == right;  // xnor, <->
    }
}

bool ordered(Operator op, std::int64_t left, std::int64_t right) {
    switch (op) {
    case Operator::less: return left < right;
    case Operator::less_equal: return left <= right;
    case Operator::greater: return left > right;
    default: return left >= right;
    }
}

// Two numbers of the model: within 32 bits, as NuSMV keeps them.
Value number(const smv::Model& model, const Expr& at, std::int64_t value) {
    if (value > std::numeric_limits<std::int32_t>::max() || value < std::numeric_limits<std::int32_t>::min())
        refuse(outside(model, at.span, "computes a number too large"));
    return Value::integer(value);
}

Value arithmetic(const smv::Model& model, const Expr& at, Operator op, std::int64_t left,
                 std::int64_t right) {
    switch (op) {
    case Operator::plus: return number(model, at, left + right);
    case Operator::difference: return number(model, at, left - right);
    case Operator::times: return number(model, at, left * right);
    default: break;
    }
    // NuSMV's sign rules for / and mod on negative numbers are left alone.
    if (right <= 0 || left < 0) refuse(outside(model, at.span, "divides with a zero or a negative number"));
    return Value::integer(op == Operator::divided ? left / right : left % right);
}

// Whether two process numbers are the same: the acting process, the one a
// statement is run for and the picked one are each no other; two readings
// of one holder variable name the same process, while two holder variables
// that name none of those may or may not.
bool same_process(const smv::Model& model, const Expr& at, const Value& left, const Value& right) {
    if (left.number < 0 || right.number < 0) return left == right;
    if (left.number != right.number) refuse(outside(model, at.span, "compares two process-number variables"));
    return true;
}

}  // namespace

Value apply(const smv::Model& model, const Expr& at, Operator op, const Value& left, const Value& right) {
    using Kind = Value::Kind;
    if (left.kind != right.kind) refuse(outside(model, at.span, "combines values of different types"));
    if (op == Operator::equal || op == Operator::not_equal) {
        const bool same = left.kind == Kind::process ? same_process(model, at, left, right) : left == right;
        return Value::boolean(same == (op == Operator::equal));
    }
    if (left.kind == Kind::process) refuse(outside(model, at.span, "computes with process numbers"));
    if (is_logical(op)) {
        if (left.kind != Kind::boolean)
            refuse(outside(model, at.span, "applies a logical operator to non-booleans"));
        return Value::boolean(logical(op, left.number != 0, right.number != 0));
    }
    if (left.kind != Kind::integer)
        refuse(outside(model, at.span, "computes with values that are not numbers"));
    if (is_order(op)) return Value::boolean(ordered(op, left.number, right.number));
    return arithmetic(model, at, op, left.number, right.number);
}

Value apply(const smv::Model& model, const Expr& at, Operator op, const Value& operand) {
    if (op == Operator::negation) {
        if (operand.kind != Value::Kind::boolean)
            refuse(outside(model, at.span, "negates a value that is not boolean"));
        return Value::boolean(operand.number == 0);
    }
    if (operand.kind == Value::Kind::process)
        refuse(outside(model, at.span, "computes with process numbers"));
    if (operand.kind != Value::Kind::integer)
        refuse(outside(model, at.span, "negates a value that is not a number"));
    return number(model, at, -operand.number);
}

}  // namespace ruvello::counted
