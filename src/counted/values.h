// The values a step of a process computes with, and the finite types they
// range over.
#pragma once

#include <compare>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "smv/syntax.h"

namespace ruvello::counted {

struct Value {
    enum class Kind : std::uint8_t { boolean, integer, symbol, process };
    Kind kind = Kind::boolean;
    // boolean: 0 or 1; integer: the number; process: one of the processes
    // below, or the index of the holder variable that names a process other
    // than those.
    std::int64_t number = 0;
    std::string_view symbol;

    static constexpr std::int64_t this_process = -1;
    // Proc in a statement for every process, run for a process other than
    // the acting one: equal to none but itself.
    static constexpr std::int64_t other_process = -2;
    // An input naming a process other than the acting one, picked in a
    // given local state: equal to none but itself.
    static constexpr std::int64_t picked_process = -3;

    static Value boolean(bool value) { return {Kind::boolean, value ? 1 : 0, {}}; }
    static Value integer(std::int64_t value) { return {Kind::integer, value, {}}; }
    static Value constant(std::string_view name) { return {Kind::symbol, 0, name}; }
    static Value process(std::int64_t who) { return {Kind::process, who, {}}; }

    auto operator<=>(const Value&) const = default;
};

// As NuSMV writes it: TRUE, 3, idle.
std::string text_of(const Value& value);

// Several values an expression may take, as a set {a, b} gives; sorted,
// each once.
using ValueSet = std::vector<Value>;
ValueSet distinct(ValueSet values);
ValueSet joined(ValueSet left, const ValueSet& right);

struct ValueHash {
    std::size_t operator()(const Value& value) const;
};

// The values of a finite type, in the order the type lists them; a step
// looks up the place of every value it computes, in a hash table.
class Domain {
public:
    Domain() = default;
    explicit Domain(std::vector<Value> values);

    static constexpr std::size_t npos = static_cast<std::size_t>(-1);
    const std::vector<Value>& values() const { return values_; }
    std::size_t size() const { return values_.size(); }
    std::size_t index_of(const Value& value) const;
    bool lists_a_value_twice() const { return places_.size() != values_.size(); }

private:
    std::vector<Value> values_;
    std::unordered_map<Value, std::size_t, ValueHash> places_;  // the first place of each value
};

// The most values a type of the counted model may have.
inline constexpr std::size_t largest_domain = 4096;

// The values of a boolean, an enumeration or a range with bounds that are
// numbers, of at most largest_domain values; refuses any other type,
// naming `name` and its line.
Domain domain_of(const smv::Model& model, const smv::Type& type, std::string_view name);

// Whether an expression names N or Proc, whose values depend on N.
bool depends_on_n(const smv::Expr& expr);

// What `op` gives for these operands, as NuSMV computes it; refuses
// operands NuSMV would not take, or would compute otherwise, quoting `at`.
Value apply(const smv::Model& model, const smv::Expr& at, smv::Operator op, const Value& left,
            const Value& right);
Value apply(const smv::Model& model, const smv::Expr& at, smv::Operator op, const Value& operand);

}  // namespace ruvello::counted
