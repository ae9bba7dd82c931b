#include "counted/local_steps.h"

#include <algorithm>
#include <functional>
#include <map>
#include <set>
#include <tuple>

#include "counted/evaluation.h"
#include "counted/refusal.h"

namespace ruvello::counted {

namespace {

using smv::Expr;

// Which variables' next values the next of each variable reads, and an
// order in which each comes after those it reads.
class NextReads {
public:
    explicit NextReads(const ProcessClass& processes) : processes_(processes) {
        for (std::size_t variable = 0; variable < processes.variables.size(); ++variable)
            if (const smv::Assignment* next = processes.variables[variable].next) {
                seen_definitions_.clear();
                collect(*next->value, false, reads_[variable]);
                for (const std::size_t read : reads_[variable])
                    if (processes.variables[read].role == Role::input)
                        refuse(outside(next->span.line, "reads the next value of an input variable"));
            }
    }

    const std::set<std::size_t>& of(std::size_t variable) const { return reads_.at(variable); }

    std::vector<std::size_t> order() const {
        std::vector<std::size_t> placed;
        const auto is_placed = [&](std::size_t variable) {
            return std::find(placed.begin(), placed.end(), variable) != placed.end();
        };
        while (placed.size() < reads_.size()) {
            const auto ready = std::find_if(reads_.begin(), reads_.end(), [&](const auto& entry) {
                return !is_placed(entry.first) &&
                       std::all_of(entry.second.begin(), entry.second.end(), is_placed);
            });
            if (ready == reads_.end()) {
                const auto waiting = std::find_if(reads_.begin(), reads_.end(),
                                                  [&](const auto& entry) { return !is_placed(entry.first); });
                refuse(outside(processes_.variables[waiting->first].next->span.line,
                               "assigns next values that read each other's next values in a cycle"));
            }
            placed.push_back(ready->first);
        }
        return placed;
    }

private:
    void collect(const Expr& expr, bool next, std::set<std::size_t>& reads) {
        if (expr.kind == Expr::Kind::next) return collect(expr.operand(0), true, reads);
        if (expr.kind == Expr::Kind::name) {
            if (next) {
                if (const auto variable = variable_named(expr.text)) reads.insert(*variable);
            }
            const auto definition = processes_.module_definitions.find(expr.text);
            if (definition != processes_.module_definitions.end() &&
                seen_definitions_.insert({expr.text, next}).second)
                collect(*definition->second, next, reads);
        }
        for (const smv::ExprPtr& operand : expr.operands) collect(*operand, next, reads);
    }
    std::optional<std::size_t> variable_named(std::string_view name) const {
        if (const auto found = processes_.module_variables.find(name);
            found != processes_.module_variables.end())
            return found->second;
        const auto parameter = processes_.parameters.find(name);
        if (parameter != processes_.parameters.end() && parameter->second.kind == Binding::Kind::variable)
            return parameter->second.variable;
        return std::nullopt;
    }

    const ProcessClass& processes_;
    std::map<std::size_t, std::set<std::size_t>> reads_;
    std::set<std::pair<std::string_view, bool>> seen_definitions_;
};

// Runs one step of a process from given values of its local state, the
// shared variables and the inputs.
class StepRunner {
public:
    // A successor: the local state after the step, the holder variable the
    // process took from another (if any), the shared valuation after.
    using Successor = std::function<void(const LocalState&, std::optional<std::size_t>, std::size_t)>;

    StepRunner(const ProcessClass& processes, const Valuations& shared, const Valuations& inputs,
               const Checkpoint& checkpoint)
        : processes_(processes),
          model_(*processes.model),
          shared_(shared),
          inputs_(inputs),
          reads_(processes),
          order_(reads_.order()),
          place_(processes.variables.size()),
          budget_(checkpoint),
          evaluator_(model_, budget_) {
        for (const std::vector<std::size_t>* role :
             {&processes.own, &processes.shared, &processes.holders, &processes.inputs})
            for (std::size_t k = 0; k < role->size(); ++k) place_[(*role)[k]] = k;
        resolve_ = [this](const Expr& expr, bool next) { return resolve(expr, next); };
    }

