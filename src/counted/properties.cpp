#include "counted/properties.h"

#include <algorithm>
#include <map>
#include <set>
#include <utility>

#include "counted/evaluation.h"
#include "counted/refusal.h"

namespace ruvello::counted {

namespace {

using smv::Expr;

const std::string only_invariants = "only invariants (AG of a state formula) are decided for every N";

// The most tuples of local states times shared valuations a property may
// be evaluated on.
constexpr std::size_t largest_property_work = 4'000'000;

bool is_temporal_or_next(const Expr& expr) {
    if (expr.kind == Expr::Kind::temporal || expr.kind == Expr::Kind::until ||
        expr.kind == Expr::Kind::next || expr.kind == Expr::Kind::init)
        return true;
    return std::any_of(expr.operands.begin(), expr.operands.end(),
                       [](const smv::ExprPtr& operand) { return is_temporal_or_next(*operand); });
}

// The two parameters a conjunct of a guard says differ: p != q, !(p = q).
std::optional<std::set<std::string_view>> differing_pair(const Expr& conjunct) {
    const Expr* comparison = &conjunct;
    smv::Operator wanted = smv::Operator::not_equal;
    if (conjunct.kind == Expr::Kind::unary && conjunct.op == smv::Operator::negation) {
        comparison = &conjunct.operand(0);
        wanted = smv::Operator::equal;
    }
    if (comparison->kind != Expr::Kind::binary || comparison->op != wanted) return std::nullopt;
    const Expr& left = comparison->operand(0);
    const Expr& right = comparison->operand(1);
    if (left.kind != Expr::Kind::name || right.kind != Expr::Kind::name || left.text == right.text)
        return std::nullopt;
    return std::set<std::string_view>{left.text, right.text};
}

void conjuncts(const Expr& expr, std::vector<const Expr*>& found) {
    if (expr.kind == Expr::Kind::binary && expr.op == smv::Operator::conjunction) {
        conjuncts(expr.operand(0), found);
        conjuncts(expr.operand(1), found);
        return;
    }
    found.push_back(&expr);
}

// Whether a guard says, and says only, that every two parameters differ:
// then its instances, every tuple of distinct processes, are what it means.
bool guard_says_all_differ(const Expr& guard, const std::vector<std::string_view>& parameters) {
    std::vector<const Expr*> parts;
    conjuncts(guard, parts);
    std::set<std::set<std::string_view>> pairs;
    for (const Expr* part : parts) {
        const auto pair = differing_pair(*part);
        if (!pair) return false;
        for (const std::string_view name : *pair)
            if (std::find(parameters.begin(), parameters.end(), name) == parameters.end()) return false;
        pairs.insert(*pair);
    }
    return pairs.size() == parameters.size() * (parameters.size() - 1) / 2;
}

// Why the form of a property is not decided; sets its state formula when it is.
std::optional<std::string> form_problem(const smv::Module& module, const smv::Property& property,
                                        const Expr*& state_formula) {
    if (module.name != "main")
        return "a property of module " + std::string(module.name) +
               ": only properties of main are decided for every N";
    if (property.kind == smv::PropertyKind::ltl) return only_invariants + ", not LTL properties";
    if (property.kind == smv::PropertyKind::psl) return only_invariants + ", not PSL properties";
    if (property.kind == smv::PropertyKind::compute) return only_invariants + ", not COMPUTE";
    if (property.problem) return "the property cannot be read: " + *property.problem;
    if (property.forall && property.forall->problem)
        return "line " + std::to_string(property.line) + ": " + *property.forall->problem;
    const Expr* formula = property.formula.get();
    if (property.kind != smv::PropertyKind::invar) {
        if (formula->kind != Expr::Kind::temporal || formula->text != "AG") return only_invariants;
        while (formula->kind == Expr::Kind::temporal && formula->text == "AG") formula = &formula->operand(0);
    }
    if (is_temporal_or_next(*formula)) return only_invariants;
    if (property.forall && property.forall->parameters.size() > 1 &&
        !guard_says_all_differ(*property.forall->guard, property.forall->parameters))
        return "line " + std::to_string(property.line) +
               ": the guard of a FORALL over several parameters must say that every two of them differ, and "
               "only "
               "that (i != j & j != k & i != k -> ...)";
    state_formula = formula;
    return std::nullopt;
}

// The local states grouped by the values of the per-process variables of
// main, all that a property can name of a process.
struct Classes {
    std::vector<std::size_t> variables;              // indices of the per-process variables
    std::vector<std::vector<std::uint32_t>> values;  // by class, the value of each variable
    std::vector<std::vector<std::size_t>> states;    // by class, its local states

