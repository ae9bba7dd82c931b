// Evaluates the expressions of a model for given values of its variables.
//
// What a name means depends on where the expression stands (a process's
// module, or main for a property): a Resolver says it. Everything else
// follows NuSMV: a set {a, b} gives each of its values, a case takes its
// first branch whose condition holds, and next(e) reads e's value after the
// step. What the counted model does not take in is refused with its reason.
#pragma once

#include <algorithm>
#include <cstddef>
#include <functional>
#include <string_view>
#include <utility>
#include <vector>

#include "counted/counted.h"
#include "counted/values.h"
#include "smv/syntax.h"

namespace ruvello::counted {

// How many expressions one part of a count of a model (the steps of a
// process, a property) may evaluate in all: a model that needs more is too
// large to count.
inline constexpr std::size_t evaluation_budget = 20'000'000;

// The evaluations of one part of a count: refused past evaluation_budget,
// with the count's checkpoint called every so many of them.
class Budget {
public:
    explicit Budget(Checkpoint checkpoint = [] {}) : checkpoint_(std::move(checkpoint)) {}
    void spend();

private:
    static constexpr std::size_t between_checkpoints = 1 << 16;
    std::size_t spent_ = 0;
    Checkpoint checkpoint_;
};

// The definitions that an evaluation is expanding, one inside another: a
// name defined in terms of itself, or nested too deeply, is not expanded.
class OpenDefinitions {
public:
    // Whether `name` may be expanded; then it stays open until close().
    bool open(std::string_view name) {
        if (names_.size() >= deepest || std::find(names_.begin(), names_.end(), name) != names_.end()) return false;
        names_.push_back(name);
        return true;
    }
    void close() { names_.pop_back(); }
    static constexpr const char* refusal = "defines a name in terms of itself, or nests definitions too deeply";

private:
    static constexpr std::size_t deepest = 32;
    std::vector<std::string_view> names_;
};

class Evaluator {
public:
    // The values of a name, name[index] or instance.member, now or, with
    // `next`, after the step.
    using Resolver = std::function<ValueSet(const smv::Expr& expr, bool next)>;

    Evaluator(const smv::Model& model, Budget& budget) : model_(model), budget_(budget) {}

    ValueSet values(const smv::Expr& expr, const Resolver& resolve, bool next = false);
    // The one value of an expression that must not give several.
    Value value(const smv::Expr& expr, const Resolver& resolve, bool next = false);
    bool holds(const smv::Expr& expr, const Resolver& resolve, bool next = false);

    // Whether a conjunction, disjunction or implication that its left
    // operand decides skips its right one: NuSMV's value all the same, but
    // not every check NuSMV makes of the right operand's type.
    void set_short_circuit(bool on) { short_circuit_ = on; }

private:
    ValueSet choice(const smv::Expr& expr, const Resolver& resolve, bool next);
    ValueSet binary(const smv::Expr& expr, const Resolver& resolve, bool next);

    const smv::Model& model_;
    Budget& budget_;
    bool short_circuit_ = false;
};

}  // namespace ruvello::counted
