#include "counted/local_steps.h"

#include <algorithm>
#include <functional>
#include <map>
#include <set>
#include <tuple>

#include "counted/refusal.h"
#include "counted/step_runner.h"

namespace ruvello::counted {

namespace {


// The moves found from one local state to another, taking (or not) a
// holder variable, with one effect on the other processes (an index into
// Enumeration::effects_): the shared valuations before and after each.
using MoveKey = std::tuple<std::size_t, std::size_t, std::optional<std::size_t>, std::size_t>;
using Moves = std::map<MoveKey, std::set<std::pair<std::size_t, std::size_t>>>;

class Enumeration {
    // A process's steps from one local state with one shared valuation and
    // one valuation of its inputs.
    struct Successor {
        std::size_t to;
        std::optional<std::size_t> taken;
        std::size_t shared_after;
    };
    struct Context {
        std::size_t from, shared, inputs;
        std::vector<Successor> successors;
    };

public:
    Enumeration(const ProcessClass& processes, const Valuations& shared, const Checkpoint& checkpoint)
        : processes_(processes),
          shared_(shared),
          inputs_(processes, processes.inputs, "input variables"),
          runner_(processes, shared, inputs_, checkpoint) {}

    LocalSteps run() {
        require_values_in_types();
        add_initial_states();
        for (std::size_t done = 0;;) {
            while (done < steps_.states.size()) {
                step_from(done++);
                if (done == steps_.states.size()) add_states_of_holders_taken_from();
            }
            if (!spread_broadcasts()) break;
        }
        for (const Context& context : contexts_) add_moves(context);
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

    // The steps a process in `from` takes with some shared values and
    // inputs, where its TRANS guards let it: a context of steps.
    void step_from(std::size_t from) {
        within_enumeration(steps_.states.size() * shared_.size() * inputs_.size());
        const LocalState state = steps_.states[from];
        for (std::size_t shared = 0; shared < shared_.size(); ++shared)
            for (std::size_t inputs = 0; inputs < inputs_.size(); ++inputs) {
                if (!runner_.guards_allow(state, shared, inputs, nullptr)) continue;
                Context context{from, shared, inputs, {}};
                runner_.successors(
                    state, shared, inputs,
                    [&](const LocalState& after, std::optional<std::size_t> taken, std::size_t shared_after) {
                        const std::size_t to = add(after, false);
                        context.successors.push_back({to, taken, shared_after});
                        if (taken) taken_.insert(*taken);
                        // Each kind of move gives the counted model one kind of step or more.
                        if (kinds_.emplace(from, to, taken).second && kinds_.size() > most_steps)
                            refuse_too_many_steps();
                    });
                if (!context.successors.empty()) contexts_.push_back(std::move(context));
            }
    }

    // Every local state another process reaches by a broadcast of a step
    // that the guards let fire beside it; whether any is new.
    bool spread_broadcasts() {
        if (!runner_.broadcasts()) return false;
        const std::size_t known = steps_.states.size();
        spread_.resize(contexts_.size(), 0);
        for (std::size_t c = 0; c < contexts_.size(); ++c) {
            const Context& context = contexts_[c];
            const LocalState acting = steps_.states[context.from];
            for (; spread_[c] < steps_.states.size(); ++spread_[c]) {
                within_enumeration(contexts_.size() * steps_.states.size());
                const LocalState other = steps_.states[spread_[c]];
                if (runner_.guards_allow(acting, context.shared, context.inputs, &other))
                    add(runner_.broadcast(acting, context.shared, context.inputs, other), false);
            }
        }
        return steps_.states.size() > known;
    }

    // The moves of a context, with what they do to the other processes:
    // the local states the guards forbid them, and where a broadcast takes
    // each of them.
    void add_moves(const Context& context) {
        const LocalState acting = steps_.states[context.from];
        std::vector<bool> forbidden(steps_.states.size(), false);
        std::vector<std::size_t> broadcast(steps_.states.size());
        bool moves_others = false;
        for (std::size_t other = 0; other < steps_.states.size(); ++other) {
            broadcast[other] = other;
            if (!runner_.guards_allow(acting, context.shared, context.inputs, &steps_.states[other])) {
                forbidden[other] = true;
                continue;
            }
            if (runner_.broadcasts()) {
                broadcast[other] = index_.at(
                    runner_.broadcast(acting, context.shared, context.inputs, steps_.states[other]));
                moves_others |= broadcast[other] != other;
            }
        }
        if (std::find(forbidden.begin(), forbidden.end(), true) == forbidden.end()) forbidden.clear();
        if (!moves_others) broadcast.clear();
        const auto [effect, added] = effects_.emplace(std::make_pair(forbidden, broadcast), effects_.size());
        if (added) effect_list_.push_back(&effect->first);
        for (const Successor& successor : context.successors) {
            if (successor.taken && !broadcast.empty())
                refuse(outside(processes_.variables[processes_.holders[*successor.taken]].next->span.line,
                               "takes a process-number variable in a step that moves the other processes"));
            moves_[{context.from, successor.to, successor.taken, effect->second}].emplace(context.shared,
                                                                                      successor.shared_after);
            if (moves_.size() > most_steps) refuse_too_many_steps();
        }
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
        const auto [from, to, taken, effect] = key;
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
        const auto& [forbidden, broadcast] = *effect_list_[effect];
        for (auto& [update, guard] : by_update)
            steps_.transitions.push_back({from, to, taken, std::move(guard), update, forbidden, broadcast});
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
    std::vector<Context> contexts_;
    std::set<std::tuple<std::size_t, std::size_t, std::optional<std::size_t>>> kinds_;  // of the moves found
    std::vector<std::size_t> spread_;  // by context: the local states its broadcast has been run on
    using Effect = std::pair<std::vector<bool>, std::vector<std::size_t>>;  // forbidden, broadcast
    std::map<Effect, std::size_t> effects_;
    std::vector<const Effect*> effect_list_;
};

}  // namespace

LocalSteps enumerate_local_steps(const ProcessClass& processes, const Valuations& shared,
                                 const Checkpoint& checkpoint) {
    return Enumeration(processes, shared, checkpoint).run();
}

}  // namespace ruvello::counted
