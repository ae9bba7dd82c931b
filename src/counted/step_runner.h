// One step of one process, run on given values: the local transitions of
// local_steps.h are found by running it on every local state a process may
// reach, and every value of the shared variables and the inputs. A
// statement for every process, next(a[Proc]) and TRANS, is run for the
// acting process and, with Proc another process in a given local state,
// for each other one.
#pragma once

#include <algorithm>
#include <functional>
#include <map>
#include <optional>
#include <set>
#include <vector>

#include "counted/evaluation.h"
#include "counted/local_steps.h"
#include "counted/refusal.h"

namespace ruvello::counted {

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
    void collect(const smv::Expr& expr, bool next, std::set<std::size_t>& reads) {
        if (expr.kind == smv::Expr::Kind::next) return collect(expr.operand(0), true, reads);
        if (expr.kind == smv::Expr::Kind::name) {
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

// What a step of a process is run on: its local state, the shared values,
// the inputs, and the local state of the process the input of type 1 .. N
// picks (none when it names the acting process, or there is no such input).
struct Situation {
    const LocalState* acting = nullptr;
    std::size_t shared = 0, inputs = 0;
    const LocalState* picked = nullptr;
};

// Runs one step of a process from given values of its local state, the
// shared variables and the inputs.
class StepRunner {
public:
    // A successor: the local state after the step, the picked process's
    // local state after it (when one is picked), the holder variable that
    // changed hands beyond those two (if any), the shared valuation after.
    using Successor = std::function<void(const LocalState&, const std::optional<LocalState>&,
                                         std::optional<HolderMove>, std::size_t)>;

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
        evaluator_.set_short_circuit(true);
        for (const std::vector<std::size_t>* role :
             {&processes.own, &processes.shared, &processes.holders, &processes.inputs})
            for (std::size_t k = 0; k < role->size(); ++k) place_[(*role)[k]] = k;
        resolve_ = [this](const smv::Expr& expr, bool next) { return resolve(expr, next); };
    }

    void successors(const Situation& situation, const Successor& found) {
        std::optional<LocalState> picked;
        if (situation.picked) picked = moved(situation, *situation.picked, Value::picked_process);
        set_values(situation);
        picked_after_ = std::move(picked);
        next_.assign(processes_.variables.size(), std::nullopt);
        choose(0, found);
    }

    // Whether the TRANS guards let the acting process step: each guard holds
    // with Proc the acting process, and with Proc the picked one.
    bool guards_allow(const Situation& situation) {
        return guards_hold(situation, nullptr, Value::this_process) &&
               (!situation.picked || guards_hold(situation, situation.picked, Value::picked_process));
    }
    // Whether they let it step beside a process in `other`, neither the
    // acting process nor the picked one: each guard holds with Proc that
    // process.
    bool guards_allow_beside(const Situation& situation, const LocalState& other) {
        return guards_hold(situation, &other, Value::other_process);
    }
    // Whether some statement moves other processes than the acting one.
    bool broadcasts() const;
    // The local state after the step of a process in `other`, neither the
    // acting process nor the picked one: its elements of the arrays as
    // next(a[Proc]) gives them for Proc that process, everything else as it was.
    LocalState broadcast(const Situation& situation, const LocalState& other) {
        return moved(situation, other, Value::other_process);
    }

    // NuSMV checks that every next gives a value of its variable's type, and
    // that a case always has a branch that applies, for any values of the
    // variables, the next values it reads included, consistent or not.
    void require_values_in_types(const LocalState& local, std::size_t shared, std::size_t inputs) {
        evaluator_.set_short_circuit(false);
        set_values({&local, shared, inputs, nullptr});
        for (const std::size_t variable : order_) {
            next_.assign(processes_.variables.size(), std::nullopt);
            const std::set<std::size_t>& reads = reads_.of(variable);
            require_fits_for_any_reads(variable, std::vector<std::size_t>(reads.begin(), reads.end()), 0);
        }
        evaluator_.set_short_circuit(true);
    }

private:
    void set_values(const Situation& situation) {
        local_ = situation.acting;
        picked_ = situation.picked;
        shared_values_ = shared_.valuation(situation.shared);
        input_values_ = inputs_.valuation(situation.inputs);
    }

    bool guards_hold(const Situation& situation, const LocalState* target, std::int64_t identity);
    LocalState moved(const Situation& situation, const LocalState& target, std::int64_t identity);

    // The values each variable may take, for a next value that is read.
    std::vector<Value> values_of(std::size_t variable) const {
        const Variable& declared = processes_.variables[variable];
        if (declared.role != Role::holder) return declared.domain.values();
        return {Value::process(Value::this_process), Value::process(Value::picked_process),
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
        // than the process's own number, the picked one or a holder
        // variable's; the step's bits rely on it.
        if (value.kind != Value::Kind::process || value.number == Value::other_process)
            refuse(outside(model_, assignment.span,
                           "gives a process-number variable a value that is not a process number"));
    }

    // A holder variable given to the acting process or the picked one is
    // taken from whoever held it: from a third process when neither did. One
    // given another's value goes to the process that holds that one.
    void after_step(const Successor& found) const {
        LocalState after = *local_;
        for (std::size_t k = 0; k < processes_.own.size(); ++k) {
            const Variable& variable = processes_.variables[processes_.own[k]];
            after[k] = static_cast<std::uint32_t>(variable.domain.index_of(*next_[processes_.own[k]]));
        }
        std::optional<LocalState> picked_after = picked_after_;
        std::optional<HolderMove> handed;
        for (std::size_t h = 0; h < processes_.holders.size(); ++h) {
            const std::size_t bit = processes_.own.size() + h;
            const std::int64_t names = next_[processes_.holders[h]]->number;
            const bool held = after[bit] != 0 || (picked_ && (*picked_)[bit] != 0);
            std::optional<HolderMove> move;
            if (names < 0 && !held) move = HolderMove{h, std::nullopt};
            if (names >= 0 && static_cast<std::size_t>(names) != h)
                move = HolderMove{h, static_cast<std::size_t>(names)};
            if (move) {
                if (handed)
                    refuse(outside(processes_.variables[processes_.holders[h]].next->span.line,
                                   "takes two process-number variables in one step"));
                handed = move;
            }
            after[bit] = names == Value::this_process ? 1 : 0;
            if (picked_after) (*picked_after)[bit] = names == Value::picked_process ? 1 : 0;
        }
        std::vector<std::uint32_t> shared(processes_.shared.size());
        for (std::size_t k = 0; k < shared.size(); ++k) {
            const Variable& variable = processes_.variables[processes_.shared[k]];
            shared[k] = static_cast<std::uint32_t>(variable.domain.index_of(*next_[processes_.shared[k]]));
        }
        found(after, picked_after, handed, shared_.number(shared));
    }

    ValueSet resolve(const smv::Expr& expr, bool next) {
        if (expr.kind == smv::Expr::Kind::index) return {element(expr, next)};
        if (expr.kind != smv::Expr::Kind::name)
            refuse(outside(model_, expr.span, "names an instance, which the counted model does not take in"));
        if (expr.text == "Proc") return {Value::process(target_ ? target_identity_ : Value::this_process)};
        if (expr.text == "running" && in_guard_) return {Value::boolean(true)};
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

    // a[id], the process's own element, or a[Proc], the element of the
    // process a statement for every process is run for.
    Value element(const smv::Expr& expr, bool next) const;

    Value variable_value(std::size_t index, bool next, const smv::Expr& at) const {
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
        case Role::pick: return Value::process(picked_ ? Value::picked_process : Value::this_process);
        case Role::holder: break;
        }
        const std::size_t bit = processes_.own.size() + place;
        if ((*local_)[bit]) return Value::process(Value::this_process);
        if (target_ && (*target_)[bit]) return Value::process(target_identity_);
        if (picked_ && (*picked_)[bit]) return Value::process(Value::picked_process);
        return Value::process(static_cast<std::int64_t>(place));
    }

    ValueSet definition(const smv::Expr& name, const smv::Expr& value, bool next) {
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
    const LocalState* picked_ = nullptr;  // the picked process, when it is not the acting one
    std::optional<LocalState> picked_after_;  // its local state after the step, but for holder bits
    const LocalState* target_ = nullptr;  // the other process a statement for every process is run for
    std::int64_t target_identity_ = Value::other_process;  // what Proc is for it
    bool in_guard_ = false;               // evaluating a TRANS guard, where running holds
};

}  // namespace ruvello::counted