    void successors(const LocalState& local, std::size_t shared, std::size_t inputs, const Successor& found) {
        local_ = &local;
        shared_values_ = shared_.valuation(shared);
        input_values_ = inputs_.valuation(inputs);
        next_.assign(processes_.variables.size(), std::nullopt);
        choose(0, found);
    }

    // NuSMV checks that every next gives a value of its variable's type, and
    // that a case always has a branch that applies, for any values of the
    // variables, the next values it reads included, consistent or not.
    void require_values_in_types(const LocalState& local, std::size_t shared, std::size_t inputs) {
        local_ = &local;
        shared_values_ = shared_.valuation(shared);
        input_values_ = inputs_.valuation(inputs);
        for (const std::size_t variable : order_) {
            next_.assign(processes_.variables.size(), std::nullopt);
            const std::set<std::size_t>& reads = reads_.of(variable);
            require_fits_for_any_reads(variable, std::vector<std::size_t>(reads.begin(), reads.end()), 0);
        }
    }

private:
    // The values each variable may take, for a next value that is read.
    std::vector<Value> values_of(std::size_t variable) const {
        const Variable& declared = processes_.variables[variable];
        if (declared.role != Role::holder) return declared.domain.values();
        return {Value::process(Value::this_process),
                Value::process(static_cast<std::int64_t>(place_[variable]))};
    }

    void require_fits_for_any_reads(std::size_t variable, const std::vector<std::size_t>& reads,
                                    std::size_t k) {
        if (k == reads.size()) {
            for (const Value& value :
                 evaluator_.values(*processes_.variables[variable].next->value, resolve_))
                require_fits(variable, value);
            return;
        }
        for (const Value& value : values_of(reads[k])) {
            next_[reads[k]] = value;
            require_fits_for_any_reads(variable, reads, k + 1);
        }
    }

    void choose(std::size_t k, const Successor& found) {
        if (k == order_.size()) return after_step(found);
        const std::size_t variable = order_[k];
        for (const Value& value : evaluator_.values(*processes_.variables[variable].next->value, resolve_)) {
            require_fits(variable, value);
            next_[variable] = value;
            choose(k + 1, found);
        }
        next_[variable].reset();
    }

    void require_fits(std::size_t index, const Value& value) const {
        const Variable& variable = processes_.variables[index];
        const smv::Assignment& assignment = *variable.next;
        if (variable.role != Role::holder) {
            if (variable.domain.index_of(value) == Domain::npos)
                refuse(outside(assignment.span.line, "assigns " + std::string(variable.name) +
                                                         " a value outside its type (" + text_of(value) +
                                                         ")"));
            return;
        }
        // The rules on process numbers leave a holder variable no other value
        // than the process's own number or its own; the step's bits rely on it.
        if (value.kind != Value::Kind::process)
            refuse(outside(model_, assignment.span,
                           "gives a process-number variable a value that is not a process number"));
        if (value.number != Value::this_process && static_cast<std::size_t>(value.number) != place_[index])
            refuse(outside(model_, assignment.span, "copies one process-number variable to another"));
    }

    void after_step(const Successor& found) const {
        LocalState after = *local_;
        for (std::size_t k = 0; k < processes_.own.size(); ++k) {
            const Variable& variable = processes_.variables[processes_.own[k]];
            after[k] = static_cast<std::uint32_t>(variable.domain.index_of(*next_[processes_.own[k]]));
        }
        std::optional<std::size_t> taken;
        for (std::size_t h = 0; h < processes_.holders.size(); ++h) {
            const std::size_t bit = processes_.own.size() + h;
            const bool names_it = next_[processes_.holders[h]]->number == Value::this_process;
            if (names_it && after[bit] == 0) {
                if (taken)
                    refuse(outside(processes_.variables[processes_.holders[h]].next->span.line,
                                   "takes two process-number variables in one step"));
                taken = h;
            }
            after[bit] = names_it ? 1 : 0;
        }
        std::vector<std::uint32_t> shared(processes_.shared.size());
        for (std::size_t k = 0; k < shared.size(); ++k) {
            const Variable& variable = processes_.variables[processes_.shared[k]];
            shared[k] = static_cast<std::uint32_t>(variable.domain.index_of(*next_[processes_.shared[k]]));
        }
        found(after, taken, shared_.number(shared));
    }

