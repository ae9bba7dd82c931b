// Properties of SPEC sections.
//
// A line with FORALL and a parameter list quantifies its formula over one
// parameter, written for processes 1 and 2, or over two, written for the
// pairs (1, 2) and (2, 1). Only bracketed uses of a parameter, as in s[i],
// are instantiated. Each instance becomes an AG property, and a SPEC line
// separates the instances.

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <numeric>
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

std::string_view trimmed(std::string_view text) { return textops::rtrim(textops::ltrim(text)); }

// The parameter names, bracketed as they are used ("[i]"). A single
// parameter is the whole list, commas included. Otherwise the first runs to
// the first comma after a character other than a comma (commas at the very
// start stay in it), and each further one is the next non-empty piece.
void bracketed_names(std::string_view list, std::size_t count, std::vector<std::string>& names) {
    names.resize(count);
    std::size_t end = count == 1 ? list.size() : list.find(',', list.find_first_not_of(','));
    std::string_view name = list.substr(0, end);
    for (std::size_t k = 0;;) {
        names[k].assign("[");
        names[k] += trimmed(name);
        names[k] += ']';
        if (++k == count) return;
        const std::size_t start = list.find_first_not_of(',', end);
        end = list.find(',', start);
        name = list.substr(start, end - start);
    }
}

// What an instance is made of: for one parameter, the text after its first
// ')' (the end of the list); for more, the text after its first '>' (the
// guard "i != j ->" is dropped with it). Each is written as an AG property.
struct Quantifier {
    char formula_after;
    std::string_view prefix;
};
constexpr Quantifier one_parameter{')', "\tAG "};
constexpr Quantifier several_parameters{'>', "\tAG ("};

const Quantifier& quantifier_for(std::size_t count) {
    return count == 1 ? one_parameter : several_parameters;
}

std::optional<std::string_view> formula(std::string_view instance, const Quantifier& quantifier) {
    const std::size_t at = instance.find(quantifier.formula_after);
    if (at == std::string_view::npos) return std::nullopt;
    return textops::ltrim(instance.substr(at + 1));
}

// Why a FORALL line cannot be translated, or nothing when it can.
std::optional<std::string> unsupported(const std::optional<std::string_view>& list,
                                       std::size_t count, const TranslationSettings& settings) {
    if (!list) return "FORALL without a parameter list";
    if (count == 0) return "FORALL with no parameter names";
    if (count > 2 && !settings.all_instances)
        return "FORALL over " + std::to_string(count) +
               " parameters (at most 2 are supported without --all-instances)";
    if (settings.all_instances && static_cast<std::int64_t>(count) > settings.process_count)
        return "FORALL over " + std::to_string(count) + " parameters has no instance with N = " +
               std::to_string(settings.process_count) + ", which has fewer processes";
    return std::nullopt;
}

// The processes of the instances, in order: every ordered tuple of distinct
// processes from 1..`processes`, lexicographically; (1), (2) or (1, 2),
// (2, 1) for processes 1 and 2.
class ProcessTuples {
public:
    ProcessTuples(std::size_t size, int processes) : tuple_(size), processes_(processes) {
        std::iota(tuple_.begin(), tuple_.end(), 1);
    }
    const std::vector<int>& tuple() const { return tuple_; }

    // Moves to the next tuple; false after the last.
    bool next() {
        for (std::size_t k = tuple_.size(); k-- > 0;) {
            for (int candidate = tuple_[k] + 1; candidate <= processes_; ++candidate) {
                if (used_before(candidate, k)) continue;
                tuple_[k] = candidate;
                fill_after(k);
                return true;
            }
        }
        return false;
    }

private:
    bool used_before(int process, std::size_t k) const {
        return std::find(tuple_.begin(), tuple_.begin() + k, process) != tuple_.begin() + k;
    }
    // The smallest processes not used before, in increasing order.
    void fill_after(std::size_t k) {
        int process = 1;
        for (std::size_t j = k + 1; j < tuple_.size(); ++j, ++process) {
            while (used_before(process, j)) ++process;
            tuple_[j] = process;
        }
    }

    std::vector<int> tuple_;
    int processes_;
};