    Classes(const ProcessClass& processes, const LocalSteps& steps) {
        std::vector<std::size_t> places;
        for (std::size_t k = 0; k < processes.own.size(); ++k)
            if (processes.variables[processes.own[k]].per_process) {
                variables.push_back(processes.own[k]);
                places.push_back(k);
            }
        std::map<std::vector<std::uint32_t>, std::size_t> index;
        for (std::size_t state = 0; state < steps.states.size(); ++state) {
            std::vector<std::uint32_t> key;
            for (const std::size_t place : places) key.push_back(steps.states[state][place]);
            const auto [found, added] = index.emplace(key, values.size());
            if (added) {
                values.push_back(key);
                states.emplace_back();
            }
            states[found->second].push_back(state);
        }
    }
};

class PropertyEvaluation {
public:
    PropertyEvaluation(const ProcessClass& processes, const Valuations& shared, const LocalSteps& steps,
                       const PropertyReading& reading, const Checkpoint& checkpoint)
        : processes_(processes),
          model_(*processes.model),
          shared_(shared),
          reading_(reading),
          classes_(processes, steps),
          budget_(checkpoint),
          evaluator_(model_, budget_) {
        if (reading.property->forall) parameters_ = reading.property->forall->parameters;
        resolve_ = [this](const Expr& expr, bool next) { return resolve(expr, next); };
    }

    std::vector<Clause> clauses() {
        require_parameters_apart();
        const std::size_t k = parameters_.size();
        std::size_t tuples = 1;
        for (std::size_t j = 0; j < k; ++j) {
            tuples *= classes_.values.size();
            if (tuples * shared_.size() > largest_property_work)
                refuse("the property needs too many combinations of local states to count");
        }
        // By multiset of classes (a sorted tuple): the shared valuations
        // where some order of them violates the formula.
        std::map<std::vector<std::size_t>, ValuationSet> bad;
        tuple_.assign(k, 0);
        for (std::size_t number = 0; number < tuples; ++number) {
            std::size_t rest = number;
            for (std::size_t j = 0; j < k; ++j, rest /= classes_.values.size())
                tuple_[j] = rest % classes_.values.size();
            std::vector<std::size_t> multiset = tuple_;
            std::sort(multiset.begin(), multiset.end());
            for (std::size_t valuation = 0; valuation < shared_.size(); ++valuation) {
                shared_values_ = shared_.valuation(valuation);
                if (evaluator_.holds(*reading_.state_formula, resolve_)) continue;
                ValuationSet& set = bad[multiset];
                set.resize(shared_.size(), false);
                set[valuation] = true;
            }
        }
        std::vector<Clause> found;
        for (const auto& [multiset, violated] : bad) {
            Clause& clause = found.emplace_back();
            for (std::size_t j = 0; j < multiset.size();) {
                const std::size_t same =
                    static_cast<std::size_t>(std::count(multiset.begin(), multiset.end(), multiset[j]));
                clause.covered.push_back({classes_.states[multiset[j]], static_cast<int>(same)});
                j += same;
            }
            clause.good.resize(violated.size());
            std::transform(violated.begin(), violated.end(), clause.good.begin(),
                           [](bool in) { return !in; });
        }
        return found;
    }

private:
    [[noreturn]] void fail(const Expr& at, std::string_view what) const {
        refuse(outside(model_, at.span, what));
    }

    // The line translator replaces a FORALL parameter in the brackets of the
    // property's line only: a name of main that it shadows keeps its meaning
    // everywhere else, in the definitions the property reads.
    void require_parameters_apart() const {
        for (const std::string_view parameter : parameters_) {
            const char* named = processes_.main_variables.contains(parameter)     ? "a variable of main"
                                : processes_.main_definitions.contains(parameter) ? "a definition of main"
                                : processes_.constants.contains(parameter)        ? "a constant of the types"
                                : parameter == "N" ? "the number of processes, defined in every module"
                                                   : nullptr;
            if (named)
                refuse(outside(reading_.property->line, "quantifies over " + std::string(parameter) +
                                                            ", which is also the name of " + named));
        }
    }