    ValueSet resolve(const Expr& expr, bool next) {
        if (expr.kind != Expr::Kind::name)
            refuse(
                outside(model_, expr.span,
                        "indexes an array or names an instance, which the counted model does not take in"));
        if (const auto found = processes_.module_variables.find(expr.text);
            found != processes_.module_variables.end())
            return {variable_value(found->second, next, expr)};
        if (const auto found = processes_.parameters.find(expr.text); found != processes_.parameters.end()) {
            const Binding& binding = found->second;
            switch (binding.kind) {
            case Binding::Kind::process_number: return {Value::process(Value::this_process)};
            case Binding::Kind::variable: return {variable_value(binding.variable, next, expr)};
            case Binding::Kind::constant: return {binding.constant};
            }
        }
        if (const auto found = processes_.module_definitions.find(expr.text);
            found != processes_.module_definitions.end())
            return definition(expr, *found->second, next);
        if (processes_.constants.contains(expr.text)) return {Value::constant(expr.text)};
        if (expr.text == "running") refuse(outside(model_, expr.span, "reads running"));
        refuse(outside(model_, expr.span, "names something the process module does not declare"));
    }

    Value variable_value(std::size_t index, bool next, const Expr& at) const {
        const Variable& variable = processes_.variables[index];
        if (next) {
            if (!next_[index])
                refuse(outside(model_, at.span, "reads a next value that the step does not compute first"));
            return *next_[index];
        }
        const std::size_t place = place_[index];
        switch (variable.role) {
        case Role::own: return variable.domain.values()[(*local_)[place]];
        case Role::shared: return variable.domain.values()[shared_values_[place]];
        case Role::input: return variable.domain.values()[input_values_[place]];
        case Role::holder: break;
        }
        const bool names_it = (*local_)[processes_.own.size() + place] != 0;
        return Value::process(names_it ? Value::this_process : static_cast<std::int64_t>(place));
    }

    ValueSet definition(const Expr& name, const Expr& value, bool next) {
        if (!definitions_.open(name.text)) refuse(outside(model_, name.span, OpenDefinitions::refusal));
        ValueSet values = evaluator_.values(value, resolve_, next);
        definitions_.close();
        return values;
    }

    const ProcessClass& processes_;
    const smv::Model& model_;
    const Valuations& shared_;
    const Valuations& inputs_;
    NextReads reads_;
    std::vector<std::size_t> order_;
    std::vector<std::size_t> place_;  // by variable: its place among those of its role
    Budget budget_;
    Evaluator evaluator_;
    Evaluator::Resolver resolve_;
    const LocalState* local_ = nullptr;
    std::vector<std::uint32_t> shared_values_, input_values_;
    std::vector<std::optional<Value>> next_;
    OpenDefinitions definitions_;
};

// The moves found from one local state to another, taking (or not) a
// holder variable: the shared valuations before and after each.
using MoveKey = std::tuple<std::size_t, std::size_t, std::optional<std::size_t>>;
using Moves = std::map<MoveKey, std::set<std::pair<std::size_t, std::size_t>>>;

class Enumeration {
public:
    Enumeration(const ProcessClass& processes, const Valuations& shared, const Checkpoint& checkpoint)
        : processes_(processes),
          shared_(shared),
          inputs_(processes, processes.inputs, "input variables"),
          runner_(processes, shared, inputs_, checkpoint) {}