// The line with each parameter's bracketed uses replaced by the bracketed
// number of its process, `instance` as the result. The replacements are
// made one after another, for the parameter of the smallest process first:
// a parameter named like a process number also meets the uses that an
// earlier replacement made.
void instantiate(std::string_view line, const std::vector<std::string>& names,
                 const std::vector<int>& processes, std::string& instance, std::string& scratch) {
    std::string_view text = line;
    int last = 0;  // the process replaced last; the processes are distinct and positive
    for (std::size_t step = 0; step < processes.size(); ++step) {
        std::size_t k = processes.size();
        for (std::size_t j = 0; j < processes.size(); ++j)
            if (processes[j] > last && (k == processes.size() || processes[j] < processes[k]))
                k = j;
        last = processes[k];
        textops::assign_replaced(scratch, text, names[k], ProcessNumber(last).bracketed());
        instance.swap(scratch);
        text = instance;
    }
}

std::string_view unbracketed(const std::string& name) {
    return std::string_view(name).substr(1, name.size() - 2);
}

// Whether the parameter names (bracketed) let an instance be written as the
// line's formula is read: none holds a bracket or the character that ends
// what is dropped, none is a process number, and no two are the same. Then
// an instance's first such character is the line's, and replacing the
// bracketed uses of all parameters at once gives what replacing them one
// after another does: a replacement makes no use of another parameter.
bool plain_names(const std::vector<std::string>& parameters, char formula_after) {
    for (std::size_t k = 0; k < parameters.size(); ++k) {
        const std::string_view name = unbracketed(parameters[k]);
        if (name.find_first_of("[]") != std::string_view::npos ||
            name.find(formula_after) != std::string_view::npos ||
            (!name.empty() && std::all_of(name.begin(), name.end(), [](char c) {
                 return std::isdigit(static_cast<unsigned char>(c));
             })) ||
            std::find(parameters.begin(), parameters.begin() + k, parameters[k]) !=
                parameters.begin() + k)
            return false;
    }
    return true;
}

}  // namespace

void Translator::translate_property(std::string_view line) {
    if (const std::string_view words = textops::ltrim(line);
        !words.empty() && std::string_view("CLIP").find(words.front()) != std::string_view::npos)
        if (const std::string_view keyword = property_keyword(first_name(words));
            !keyword.empty() && keyword != "SPEC" && keyword != "CTLSPEC")
            module_.in_section.other_property_kind = keyword;
    if (!textops::contains(line, "FORALL")) {
        check_copied_code(line, input_.line_number());
        put(line);
        return;
    }
    const std::optional<std::string_view> list = parameter_list(line);
    const std::size_t count = list ? count_parameters(*list) : 0;
    if (const auto reason = unsupported(list, count, settings_)) {
        warnings_.warn(input_.line_number(), *reason + "; property not translated");
        return;
    }
    bracketed_names(*list, count, parameters_);
    const std::optional<std::string_view> body = formula(line, quantifier_for(count));
    if (!body || !instantiate_property(line, *body, count)) {
        warnings_.warn(input_.line_number(),
                       count == 1 ? "FORALL property has no ')' to end its parameter list; "
                                    "property not translated"
                                  : "FORALL property over two parameters has no '>' ending its "
                                    "guard (as in i != j ->); property not translated");
        return;
    }
    check_property(line, *list, *body, count);
}

// Writes an instance for each tuple of processes, the instances separated by
// lines of the section's header keyword (SPEC or CTLSPEC); or nothing,
// returning false, when an instance has no formula. `body` is the line's
// formula. The tuples are those of processes 1 and 2, or with
// --all-instances those of 1..N.
bool Translator::instantiate_property(std::string_view line, std::string_view body,
                                      std::size_t count) {
    const Quantifier& quantifier = quantifier_for(count);
    const int processes = settings_.all_instances ? settings_.process_count : 2;
    const bool plain = plain_names(parameters_, quantifier.formula_after);
    if (!plain && !every_instance_has_formula(line, quantifier.formula_after, processes))
        return false;
    ProcessTuples tuples(count, processes);
    for (bool first = true;; first = false) {
        if (!first) {
            mark(input_.line_number());
            put(module_.header);
            put("\n");
            mark(input_.line_number());
        }
        put(quantifier.prefix);
        if (plain) {
            write_instance(body, tuples.tuple());
        } else {
            instantiate(line, parameters_, tuples.tuple(), instance_, scratch_);
            put(*formula(instance_, quantifier));
        }
        if (!tuples.next()) return true;
    }
}

// Writes `text` with the bracketed uses of each parameter replaced by its
// process, bracketed; for plain names, replacing all at once.
void Translator::write_instance(std::string_view text, const std::vector<int>& processes) {
    const char* const end = text.data() + text.size();
    std::size_t done = 0;
    for (const char* at = textops::find_byte(text.data(), end, '['); at != end;
         at = textops::find_byte(at + 1, end, '[')) {
        const std::string_view rest(at, end - at);
        for (std::size_t k = 0; k < parameters_.size(); ++k) {
            if (!rest.starts_with(parameters_[k])) continue;
            put(text.substr(done, at - text.data() - done));
            put(ProcessNumber(processes[k]).bracketed());
            done = at - text.data() + parameters_[k].size();
            at += parameters_[k].size() - 1;
            break;
        }
    }
    put(text.substr(done));
}

