// The values a step of a process computes with, and the finite types they
// range over.
#pragma once

#include <compare>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "smv/syntax.h"

namespace ruvello::counted {

struct Value {
    enum class Kind : std::uint8_t { boolean, integer, symbol, process };
    Kind kind = Kind::boolean;
    // boolean: 0 or 1; integer: the number; process: this_process, or the
    // index of the holder variable that names some other process.
    std::int64_t number = 0;
    std::string_view symbol;

    static constexpr std::int64_t this_process = -1;

    static Value boolean(bool value) { return {Kind::boolean, value ? 1 : 0, {}}; }
    static Value integer(std::int64_t value) { return {Kind::integer, value, {}}; }
    static Value constant(std::string_view name) { return {Kind::symbol, 0, name}; }
    static Value process(std::int64_t who) { return {Kind::process, who, {}}; }

    auto operator<=>(const Value&) const = default;
};

// As NuSMV writes it: TRUE, 3, idle.
std::string text_of(const Value& value);

// Several values an expression may take, as a set {a, b} gives; sorted.
using ValueSet = std::vector<Value>;
ValueSet joined(ValueSet left, const ValueSet& right);

// The values of a finite type, in the order the type lists them.
struct Domain {
    std::vector<Value> values;
    static constexpr std::size_t npos = static_cast<std::size_t>(-1);
    std::size_t index_of(const Value& value) const;
    std::size_t size() const { return values.size(); }
};

// The most values a type of the counted model may have.
inline constexpr std::size_t largest_domain = 4096;

// The values of a boolean, an enumeration or a range with bounds that are
// numbers; refuses any other type, naming `name` and its line.
Domain domain_of(const smv::Model& model, const smv::Type& type, std::string_view name);

// Whether an expression names N or Proc, whose values depend on N.
bool depends_on_n(const smv::Expr& expr);

// What `op` gives for these operands, as NuSMV computes it; refuses
// operands NuSMV would not take, or would compute otherwise, quoting `at`.
Value apply(const smv::Model& model, const smv::Expr& at, smv::Operator op, const Value& left,
            const Value& right);
Value apply(const smv::Model& model, const smv::Expr& at, smv::Operator op, const Value& operand);

}  // namespace ruvello::counted