    LocalSteps run() {
        require_values_in_types();
        add_initial_states();
        for (std::size_t done = 0; done < steps_.states.size();) {
            step_from(done++);
            if (done == steps_.states.size()) add_states_of_holders_taken_from();
        }
        for (const auto& [key, pairs] : moves_) add_transitions(key, pairs);
        require_few_steps();
        return std::move(steps_);
    }

private:
    std::size_t add(const LocalState& state, bool initial) {
        const auto [found, added] = index_.emplace(state, steps_.states.size());
        if (added) {
            if (steps_.states.size() == largest_local_states)
                refuse("outside the class: a process may be in more than " +
                       std::to_string(largest_local_states) + " local states, too many to count");
            steps_.states.push_back(state);
            steps_.initial.push_back(initial);
        }
        return found->second;
    }

    // Every local state, reachable or not, with every shared valuation and
    // input: as many as NuSMV's checks of types go through.
    void require_values_in_types() {
        std::vector<std::size_t> sizes;
        for (const std::size_t index : processes_.own)
            sizes.push_back(processes_.variables[index].domain.size());
        sizes.insert(sizes.end(), processes_.holders.size(), 2);
        std::size_t work = shared_.size() * inputs_.size();
        within_enumeration(work);
        for (const std::size_t size : sizes) within_enumeration(work *= size);
        LocalState state(sizes.size(), 0);
        for (;;) {
            for (std::size_t shared = 0; shared < shared_.size(); ++shared)
                for (std::size_t inputs = 0; inputs < inputs_.size(); ++inputs)
                    runner_.require_values_in_types(state, shared, inputs);
            std::size_t k = 0;
            while (k < state.size() && ++state[k] == sizes[k]) state[k++] = 0;
            if (k == state.size()) return;
        }
    }

    static void within_enumeration(std::size_t work) {
        if (work > largest_enumeration)
            refuse("outside the class: the local and shared states are too many to count");
    }

    // Every combination of the own variables' initial values, each with and
    // without each holder variable: any one process may hold it at first.
    void add_initial_states() {
        std::vector<std::vector<std::uint32_t>> choices;
        for (const std::size_t index : processes_.own) {
            const Variable& variable = processes_.variables[index];
            std::vector<std::uint32_t>& values = choices.emplace_back();
            for (std::uint32_t k = 0; k < variable.domain.size(); ++k)
                if (!variable.initial ||
                    std::binary_search(variable.initial->begin(), variable.initial->end(),
                                       variable.domain.values()[k]))
                    values.push_back(k);
        }
        for (std::size_t h = 0; h < processes_.holders.size(); ++h) choices.push_back({0, 1});
        LocalState state(choices.size());
        const std::function<void(std::size_t)> combine = [&](std::size_t k) {
            if (k == choices.size()) {
                add(state, true);
                return;
            }
            for (const std::uint32_t value : choices[k]) {
                state[k] = value;
                combine(k + 1);
            }
        };
        combine(0);
    }

    void step_from(std::size_t from) {
        within_enumeration(steps_.states.size() * shared_.size() * inputs_.size());
        const LocalState state = steps_.states[from];
        for (std::size_t shared = 0; shared < shared_.size(); ++shared)
            for (std::size_t inputs = 0; inputs < inputs_.size(); ++inputs)
                runner_.successors(
                    state, shared, inputs,
                    [&](const LocalState& after, std::optional<std::size_t> taken, std::size_t shared_after) {
                        const std::size_t to = add(after, false);
                        moves_[{from, to, taken}].emplace(shared, shared_after);
                        // Each kind of move gives the counted model one kind of step or more.
                        if (moves_.size() > most_steps) refuse_too_many_steps();
                        if (taken) taken_.insert(*taken);
                    });
    }

    [[noreturn]] static void refuse_too_many_steps() {
        refuse("outside the class: the counted model would take more than " + std::to_string(most_steps) +
               " kinds of step");
    }