bool Translator::every_instance_has_formula(std::string_view line, char formula_after,
                                            int processes) {
    const auto holds_it = [&](const std::string& name) {
        return textops::contains(name, formula_after);
    };
    // The line has one: replacing names without it leaves that one in place.
    if (std::none_of(parameters_.begin(), parameters_.end(), holds_it)) return true;
    ProcessTuples tuples(parameters_.size(), processes);
    do {
        instantiate(line, parameters_, tuples.tuple(), instance_, scratch_);
        if (!textops::contains(instance_, formula_after)) return false;
    } while (tuples.next());
    return true;
}

namespace {

// What one pass over the formula of a FORALL line finds for the checks.
struct FormulaScan {
    std::string_view top_operator;        // the first boolean operator outside (), [], {}
    std::string_view standing_parameter;  // the first parameter used otherwise than as "[p]"
    std::string_view instance_named;      // the first process instance named as u[i] or u[1]
    int open_parentheses = 0;             // '(' not closed by the end
};

FormulaScan scan_formula(std::string_view formula, const std::vector<std::string>& parameters,
                         const std::vector<std::string>& instances) {
    FormulaScan found;
    int depth = 0;
    const auto operator_found = [&](std::string_view op) {
        if (depth == 0 && found.top_operator.empty()) found.top_operator = op;
    };
    for (std::size_t at = 0; at < formula.size();) {
        const char c = formula[at];
        if (textops::is_name_char(c)) {
            std::size_t end = at + 1;
            while (end < formula.size() && textops::is_name_char(formula[end])) ++end;
            const std::string_view name = formula.substr(at, end - at);
            const std::string_view after = formula.substr(end);
            if (name == "xor" || name == "xnor") operator_found(name);
            const bool bracketed = at > 0 && formula[at - 1] == '[' && after.starts_with(']');
            for (const std::string& parameter : parameters)
                if (!bracketed && found.standing_parameter.empty() &&
                    unbracketed(parameter) == name &&
                    !std::isdigit(static_cast<unsigned char>(name.front())))
                    found.standing_parameter = name;
            if (found.instance_named.empty() && after.size() > 1 && after[0] == '[' &&
                std::find(instances.begin(), instances.end(), name) != instances.end() &&
                (std::isdigit(static_cast<unsigned char>(after[1])) ||
                 std::any_of(parameters.begin(), parameters.end(),
                             [&](const std::string& p) { return after.starts_with(p); })))
                found.instance_named = name;
            at = end;
            continue;
        }
        switch (c) {
        case '(': ++found.open_parentheses; ++depth; break;
        case ')': --found.open_parentheses; --depth; break;
        case '[': case '{': ++depth; break;
        case ']': case '}': --depth; break;
        case '&': operator_found("&"); break;
        case '|': operator_found("|"); break;
        case '-': if (formula.substr(at).starts_with("->")) operator_found("->"); break;
        case '<': if (formula.substr(at).starts_with("<->")) operator_found("<->"); break;
        }
        ++at;
    }
    return found;
}

std::string_view trimmed_parentheses(std::string_view text) {
    text = trimmed(text);
    if (text.size() > 2 && text.front() == '(' && text.back() == ')')
        text = trimmed(text.substr(1, text.size() - 2));
    return text;
}

// Whether `guard` only says that parameters differ: p != q or !(p = q) for
// two of them, maybe in parentheses, or several of those joined by '&'.
bool is_inequality(std::string_view guard, const std::vector<std::string>& parameters) {
    const auto is_parameter = [&](std::string_view name) {
        return std::any_of(parameters.begin(), parameters.end(),
                           [&](const std::string& p) { return unbracketed(p) == name; });
    };
    guard = trimmed_parentheses(guard);
    for (std::size_t start = 0; start <= guard.size();) {
        const std::size_t end = std::min(guard.find('&', start), guard.size());
        std::string_view text = trimmed_parentheses(guard.substr(start, end - start));
        const bool negated = text.starts_with('!');
        if (negated) {
            text = textops::ltrim(text.substr(1));
            if (text.size() < 2 || text.front() != '(' || text.back() != ')') return false;
            text = text.substr(1, text.size() - 2);
        }
        const std::string_view comparison = negated ? "=" : "!=";
        const std::size_t at = text.find(comparison);
        if (at == std::string_view::npos) return false;
        const std::string_view left = trimmed(text.substr(0, at));
        const std::string_view right = trimmed(text.substr(at + comparison.size()));
        if (left == right || !is_parameter(left) || !is_parameter(right)) return false;
        start = end + 1;
    }
    return true;
}

}  // namespace

