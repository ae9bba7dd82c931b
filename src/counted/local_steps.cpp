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


// The moves found from one local state to another, moving (or not) a
// picked process, handing (or not) a holder variable on, with one effect on
// the other processes (an index into Enumeration::effects_): the shared
// valuations before and after each.
using PickedMove = std::optional<std::pair<std::size_t, std::size_t>>;
using MoveKey = std::tuple<std::size_t, std::size_t, PickedMove, std::optional<HolderMove>, std::size_t>;
using Moves = std::map<MoveKey, std::set<std::pair<std::size_t, std::size_t>>>;

class Enumeration {
    // A process's steps from one local state with one shared valuation and
    // one valuation of its inputs.
    struct Successor {
        std::size_t to;
        std::optional<std::size_t> picked_to;
        std::optional<HolderMove> handed;
        std::size_t shared_after;
    };
    struct Context {
        std::size_t from, shared, inputs;
        std::optional<std::size_t> picked;
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
                if (done == steps_.states.size()) add_states_of_holders_handed_on();
            }
            if (!spread_broadcasts()) break;
        }
        for (const Context& context : contexts_) add_moves(context);
        drop_moves_that_need_not_pick();
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

    // The steps of a process in the local state found k-th, and, where a
    // step picks another process, those with it in that state: the pairs
    // of states found so far that have not been run.
    void step_from(std::size_t k) {
        step(k, std::nullopt);
        if (!processes_.pick) return;
        within_enumeration(steps_.states.size() * steps_.states.size() * shared_.size() * inputs_.size());
        for (std::size_t other = 0; other < k; ++other) {
            step(k, other);
            step(other, k);
        }
        step(k, k);
    }

    // Two processes never hold one holder variable together.
    bool could_be_together(const LocalState& one, const LocalState& other) const {
        for (std::size_t bit = processes_.own.size(); bit < one.size(); ++bit)
            if (one[bit] && other[bit]) return false;
        return true;
    }

    // The steps a process in `from` takes, beside a picked process in
    // `picked`, with some shared values and inputs, where the TRANS guards
    // let it: a context of steps.
    void step(std::size_t from, std::optional<std::size_t> picked) {
        within_enumeration(steps_.states.size() * shared_.size() * inputs_.size());
        const LocalState state = steps_.states[from];
        const std::optional<LocalState> picked_state =
            picked ? std::optional(steps_.states[*picked]) : std::nullopt;
        if (picked_state && !could_be_together(state, *picked_state)) return;
        for (std::size_t shared = 0; shared < shared_.size(); ++shared)
            for (std::size_t inputs = 0; inputs < inputs_.size(); ++inputs) {
                const Situation situation{&state, shared, inputs, picked_state ? &*picked_state : nullptr};
                if (!runner_.guards_allow(situation)) continue;
                Context context{from, shared, inputs, picked, {}};
                runner_.successors(situation, [&](const LocalState& after,
                                                  const std::optional<LocalState>& picked_after,
                                                  std::optional<HolderMove> handed, std::size_t shared_after) {
                    const std::size_t to = add(after, false);
                    const std::optional<std::size_t> picked_to =
                        picked_after ? std::optional(add(*picked_after, false)) : std::nullopt;
                    context.successors.push_back({to, picked_to, handed, shared_after});
                    if (handed) handed_.insert(*handed);
                    const PickedMove picked_move =
                        picked ? PickedMove(std::pair(*picked, *picked_to)) : std::nullopt;
                    // Each kind of move gives the counted model one kind of step or more.
                    if (kinds_.emplace(from, to, picked_move, handed).second && kinds_.size() > most_steps)
                        refuse_too_many_steps();
                });
                if (!context.successors.empty()) contexts_.push_back(std::move(context));
            }
    }

    Situation situation_of(const Context& context, const LocalState& acting,
                           const std::optional<LocalState>& picked) const {
        return {&acting, context.shared, context.inputs, picked ? &*picked : nullptr};
    }
    std::optional<LocalState> picked_state(const Context& context) const {
        return context.picked ? std::optional(steps_.states[*context.picked]) : std::nullopt;
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
            const std::optional<LocalState> picked = picked_state(context);
            const Situation situation = situation_of(context, acting, picked);
            for (; spread_[c] < steps_.states.size(); ++spread_[c]) {
                within_enumeration(contexts_.size() * steps_.states.size());
                const LocalState other = steps_.states[spread_[c]];
                if (runner_.guards_allow_beside(situation, other)) add(runner_.broadcast(situation, other), false);
            }
        }
        return steps_.states.size() > known;
    }

    // The moves of a context, with what they do to the other processes:
    // the local states the guards forbid them, and where a broadcast takes
    // each of them.
    void add_moves(const Context& context) {
        const LocalState& acting = steps_.states[context.from];
        const std::optional<LocalState> picked = picked_state(context);
        const Situation situation = situation_of(context, acting, picked);
        std::vector<bool> forbidden(steps_.states.size(), false);
        std::vector<std::size_t> broadcast(steps_.states.size());
        bool moves_others = false;
        for (std::size_t other = 0; other < steps_.states.size(); ++other) {
            broadcast[other] = other;
            if (!runner_.guards_allow_beside(situation, steps_.states[other])) {
                forbidden[other] = true;
                continue;
            }
            if (runner_.broadcasts()) {
                broadcast[other] = index_.at(runner_.broadcast(situation, steps_.states[other]));
                moves_others |= broadcast[other] != other;
            }
        }
        if (std::find(forbidden.begin(), forbidden.end(), true) == forbidden.end()) forbidden.clear();
        if (!moves_others) broadcast.clear();
        const auto [effect, added] = effects_.emplace(std::make_pair(forbidden, broadcast), effects_.size());
        if (added) effect_list_.push_back(&effect->first);
        for (const Successor& successor : context.successors) {
            if (successor.handed && successor.handed->copied_from && !broadcast.empty())
                refuse(outside(processes_.variables[processes_.holders[successor.handed->holder]].next->span.line,
                               "copies a process-number variable in a step that moves the other processes"));
            const PickedMove picked_move =
                context.picked ? PickedMove(std::pair(*context.picked, *successor.picked_to)) : std::nullopt;
            moves_[{context.from, successor.to, picked_move, successor.handed, effect->second}].emplace(
                context.shared, successor.shared_after);
            if (moves_.size() > most_steps) refuse_too_many_steps();
        }
    }

    // A move that picks a process and moves it as the same move without a
    // pick would (as any other process in its state, or taking from it a
    // holder variable the acting process takes) adds nothing but a stronger
    // condition to the counted model. A pick that remains in a step that
    // moves every other process is not counted.
    void drop_moves_that_need_not_pick() {
        for (auto move = moves_.begin(); move != moves_.end();) {
            const auto& [from, to, picked, handed, effect] = move->first;
            const std::vector<std::size_t>& broadcast = effect_list_[effect]->second;
            const std::optional<MoveKey> plain = picked ? without_pick(move->first) : std::nullopt;
            const auto alone = plain ? moves_.find(*plain) : moves_.end();
            if (alone != moves_.end())
                std::erase_if(move->second, [&](const auto& pair) { return alone->second.contains(pair); });
            if (!move->second.empty() && picked && !broadcast.empty())
                refuse(outside(processes_.variables[*processes_.pick].line,
                               "picks a process in a step that also moves every other process"));
            move = move->second.empty() ? moves_.erase(move) : std::next(move);
        }
    }

    // The move without a pick that moves the picked process alike, if any.
    std::optional<MoveKey> without_pick(const MoveKey& key) const {
        const auto& [from, to, picked, handed, effect] = key;
        const std::vector<std::size_t>& broadcast = effect_list_[effect]->second;
        if (picked->second == (broadcast.empty() ? picked->first : broadcast[picked->first]))
            return MoveKey{from, to, std::nullopt, handed, effect};
        if (handed || !broadcast.empty()) return std::nullopt;
        const LocalState& before = steps_.states[picked->first];
        const LocalState& after = steps_.states[picked->second];
        std::optional<std::size_t> lost;
        for (std::size_t k = 0; k < before.size(); ++k)
            if (before[k] != after[k]) {
                if (lost || k < processes_.own.size() || after[k]) return std::nullopt;
                lost = k - processes_.own.size();
            }
        if (!lost) return std::nullopt;
        return MoveKey{from, to, std::nullopt, HolderMove{*lost, std::nullopt}, effect};
    }

    [[noreturn]] static void refuse_too_many_steps() {
        refuse("outside the class: the counted model would take more than " + std::to_string(most_steps) +
               " kinds of step");
    }

    // A transition that hands a holder variable on is a step of the counted
    // model for each local state its holders may be in.
    void require_few_steps() const {
        std::vector<std::size_t> holding(processes_.holders.size(), 0);
        for (const LocalState& state : steps_.states)
            for (std::size_t h = 0; h < holding.size(); ++h) holding[h] += state[processes_.own.size() + h];
        std::size_t steps = 0;
        for (const LocalTransition& transition : steps_.transitions) {
            const std::optional<HolderMove>& handed = transition.handed;
            steps += !handed                ? 1
                     : handed->copied_from ? holding[*handed->copied_from] * (holding[handed->holder] + 1)
                                           : holding[handed->holder];
            if (steps > most_steps) refuse_too_many_steps();
        }
    }

    // The process that held a holder variable handed on keeps its local
    // state but for the bit; the process a copy hands it to gains the bit.
    void add_states_of_holders_handed_on() {
        for (const HolderMove& handed : handed_) {
            const std::size_t bit = processes_.own.size() + handed.holder;
            for (std::size_t k = 0; k < steps_.states.size(); ++k) {
                LocalState state = steps_.states[k];
                if (state[bit] == 1) {
                    state[bit] = 0;
                    add(state, false);
                } else if (handed.copied_from && state[processes_.own.size() + *handed.copied_from] == 1) {
                    state[bit] = 1;
                    add(state, false);
                }
            }
        }
    }

    // The moves between two local states as transitions, each with a guard
    // and one update of the shared variables: one transition when one update
    // describes every move, else one per update that describes some.
    void add_transitions(const MoveKey& key, const std::set<std::pair<std::size_t, std::size_t>>& pairs) {
        const auto [from, to, picked, handed, effect] = key;
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
            steps_.transitions.push_back({from, to, picked, handed, std::move(guard), update, forbidden, broadcast});
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
    std::set<HolderMove> handed_;
    std::vector<Context> contexts_;
    std::set<std::tuple<std::size_t, std::size_t, PickedMove, std::optional<HolderMove>>> kinds_;  // of the moves found
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