    // A transition that takes a holder variable is a step of the counted
    // model for each local state its holder may be in.
    void require_few_steps() const {
        std::vector<std::size_t> holding(processes_.holders.size(), 0);
        for (const LocalState& state : steps_.states)
            for (std::size_t h = 0; h < holding.size(); ++h) holding[h] += state[processes_.own.size() + h];
        std::size_t steps = 0;
        for (const LocalTransition& transition : steps_.transitions) {
            steps += transition.taken ? holding[*transition.taken] : 1;
            if (steps > most_steps) refuse_too_many_steps();
        }
    }

    // The process that held a holder variable someone took keeps its local
    // state but for the bit.
    void add_states_of_holders_taken_from() {
        for (const std::size_t h : taken_) {
            const std::size_t bit = processes_.own.size() + h;
            for (std::size_t k = 0; k < steps_.states.size(); ++k)
                if (steps_.states[k][bit] == 1) {
                    LocalState lost = steps_.states[k];
                    lost[bit] = 0;
                    add(lost, false);
                }
        }
    }

    // The moves between two local states as transitions, each with a guard
    // and one update of the shared variables: one transition when one update
    // describes every move, else one per update that describes some.
    void add_transitions(const MoveKey& key, const std::set<std::pair<std::size_t, std::size_t>>& pairs) {
        const auto [from, to, taken] = key;
        std::map<std::vector<std::optional<std::uint32_t>>, ValuationSet> by_update;
        if (const auto update = one_update(pairs)) {
            by_update[*update] = ValuationSet(shared_.size(), false);
            for (const auto& [before, after] : pairs) by_update[*update][before] = true;
        } else {
            for (const auto& [before, after] : pairs) {
                ValuationSet& guard = by_update[own_update(before, after)];
                guard.resize(shared_.size(), false);
                guard[before] = true;
            }
        }
        for (auto& [update, guard] : by_update)
            steps_.transitions.push_back({from, to, taken, std::move(guard), update});
    }

    // Each variable keeps its value, or takes one value, in every move.
    std::optional<std::vector<std::optional<std::uint32_t>>> one_update(
        const std::set<std::pair<std::size_t, std::size_t>>& pairs) const {
        std::vector<std::optional<std::uint32_t>> update(processes_.shared.size());
        for (std::size_t k = 0; k < update.size(); ++k) {
            bool keeps = true, one_value = true;
            std::optional<std::uint32_t> value;
            for (const auto& [before, after] : pairs) {
                const std::uint32_t old_value = shared_.valuation(before)[k],
                                    new_value = shared_.valuation(after)[k];
                keeps &= old_value == new_value;
                one_value &= !value || *value == new_value;
                value = new_value;
            }
            if (!keeps && !one_value) return std::nullopt;
            if (!keeps) update[k] = value;
        }
        return update;
    }

    // The update that describes one move: what changes, to what.
    std::vector<std::optional<std::uint32_t>> own_update(std::size_t before, std::size_t after) const {
        const std::vector<std::uint32_t> old_values = shared_.valuation(before),
                                         new_values = shared_.valuation(after);
        std::vector<std::optional<std::uint32_t>> update(old_values.size());
        for (std::size_t k = 0; k < update.size(); ++k)
            if (old_values[k] != new_values[k]) update[k] = new_values[k];
        return update;
    }

    const ProcessClass& processes_;
    const Valuations& shared_;
    Valuations inputs_;
    StepRunner runner_;
    LocalSteps steps_;
    std::map<LocalState, std::size_t> index_;
    Moves moves_;
    std::set<std::size_t> taken_;
};

}  // namespace

LocalSteps enumerate_local_steps(const ProcessClass& processes, const Valuations& shared,
                                 const Checkpoint& checkpoint) {
    return Enumeration(processes, shared, checkpoint).run();
}

}  // namespace ruvello::counted