    ValueSet resolve(const Expr& expr, bool next) {
        if (next) fail(expr, "reads a next value in a property");
        if (expr.kind == Expr::Kind::member) fail(expr, "names a process instance");
        if (expr.kind == Expr::Kind::index) return {per_process_value(expr)};
        const std::string_view name = expr.text;
        if (std::find(parameters_.begin(), parameters_.end(), name) != parameters_.end())
            fail(expr, "uses a FORALL parameter outside brackets");
        if (const auto found = processes_.main_variables.find(name);
            found != processes_.main_variables.end()) {
            const Variable& variable = processes_.variables[found->second];
            if (variable.role == Role::holder) fail(expr, "reads a process-number variable");
            if (variable.role != Role::shared)
                fail(expr, "reads a per-process variable without naming a process");
            const auto place = std::find(processes_.shared.begin(), processes_.shared.end(), found->second);
            const std::size_t k = static_cast<std::size_t>(place - processes_.shared.begin());
            return {variable.domain.values()[shared_values_[k]]};
        }
        if (const auto found = processes_.main_definitions.find(name);
            found != processes_.main_definitions.end())
            return definition(expr, *found->second);
        if (processes_.constants.contains(name)) return {Value::constant(name)};
        if (name == "N") fail(expr, "uses N");
        fail(expr, "names something main does not declare");
    }

    // x[i]: the value of x in the local state of the process of parameter i.
    Value per_process_value(const Expr& expr) const {
        const Expr& base = expr.operand(0);
        const Expr& index = expr.operand(1);
        const auto found = base.kind == Expr::Kind::name ? processes_.main_variables.find(base.text)
                                                         : processes_.main_variables.end();
        if (found == processes_.main_variables.end() || !processes_.variables[found->second].per_process)
            fail(expr, "indexes something that main does not declare per process");
        if (index.kind == Expr::Kind::number) fail(expr, "names a process by number");
        const auto parameter = index.kind == Expr::Kind::name
                                   ? std::find(parameters_.begin(), parameters_.end(), index.text)
                                   : parameters_.end();
        if (parameter == parameters_.end())
            fail(expr, "indexes a per-process variable otherwise than by a FORALL parameter");
        const std::size_t place = static_cast<std::size_t>(
            std::find(classes_.variables.begin(), classes_.variables.end(), found->second) -
            classes_.variables.begin());
        const std::vector<std::uint32_t>& values =
            classes_.values[tuple_[static_cast<std::size_t>(parameter - parameters_.begin())]];
        return processes_.variables[found->second].domain.values()[values[place]];
    }

    // A definition of main means what it means in main, where no FORALL
    // parameter is a name: the line translator leaves it as it is.
    ValueSet definition(const Expr& name, const Expr& value) {
        if (!definitions_.open(name.text)) fail(name, OpenDefinitions::refusal);
        const std::vector<std::string_view> parameters = std::exchange(parameters_, {});
        ValueSet values = evaluator_.values(value, resolve_);
        parameters_ = parameters;
        definitions_.close();
        return values;
    }

    const ProcessClass& processes_;
    const smv::Model& model_;
    const Valuations& shared_;
    const PropertyReading& reading_;
    Classes classes_;
    Budget budget_;
    Evaluator evaluator_;
    Evaluator::Resolver resolve_;
    std::vector<std::string_view> parameters_;
    std::vector<std::size_t> tuple_;  // the class of each parameter's process
    std::vector<std::uint32_t> shared_values_;
    OpenDefinitions definitions_;
};

}  // namespace

std::vector<PropertyReading> read_properties(const smv::Model& model) {
    std::vector<PropertyReading> readings;
    for (const smv::Module& module : model.modules)
        for (const smv::Property& property : module.properties) {
            PropertyReading& reading = readings.emplace_back();
            reading.property = &property;
            reading.goal.line = property.line;
            reading.goal.processes =
                property.forall ? static_cast<int>(property.forall->parameters.size()) : 0;
            reading.goal.reason = form_problem(module, property, reading.state_formula);
        }
    std::sort(readings.begin(), readings.end(), [](const PropertyReading& a, const PropertyReading& b) {
        return a.property->keyword_token < b.property->keyword_token;
    });
    return readings;
}

std::vector<Clause> invariant_clauses(const ProcessClass& processes, const Valuations& shared,
                                      const LocalSteps& steps, const PropertyReading& reading,
                                      const Checkpoint& checkpoint) {
    return PropertyEvaluation(processes, shared, steps, reading, checkpoint).clauses();
}

}  // namespace ruvello::counted
