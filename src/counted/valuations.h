// Every valuation of a few finite variables, numbered, and a set of them
// written as a formula over those variables.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "counted/recognition.h"

namespace ruvello::counted {

// The most valuations of the shared variables, or of the inputs, counted.
inline constexpr std::size_t largest_valuations = 65536;

// A set of valuations, by number.
using ValuationSet = std::vector<bool>;

class Valuations {
public:
    // The valuations of `variables` (indices into processes.variables);
    // refuses more than largest_valuations of them, naming `what`.
    Valuations(const ProcessClass& processes, std::vector<std::size_t> variables, std::string_view what);

    std::size_t size() const { return size_; }
    const std::vector<std::size_t>& variables() const { return variables_; }
    // The value of each variable (an index into its domain) in a valuation.
    std::vector<std::uint32_t> valuation(std::size_t number) const;
    std::size_t number(const std::vector<std::uint32_t>& valuation) const;

    // A formula over the variables that holds exactly in the valuations of
    // `set`: TRUE, FALSE, or conditions on the variables in their order,
    // such as busy & turn_taken in {a, b} | !busy.
    std::string formula(const ValuationSet& set) const;

private:
    std::string part(const ValuationSet& set, std::size_t variable, std::size_t offset) const;
    std::string condition(std::size_t variable, const std::vector<std::uint32_t>& values) const;

    const ProcessClass& processes_;
    std::vector<std::size_t> variables_;
    std::vector<std::size_t> strides_;  // how many valuations each value of a variable stands for
    std::size_t size_ = 1;
};

}  // namespace ruvello::counted
