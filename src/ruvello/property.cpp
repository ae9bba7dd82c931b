// Properties of SPEC sections.
//
// A line with FORALL and a parameter list quantifies its formula over one
// parameter, written for processes 1 and 2, or over two, written for the
// pairs (1, 2) and (2, 1). Only bracketed uses of a parameter, as in s[i],
// are instantiated. Each instance becomes an AG property, and a SPEC line
// separates the instances.

#include <algorithm>
#include <charconv>
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

std::string_view trimmed(std::string_view name) { return textops::rtrim(textops::ltrim(name)); }

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
        char number[16] = "[";
        char* end = std::to_chars(number + 1, number + sizeof number - 1, processes[k]).ptr;
        *end++ = ']';
        textops::assign_replaced(scratch, text, names[k], std::string_view(number, end));
        instance.swap(scratch);
        text = instance;
    }
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
    if (!instantiate_property(line, *list, count))
        warnings_.warn(input_.line_number(),
                       count == 1 ? "FORALL property has no ')' to end its parameter list; "
                                    "property not translated"
                                  : "FORALL property over two parameters has no '>' ending its "
                                    "guard (as in i != j ->); property not translated");
}

// Writes an instance for each tuple of processes, the instances separated by
// SPEC lines; or nothing, returning false, when an instance has no formula.
bool Translator::instantiate_property(std::string_view line, std::string_view list,
                                      std::size_t count) {
    const Quantifier& quantifier = count == 1 ? one_parameter : several_parameters;
    bracketed_names(list, count, parameters_);
    constexpr int processes = 2;
    if (!every_instance_has_formula(line, quantifier.formula_after, processes)) return false;
    ProcessTuples tuples(count, processes);
    for (bool first = true;; first = false) {
        if (!first) output_.put("SPEC\n");
        instantiate(line, parameters_, tuples.tuple(), instance_, scratch_);
        output_.put(quantifier.prefix);
        output_.put(*formula(instance_, quantifier));
        if (!tuples.next()) return true;
    }
}

// An instance differs from the line only in the bracketed uses it replaces
// and the bracketed numbers it puts there. So unless a parameter name holds
// the character that ends what is dropped, each instance has that character
// exactly when the line has it.
bool Translator::every_instance_has_formula(std::string_view line, char formula_after,
                                            int processes) {
    const auto holds_it = [&](const std::string& name) {
        return textops::contains(name, formula_after);
    };
    if (std::none_of(parameters_.begin(), parameters_.end(), holds_it))
        return textops::contains(line, formula_after);
    ProcessTuples tuples(parameters_.size(), processes);
    do {
        instantiate(line, parameters_, tuples.tuple(), instance_, scratch_);
        if (!textops::contains(instance_, formula_after)) return false;
    } while (tuples.next());
    return true;
}

}  // namespace ruvello