// Warns about a FORALL line whose instances do not state the property
// written, or that NuSMV would reject.
void Translator::check_property(std::string_view line, std::string_view list,
                                std::string_view body, std::size_t count) {
    const std::size_t line_number = input_.line_number();
    const auto warn = [&](const std::string& message) { warnings_.warn(line_number, message); };
    if (settings_.process_count < 2 && !settings_.all_instances)
        warnings_.warn_once(line_number,
                            "N is " + std::to_string(settings_.process_count) +
                                ": FORALL properties are written for processes 1 and 2 whatever "
                                "N is, and name process 2, which the model does not have; give "
                                "-p a number of processes of 2 or more");
    if (module_.in_section.wrote_forall)
        warn("a second FORALL property under one SPEC line: its first instance is joined to the "
             "last instance of the one before; give each FORALL property a SPEC line of its own");
    module_.in_section.wrote_forall = true;
    if (!module_.in_section.other_property_kind.empty())
        warn("FORALL after " + std::string(module_.in_section.other_property_kind) +
             " is written as CTL properties, with AG and SPEC lines; put it under a SPEC line of "
             "its own");
    // The instances write the line's formula with the bracketed uses of the
    // parameters replaced, and drop what comes before it.
    const std::string_view formula = code_of(body);
    const FormulaScan scan = scan_formula(formula, parameters_, module_.process_instances);
    const std::string_view dropped = line.substr(0, formula.data() - line.data());
    if (scan.open_parentheses + std::count(dropped.begin(), dropped.end(), '(') -
            std::count(dropped.begin(), dropped.end(), ')') > 0)
        warn("the property goes on after this line, but each instance gets only this line, and "
             "the rest is copied once after the last; write the property on one line");
    if (count == 1) {
        if (const std::string_view op = scan.top_operator; !op.empty())
            warn("the AG put before the body binds tighter than " + std::string(op) +
                 ", so each instance means (AG ...) " + std::string(op) +
                 " ...; put the body in parentheses: FORALL (i) (... " + std::string(op) + " ...)");
    } else {
        // The text from the end of the list up to the first '>' is dropped: it
        // must be "AG (", the guard and "->".
        std::size_t at = list.data() + list.size() - line.data();
        if (at < line.size() && line[at] == ')') ++at;
        const std::size_t end = line.find('>', at) + 1;  // instantiated: there is one
        const auto skip_blanks = [&] { while (at < end && textops::is_blank(line[at])) ++at; };
        skip_blanks();
        const std::size_t operator_start = at;
        const std::size_t open = line.find('(', at);
        if (line.compare(at, 2, "AG") == 0) at += 2;
        skip_blanks();
        const std::string_view before_guard = textops::rtrim(
            line.substr(operator_start, std::min(open, end) - operator_start));
        if (at == operator_start || at >= end || line[at] != '(')
            warn((before_guard.empty() ? std::string("the body does not start with AG (")
                                       : "the operator before the guard, " +
                                             std::string(before_guard) + ", is dropped") +
                 ", and AG ( is written in place of everything up to the first '>'; write "
                 "FORALL (i, j) AG (i != j -> ...) with any other operator after the '->'");
        const std::size_t guard = open < end ? open + 1 : operator_start;
        if (end < guard + 2 || line[end - 2] != '-' ||
            !is_inequality(line.substr(guard, end - 2 - guard), parameters_))
            warn("everything up to the first '>' is dropped, and here that is more than a guard "
                 "such as i != j ->; begin the body with the guard: AG (i != j -> ...)");
    }
    // A process instance named through a parameter, as u[i]: it is written
    // N1_u, N2_u, and u[1] names nothing.
    if (const std::string instance(scan.instance_named); !instance.empty())
        warn("the process instance " + instance + " is written as N1_" + instance + ", N2_" +
             instance + ", ..., so " + instance + "[1] names nothing; pass what a property needs "
             "to the instance as variables declared with [Proc], and name those");
    // A parameter left standing: only "[i]" is replaced, not "[ i ]", "i + 1" or "i".
    if (const std::string name(scan.standing_parameter); !name.empty())
        warn("the parameter " + name + " is left standing in the instances, where it names "
             "nothing; use a parameter only alone in brackets, as in x[" + name + "]");
}

}  // namespace ruvello
