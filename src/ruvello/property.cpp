// Properties of SPEC sections.
//
// A line with FORALL and a parameter list quantifies its formula over one
// parameter, written for processes 1 and 2, or over two, written for the
// pairs (1, 2) and (2, 1). Only bracketed uses of a parameter, as in s[i],
// are instantiated. Each instance becomes an AG property, and a SPEC line
// separates the two instances.

#include <optional>
#include <string>

#include "textops/textops.h"
#include "translator.h"

namespace ruvello {

namespace {

// The parameter list is the text after the first '(' that follows the
// line's leading '(' characters (and after any '(' right behind that one),
// up to the next '(' or the end of the line; ')' characters at its very
// start belong to it, and after them it ends at the first ')'.
std::optional<std::string_view> parameter_list(std::string_view line) {
    const std::size_t text = line.find_first_not_of('(');
    if (text == std::string_view::npos) return std::nullopt;
    const std::size_t open = line.find('(', text);
    if (open == std::string_view::npos) return std::nullopt;
    const std::size_t start = line.find_first_not_of('(', open);
    if (start == std::string_view::npos) return std::nullopt;
    std::string_view list = line.substr(start);
    list = list.substr(0, list.find('('));
    const std::size_t body = list.find_first_not_of(')');
    if (body != std::string_view::npos) list = list.substr(0, list.find(')', body));
    return list;
}

// Pieces of the list between commas; empty pieces do not count, a piece of
// blanks does.
std::size_t count_parameters(std::string_view list) {
    std::size_t count = 0;
    for (std::size_t i = 0; i < list.size(); ++i)
        if (list[i] != ',' && (i == 0 || list[i - 1] == ',')) ++count;
    return count;
}

void bracket(std::string& result, std::string_view name) {
    result.clear();
    result += '[';
    result += name;
    result += ']';
}

std::string_view trimmed(std::string_view name) { return textops::rtrim(textops::ltrim(name)); }

struct ParameterPair {
    std::string_view first;
    std::string_view second;
};

// The first parameter runs to the first comma after a character other than a
// comma (commas at the very start stay in it); the second is the next
// non-empty piece.
ParameterPair split_pair(std::string_view list) {
    const std::size_t end = list.find(',', list.find_first_not_of(','));
    const std::string_view rest = list.substr(end);
    const std::size_t start = rest.find_first_not_of(',');
    const std::string_view second = rest.substr(start, rest.find(',', start) - start);
    return {trimmed(list.substr(0, end)), trimmed(second)};
}

// The formula of an instance: for one parameter, the text after the first
// ')' (the end of the list); for two, the text after the first '>' (the
// guard "i != j ->" is dropped with it). Each is written as an AG property.
struct Quantifier {
    char formula_after;
    std::string_view prefix;
};
constexpr Quantifier one_parameter{')', "\tAG "};
constexpr Quantifier two_parameters{'>', "\tAG ("};

std::optional<std::string_view> formula(std::string_view instance, const Quantifier& quantifier) {
    const std::size_t at = instance.find(quantifier.formula_after);
    if (at == std::string_view::npos) return std::nullopt;
    return textops::ltrim(instance.substr(at + 1));
}

// Why a FORALL line cannot be translated, or nothing when it can.
std::optional<std::string> unsupported(const std::optional<std::string_view>& list,
                                       std::size_t count) {
    if (!list) return "FORALL without a parameter list";
    if (count == 0) return "FORALL with no parameter names";
    if (count > 2)
        return "FORALL over " + std::to_string(count) + " parameters (at most 2 are supported)";
    return std::nullopt;
}

}  // namespace

void Translator::translate_property(std::string_view line) {
    if (!textops::contains(line, "FORALL")) {
        output_.put(line);
        return;
    }
    const std::optional<std::string_view> list = parameter_list(line);
    const std::size_t count = list ? count_parameters(*list) : 0;
    if (const auto reason = unsupported(list, count)) {
        warnings_.warn(input_.line_number(), *reason + "; property not translated");
        return;
    }
    instantiate_property(line, *list, count);
    const Quantifier& quantifier = count == 1 ? one_parameter : two_parameters;
    const auto first_formula = formula(first_instance_, quantifier);
    const auto second_formula = formula(second_instance_, quantifier);
    if (!first_formula || !second_formula) {
        warnings_.warn(input_.line_number(),
                       count == 1 ? "FORALL property has no ')' to end its parameter list; "
                                    "property not translated"
                                  : "FORALL property over two parameters has no '>' ending its "
                                    "guard (as in i != j ->); property not translated");
        return;
    }
    output_.put(quantifier.prefix);
    output_.put(*first_formula);
    output_.put("SPEC\n");
    output_.put(quantifier.prefix);
    output_.put(*second_formula);
}

// The line for process 1 and for process 2, or for the pairs (1, 2) and
// (2, 1), into first_instance_ and second_instance_. Each "[name]" of a
// parameter becomes "[1]" or "[2]"; with two parameters, the second is
// replaced in what the first replacement gave.
void Translator::instantiate_property(std::string_view line, std::string_view list,
                                      std::size_t count) {
    using textops::assign_replaced;
    if (count == 1) {
        bracket(first_parameter_, trimmed(list));
        assign_replaced(first_instance_, line, first_parameter_, "[1]");
        assign_replaced(second_instance_, line, first_parameter_, "[2]");
        return;
    }
    const auto [first, second] = split_pair(list);
    bracket(first_parameter_, first);
    bracket(second_parameter_, second);
    assign_replaced(scratch_instance_, line, first_parameter_, "[1]");
    assign_replaced(first_instance_, scratch_instance_, second_parameter_, "[2]");
    assign_replaced(scratch_instance_, line, second_parameter_, "[1]");
    assign_replaced(second_instance_, scratch_instance_, first_parameter_, "[2]");
}

}  // namespace ruvello
