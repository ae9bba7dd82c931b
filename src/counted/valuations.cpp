#include "counted/valuations.h"

#include <algorithm>
#include <map>

#include "counted/refusal.h"

namespace ruvello::counted {

Valuations::Valuations(const ProcessClass& processes, std::vector<std::size_t> variables,
                       std::string_view what)
    : processes_(processes), variables_(std::move(variables)), strides_(variables_.size(), 1) {
    for (std::size_t k = variables_.size(); k-- > 0;) {
        strides_[k] = size_;
        size_ *= processes.variables[variables_[k]].domain.size();
        if (size_ > largest_valuations)
            refuse("outside the class: the " + std::string(what) + " take more than " +
                   std::to_string(largest_valuations) + " values together, too many to count");
    }
}

std::vector<std::uint32_t> Valuations::valuation(std::size_t number) const {
    std::vector<std::uint32_t> values(variables_.size());
    for (std::size_t k = 0; k < variables_.size(); ++k) {
        values[k] = static_cast<std::uint32_t>(number / strides_[k]);
        number %= strides_[k];
    }
    return values;
}

std::size_t Valuations::number(const std::vector<std::uint32_t>& valuation) const {
    std::size_t number = 0;
    for (std::size_t k = 0; k < variables_.size(); ++k) number += valuation[k] * strides_[k];
    return number;
}

std::string Valuations::formula(const ValuationSet& set) const { return part(set, 0, 0); }

// The valuations from `offset` that share the values of the variables
// before `variable`: split by the value of `variable`, values whose rests
// are alike taken together.
std::string Valuations::part(const ValuationSet& set, std::size_t variable, std::size_t offset) const {
    const std::size_t length = variable == 0 ? size_ : strides_[variable - 1];
    const auto begin = set.begin() + static_cast<std::ptrdiff_t>(offset);
    const auto end = begin + static_cast<std::ptrdiff_t>(length);
    if (std::all_of(begin, end, [](bool in) { return in; })) return "TRUE";
    if (std::none_of(begin, end, [](bool in) { return in; })) return "FALSE";
    const std::size_t stride = strides_[variable];
    const std::size_t values = length / stride;
    std::vector<std::vector<std::uint32_t>> groups;
    std::map<ValuationSet, std::size_t> group_of_rest;
    for (std::uint32_t value = 0; value < values; ++value) {
        const auto rest = begin + static_cast<std::ptrdiff_t>(value * stride);
        const auto [group, added] = group_of_rest.emplace(
            ValuationSet(rest, rest + static_cast<std::ptrdiff_t>(stride)), groups.size());
        if (added) groups.emplace_back();
        groups[group->second].push_back(value);
    }
    if (groups.size() == 1) return part(set, variable + 1, offset);
    std::vector<std::string> rests;
    for (const std::vector<std::uint32_t>& group : groups)
        rests.push_back(part(set, variable + 1, offset + group.front() * stride));
    const auto parenthesized = [](const std::string& formula) {
        return formula.find(" | ") != std::string::npos ? "(" + formula + ")" : formula;
    };
    // v in A | (v in B & r), with A and B all the values: v in A | r.
    if (groups.size() == 2 && (rests[0] == "TRUE" || rests[1] == "TRUE") && rests[0] != "FALSE" &&
        rests[1] != "FALSE") {
        const std::size_t all = rests[0] == "TRUE" ? 0 : 1;
        return condition(variable, groups[all]) + " | " + parenthesized(rests[1 - all]);
    }
    std::vector<std::string> terms;
    for (std::size_t k = 0; k < groups.size(); ++k) {
        if (rests[k] == "FALSE") continue;
        std::string term = condition(variable, groups[k]);
        if (rests[k] != "TRUE") term += " & " + parenthesized(rests[k]);
        terms.push_back(std::move(term));
    }
    std::string joined;
    for (const std::string& term : terms) joined += (joined.empty() ? "" : " | ") + term;
    return joined;
}

// The variable takes one of `values` (indices into its domain).
std::string Valuations::condition(std::size_t variable, const std::vector<std::uint32_t>& values) const {
    const Variable& declared = processes_.variables[variables_[variable]];
    const std::string name(declared.name);
    const Domain& domain = declared.domain;
    if (domain.values().front().kind == Value::Kind::boolean)
        return domain.values()[values.front()].number ? name : "!" + name;
    if (values.size() == 1) return name + " = " + text_of(domain.values()[values.front()]);
    if (values.size() + 1 == domain.size() && values.size() > 1) {
        std::uint32_t missing = 0;
        while (std::find(values.begin(), values.end(), missing) != values.end()) ++missing;
        return name + " != " + text_of(domain.values()[missing]);
    }
    std::string listed;
    for (const std::uint32_t value : values)
        listed += (listed.empty() ? "" : ", ") + text_of(domain.values()[value]);
    return name + " in {" + listed + "}";
}

}  // namespace ruvello::counted
