#include "counted/writer.h"

#include <algorithm>
#include <map>
#include <set>

#include "smv/excerpt.h"
#include "smv/parser.h"

namespace ruvello::counted {

namespace {

// Names for what the counted model declares, none of them a name of the
// model or a word NuSMV reserves.
class Names {
public:
    explicit Names(const smv::Model& model) {
        for (const smv::Token& token : model.tokens)
            if (token.kind == smv::TokenKind::name) used_.emplace(token.text);
    }
    std::string unique(const std::string& base) {
        std::string name = base;
        for (int k = 2; used_.contains(name) || smv::is_reserved_word(name); ++k)
            name = base + "_" + std::to_string(k);
        used_.insert(name);
        return name;
    }

private:
    std::set<std::string, std::less<>> used_;
};

std::string joined(const std::vector<std::string>& parts, std::string_view between) {
    std::string text;
    for (const std::string& part : parts) text += (text.empty() ? "" : std::string(between)) + part;
    return text;
}

std::string parenthesized(const std::string& formula) {
    return formula.find(' ') == std::string::npos ? formula : "(" + formula + ")";
}

// A step of the counted model: a local transition, and the other processes
// it moves, each from one local state to another: the picked process, and
// the process a holder variable is taken from.
struct Step {
    std::string name;
    const LocalTransition* transition = nullptr;
    std::vector<std::pair<std::size_t, std::size_t>> others;
};

class Writer {
public:
    Writer(const ProcessClass& processes, const Valuations& shared, const LocalSteps& steps, int bound,
           const std::vector<DecidedProperty>& decided, const Checkpoint& checkpoint)
        : processes_(processes),
          model_(*processes.model),
          shared_(shared),
          steps_(steps),
          bound_(bound),
          decided_(decided),
          checkpoint_(checkpoint),
          names_(model_) {
        for (std::size_t state = 0; state < steps.states.size(); ++state)
            index_.emplace(steps.states[state], state);
    }

    WrittenModel write() {
        name_counters();
        name_steps();
        step_ = names_.unique("step");
        enabled_ = names_.unique("enabled");
        text_ += "-- The counted model of the processes " + std::string(processes_.instances->name) +
                 " (module " + std::string(processes_.process->name) +
                 "): how many processes are in each local\n"
                 "-- state, counted up to " +
                 std::to_string(bound_) + " (" + std::to_string(bound_) + " means \"" +
                 std::to_string(bound_) +
                 " or more\"), and the shared variables as they are.\n"
                 "-- Each step moves one process along one local transition. An invariant\n"
                 "-- true here holds for every number of processes.\n"
                 "-- The local states counted are those a process reaches from its initial ones by its\n"
                 "-- own steps and by the broadcasts of others, with any shared values: no step leaves them.\n"
                 "MODULE main\n";
        write_variables();
        write_steps();
        write_initial();
        write_counter_updates();
        write_shared_updates();
        write_invariants();
        return std::move(written_);
    }

private:
    std::string state_name(const LocalState& state) const {
        std::vector<std::string> parts;
        for (std::size_t k = 0; k < processes_.own.size(); ++k) {
            const Variable& variable = processes_.variables[processes_.own[k]];
            const Value& value = variable.domain.values()[state[k]];
            const std::string name(variable.name);
            switch (value.kind) {
            case Value::Kind::boolean: parts.push_back(value.number ? name : "not_" + name); break;
            case Value::Kind::integer:
                parts.push_back(name + (value.number < 0 ? "m" + std::to_string(-value.number)
                                                         : std::to_string(value.number)));
                break;
            default: parts.push_back(std::string(value.symbol));
            }
        }
        for (std::size_t h = 0; h < processes_.holders.size(); ++h)
            if (state[processes_.own.size() + h])
                parts.emplace_back(processes_.variables[processes_.holders[h]].name);
        return parts.empty() ? "process" : joined(parts, "_");
    }

    void name_counters() {
        for (const LocalState& state : steps_.states) {
            Counter& counter = written_.counters.emplace_back();
            counter.name = names_.unique("n_" + state_name(state));
            for (std::size_t k = 0; k < processes_.own.size(); ++k) {
                const Variable& variable = processes_.variables[processes_.own[k]];
                (variable.per_process ? counter.per_process : counter.own)
                    .emplace_back(variable.name, text_of(variable.domain.values()[state[k]]));
            }
            for (std::size_t h = 0; h < processes_.holders.size(); ++h)
                if (state[processes_.own.size() + h])
                    counter.holders.emplace_back(processes_.variables[processes_.holders[h]].name);
        }
    }

    const std::string& counter(std::size_t state) const { return written_.counters[state].name; }

    void name_steps() {
        for (const LocalTransition& transition : steps_.transitions) {
            const std::string from = state_name(steps_.states[transition.from]);
            std::vector<std::pair<std::size_t, std::size_t>> others;
            std::string base =
                from +
                (transition.from == transition.to ? "_stays" : "_to_" + state_name(steps_.states[transition.to])) +
                (transition.broadcast.empty() ? "" : "_all");
            if (const auto& picked = transition.picked) {
                others.push_back(*picked);
                base += "_picks_" + state_name(steps_.states[picked->first]) +
                        (picked->first == picked->second ? "" : "_to_" + state_name(steps_.states[picked->second]));
            }
            if (!transition.handed) {
                steps_named_.push_back({names_.unique(base), &transition, others});
                continue;
            }
            const HolderMove& handed = *transition.handed;
            const std::size_t bit = processes_.own.size() + handed.holder;
            // The process the variable is taken from loses the bit, after
            // a broadcast has moved it as every other.
            if (!handed.copied_from) {
                for (const std::size_t holder : states_with(bit)) {
                    const std::size_t moved = transition.broadcast.empty() ? holder : transition.broadcast[holder];
                    add_step(base + "_from_" + state_name(steps_.states[holder]), transition, others,
                             {{holder, without(moved, bit)}});
                }
                continue;
            }
            // A copy: the process that holds the variable copied gains this
            // one, which whoever held it loses.
            const std::size_t source = processes_.own.size() + *handed.copied_from;
            const bool movers_held = steps_.states[transition.from][bit] ||
                                     (transition.picked && steps_.states[transition.picked->first][bit]);
            const std::string holder_name(processes_.variables[processes_.holders[handed.holder]].name);
            for (const std::size_t gainer : states_with(source)) {
                const std::string to_gainer = base + "_" + holder_name + "_to_" + state_name(steps_.states[gainer]);
                if (steps_.states[gainer][bit]) {
                    add_step(to_gainer, transition, others, {{gainer, gainer}});
                    continue;
                }
                LocalState gains = steps_.states[gainer];
                gains[bit] = 1;
                const std::pair<std::size_t, std::size_t> gain{gainer, index_.at(gains)};
                if (movers_held) {
                    add_step(to_gainer, transition, others, {gain});
                    continue;
                }
                for (const std::size_t loser : states_with(bit))
                    if (!steps_.states[loser][source])
                        add_step(to_gainer + "_from_" + state_name(steps_.states[loser]), transition, others,
                                 {gain, {loser, without(loser, bit)}});
            }
        }
    }

    std::vector<std::size_t> states_with(std::size_t bit) const {
        std::vector<std::size_t> found;
        for (std::size_t state = 0; state < steps_.states.size(); ++state)
            if (steps_.states[state][bit]) found.push_back(state);
        return found;
    }

    std::size_t without(std::size_t state, std::size_t bit) const {
        LocalState lost = steps_.states[state];
        lost[bit] = 0;
        return index_.at(lost);
    }

    void add_step(const std::string& name, const LocalTransition& transition,
                  std::vector<std::pair<std::size_t, std::size_t>> others,
                  const std::vector<std::pair<std::size_t, std::size_t>>& holders) {
        others.insert(others.end(), holders.begin(), holders.end());
        steps_named_.push_back({names_.unique(name), &transition, std::move(others)});
    }

    void write_variables() {
        text_ += "VAR\n";
        for (std::size_t state = 0; state < steps_.states.size(); ++state)
            text_ += "  " + counter(state) + " : 0.." + std::to_string(bound_) + ";  -- processes with " +
                     state_description(steps_.states[state]) + "\n";
        for (const std::size_t index : processes_.shared) {
            const Variable& variable = processes_.variables[index];
            text_ += "  " + std::string(variable.name) + " : " + type_of(variable.domain) + ";\n";
        }
    }

    std::string state_description(const LocalState& state) const {
        std::vector<std::string> parts;
        for (std::size_t k = 0; k < processes_.own.size(); ++k) {
            const Variable& variable = processes_.variables[processes_.own[k]];
            parts.push_back(std::string(variable.name) + " = " + text_of(variable.domain.values()[state[k]]));
        }
        for (std::size_t h = 0; h < processes_.holders.size(); ++h)
            if (state[processes_.own.size() + h])
                parts.push_back(std::string(processes_.variables[processes_.holders[h]].name) + " naming it");
        return parts.empty() ? "any local state" : joined(parts, ", ");
    }

    static std::string type_of(const Domain& domain) {
        if (domain.values().front().kind == Value::Kind::boolean) return "boolean";
        const bool range = domain.values().front().kind == Value::Kind::integer &&
                           domain.values().back().number - domain.values().front().number + 1 ==
                               static_cast<std::int64_t>(domain.size());
        if (range) return text_of(domain.values().front()) + ".." + text_of(domain.values().back());
        std::vector<std::string> values;
        for (const Value& value : domain.values()) values.push_back(text_of(value));
        return "{" + joined(values, ", ") + "}";
    }

    std::string step_is(const std::vector<std::string>& steps) const {
        if (steps.size() == 1) return step_ + " = " + steps.front();
        return step_ + " in {" + joined(steps, ", ") + "}";
    }

    void write_steps() {
        std::vector<std::string> names;
        for (const Step& step : steps_named_) names.push_back(step.name);
        text_ +=
            "IVAR\n"
            "  -- the local transition one process takes (and, taking a process number, the local\n"
            "  -- state of the process that holds it); a step \"_all\" also moves every other process,\n"
            "  -- a step \"_picks_\" one other process in the local state named\n"
            "  " +
            step_ + " : {" + joined(names, ", ") +
            "};\n"
            "DEFINE\n"
            "  -- a step needs a process in its local state (and each other process it moves), the\n"
            "  -- shared values of its guard, and no other process in a local state that a TRANS\n"
            "  -- guard forbids (= 0; <= 1 for its own)\n"
            "  " +
            enabled_ +
            " :=\n"
            "    case\n";
        for (const Step& step : steps_named_) {
            checkpoint_();
            // The processes the step moves, each in its local state, at least.
            std::vector<std::pair<std::size_t, int>> needed{{step.transition->from, 1}};
            for (const auto& other : step.others) {
                const auto same = std::find_if(needed.begin(), needed.end(),
                                               [&](const auto& need) { return need.first == other.first; });
                if (same == needed.end())
                    needed.emplace_back(other.first, 1);
                else
                    ++same->second;
            }
            std::vector<std::string> conditions;
            for (const auto& [state, count] : needed)
                conditions.push_back(counter(state) + " >= " + std::to_string(count));
            // A guard over the other processes: none of them in a local state
            // it forbids, but the acting and the picked process, which the
            // guard lets step.
            const std::vector<bool>& forbidden = step.transition->forbidden;
            const auto& picked = step.transition->picked;
            for (std::size_t state = 0; state < forbidden.size(); ++state)
                if (forbidden[state]) {
                    const int stepping = (state == step.transition->from) + (picked && picked->first == state);
                    conditions.push_back(counter(state) +
                                         (stepping == 0 ? " = 0" : " <= " + std::to_string(stepping)));
                }
            if (const std::string guard = shared_.formula(step.transition->guard); guard != "TRUE")
                conditions.push_back(guard.find(" | ") == std::string::npos ? guard : "(" + guard + ")");
            if (!step.transition->broadcast.empty()) text_ += "      -- " + transfer(*step.transition) + "\n";
            text_ += "      " + step_ + " = " + step.name + " : " + joined(conditions, " & ") + ";\n";
        }
        text_ += "    esac;\n";
    }

    // What a broadcast does to the other processes, for the reader.
    std::string transfer(const LocalTransition& transition) const {
        std::vector<std::string> moves;
        for (std::size_t other = 0; other < transition.broadcast.size(); ++other)
            if (transition.broadcast[other] != other)
                moves.push_back(state_name(steps_.states[other]) + " -> " +
                                state_name(steps_.states[transition.broadcast[other]]));
        return "and every other process: " + joined(moves, ", ");
    }

    // Every process starts in a local state its initial values allow; at
    // least one process, and exactly one holds each holder variable.
    void write_initial() {
        std::vector<std::string> initial, others;
        for (std::size_t state = 0; state < steps_.states.size(); ++state)
            (steps_.initial[state] ? initial : others).push_back(counter(state));
        std::vector<std::string> conditions;
        if (processes_.holders.empty()) conditions.push_back(joined(initial, " + ") + " >= 1");
        for (const std::string& other : others) conditions.push_back(other + " = 0");
        for (std::size_t h = 0; h < processes_.holders.size(); ++h) {
            std::vector<std::string> holding;
            for (std::size_t state = 0; state < steps_.states.size(); ++state)
                if (steps_.initial[state] && steps_.states[state][processes_.own.size() + h])
                    holding.push_back(counter(state));
            conditions.push_back(joined(holding, " + ") + " = 1");
        }
        ValuationSet starts(shared_.size(), true);
        for (std::size_t valuation = 0; valuation < shared_.size(); ++valuation) {
            const std::vector<std::uint32_t> values = shared_.valuation(valuation);
            for (std::size_t k = 0; k < values.size(); ++k) {
                const Variable& variable = processes_.variables[processes_.shared[k]];
                if (variable.initial &&
                    !std::binary_search(variable.initial->begin(), variable.initial->end(),
                                        variable.domain.values()[values[k]]))
                    starts[valuation] = false;
            }
        }
        if (const std::string shared = shared_.formula(starts); shared != "TRUE")
            conditions.push_back(parenthesized(shared));
        text_ += "INIT\n  " + joined(conditions, "\n  & ") + "\nTRANS\n  " + enabled_ + "\n";
    }

    // How each step changes the number of processes in a local state.
    static int change(const Step& step, std::size_t state) {
        const LocalTransition& transition = *step.transition;
        int delta = (transition.to == state) - (transition.from == state);
        for (const auto& [from, to] : step.others) delta += (to == state) - (from == state);
        return delta;
    }

    // The processes in a local state other than the acting one, which is in
    // it: exact below m; at m, m - 1 or m. Defined for the states a
    // broadcast step leaves.
    void write_others() {
        std::set<std::size_t> leaving;
        for (const Step& step : steps_named_)
            if (!step.transition->broadcast.empty()) leaving.insert(step.transition->from);
        if (leaving.empty()) return;
        const std::string m = std::to_string(bound_);
        text_ += "DEFINE\n  -- the processes in a local state beside the acting one: at " + m + ", " +
                 std::to_string(bound_ - 1) + " (_low) or " + m + " (_high)\n";
        for (const std::size_t state : leaving) {
            const std::string& n = counter(state);
            others_[state] = {names_.unique("others_" + n + "_low"), names_.unique("others_" + n + "_high")};
            text_ += "  " + others(state, false) + " := max(" + n + " - 1, 0);\n";
            text_ += "  " + others(state, true) + " := (" + n + " = " + m + " ? " + m + " : max(" + n +
                     " - 1, 0));\n";
        }
    }

    std::string others(std::size_t state, bool high) const {
        const auto& [low, high_name] = others_.at(state);
        return high ? high_name : low;
    }

    // After a broadcast step, a local state holds the other processes of
    // every local state the broadcast takes to it, and the acting process
    // if it arrives there: a sum up to m. A process a holder variable is
    // taken from is the only one in its local state, which names it, and
    // goes where the step takes it.
    std::string after_broadcast(const Step& step, std::size_t state) const {
        const LocalTransition& transition = *step.transition;
        const auto moved_apart = [&](std::size_t other) {
            return std::any_of(step.others.begin(), step.others.end(),
                               [&](const auto& move) { return move.first == other; });
        };
        std::vector<std::string> terms;
        bool leaves = false;
        for (std::size_t other = 0; other < transition.broadcast.size(); ++other)
            if (transition.broadcast[other] == state && !moved_apart(other)) {
                if (other == transition.from)
                    leaves = true;
                else
                    terms.push_back(counter(other));
            }
        for (const auto& move : step.others)
            if (move.second == state) terms.emplace_back("1");
        if (transition.to == state) terms.emplace_back("1");
        const std::string m = std::to_string(bound_);
        const auto capped = [&](std::vector<std::string> sum) {
            if (sum.empty()) return std::string("0");
            return sum.size() == 1 ? sum.front() : "min(" + m + ", " + joined(sum, " + ") + ")";
        };
        if (!leaves) return capped(terms);
        std::vector<std::string> low = terms, high = terms;
        low.push_back(others(transition.from, false));
        high.push_back(others(transition.from, true));
        return "{" + capped(low) + ", " + capped(high) + "}";
    }

    void write_counter_updates() {
        const std::string m = std::to_string(bound_), less = std::to_string(bound_ - 1);
        write_others();
        text_ +=
            "ASSIGN\n"
            "  -- A process leaving a local state: from " +
            m + " (\"" + m + " or more\"), " + less + " or " + m +
            " remain;\n"
            "  -- max( , 0) only keeps NuSMV's range check quiet where the step is not enabled.\n"
            "  -- A broadcast step (\"_all\") sums, up to " + m + ", the processes it takes to each state.\n";
        for (std::size_t state = 0; state < steps_.states.size(); ++state) {
            checkpoint_();
            std::map<int, std::vector<std::string>> by_change;  // the steps that move processes out or in
            std::map<std::string, std::vector<std::string>> broadcast;  // by count after, the steps
            for (const Step& step : steps_named_) {
                if (!step.transition->broadcast.empty()) {
                    broadcast[after_broadcast(step, state)].push_back(step.name);
                    continue;
                }
                if (const int delta = change(step, state); delta != 0) by_change[delta].push_back(step.name);
            }
            const std::string& n = counter(state);
            broadcast.erase(n);
            if (by_change.empty() && broadcast.empty()) {
                text_ += "  next(" + n + ") := " + n + ";\n";
                continue;
            }
            text_ += "  next(" + n + ") :=\n    case\n";
            for (const auto& [after, steps] : broadcast) text_ += "      " + step_is(steps) + " : " + after + ";\n";
            for (const auto& [delta, steps] : by_change)
                text_ += "      " + step_is(steps) + " : " + changed(n, delta) + ";\n";
            text_ += "      TRUE : " + n + ";\n    esac;\n";
        }
    }

    // A counter after `delta` processes leave (below 0) or arrive: from m,
    // any count from m - |delta| up to m may remain.
    std::string changed(const std::string& n, int delta) const {
        const std::string m = std::to_string(bound_);
        if (delta == 1) return "(" + n + " = " + m + " ? " + m + " : " + n + " + 1)";
        if (delta > 0) return "min(" + n + " + " + std::to_string(delta) + ", " + m + ")";
        std::vector<std::string> remain;
        for (int count = std::max(bound_ + delta, 0); count <= bound_; ++count)
            remain.push_back(std::to_string(count));
        return "(" + n + " = " + m + " ? {" + joined(remain, ", ") + "} : max(" + n + " - " +
               std::to_string(-delta) + ", 0))";
    }

    void write_shared_updates() {
        for (std::size_t k = 0; k < processes_.shared.size(); ++k) {
            const Variable& variable = processes_.variables[processes_.shared[k]];
            const std::string name(variable.name);
            std::map<std::uint32_t, std::vector<std::string>> by_value;
            for (const Step& step : steps_named_)
                if (const auto& value = step.transition->update[k]) by_value[*value].push_back(step.name);
            if (by_value.empty()) {
                text_ += "  next(" + name + ") := " + name + ";\n";
                continue;
            }
            text_ += "  next(" + name + ") :=\n    case\n";
            for (const auto& [value, steps] : by_value)
                text_ += "      " + step_is(steps) + " : " + text_of(variable.domain.values()[value]) + ";\n";
            text_ += "      TRUE : " + name + ";\n    esac;\n";
        }
    }

    std::string sum(const std::vector<std::size_t>& states) const {
        std::vector<std::string> counters;
        for (const std::size_t state : states) counters.push_back(counter(state));
        return counters.size() == 1 ? counters.front() : "(" + joined(counters, " + ") + ")";
    }

    std::string clause_text(const Clause& clause) const {
        const std::string good = shared_.formula(clause.good);
        if (clause.covered.empty()) return good;
        std::vector<std::string> present;
        for (const Covered& covered : clause.covered)
            present.push_back(sum(covered.states) + " >= " + std::to_string(covered.count));
        if (good != "FALSE") return joined(present, " & ") + " -> " + parenthesized(good);
        if (clause.covered.size() == 1)
            return sum(clause.covered.front().states) + " < " + std::to_string(clause.covered.front().count);
        return "!(" + joined(present, " & ") + ")";
    }

    void write_invariants() {
        for (const DecidedProperty& property : decided_) {
            const smv::Property& source = *property.property;
            const smv::Token& first = model_.tokens[source.first_token];
            const smv::Token& last = model_.tokens[source.last_token];
            const std::string name = names_.unique("property_" + std::to_string(source.line));
            std::vector<std::string> clauses;
            for (const Clause& clause : property.clauses) clauses.push_back(clause_text(clause));
            std::string invariant = "TRUE";
            if (clauses.size() == 1) invariant = clauses.front();
            if (clauses.size() > 1) {
                for (std::string& clause : clauses) clause = "(" + clause + ")";
                invariant = joined(clauses, "\n    & ");
            }
            text_ += "-- line " + std::to_string(source.line) + ": " +
                     smv::excerpt(model_.text.substr(first.offset, last.end_offset() - first.offset), 120) +
                     "\n" + "INVARSPEC NAME " + name + " :=\n    " + invariant + ";\n";
            written_.invariants.push_back(name);
        }
        written_.text = std::move(text_);
        written_.enabled = enabled_;
    }

    const ProcessClass& processes_;
    const smv::Model& model_;
    const Valuations& shared_;
    const LocalSteps& steps_;
    int bound_;
    const std::vector<DecidedProperty>& decided_;
    const Checkpoint& checkpoint_;
    Names names_;
    std::map<LocalState, std::size_t> index_;
    std::vector<Step> steps_named_;
    std::string step_, enabled_;
    std::map<std::size_t, std::pair<std::string, std::string>> others_;  // by local state: low and high
    std::string text_;
    WrittenModel written_;
};

}  // namespace

WrittenModel write_counted_model(const ProcessClass& processes, const Valuations& shared,
                                 const LocalSteps& steps, int bound,
                                 const std::vector<DecidedProperty>& decided, const Checkpoint& checkpoint) {
    return Writer(processes, shared, steps, bound, decided, checkpoint).write();
}

}  // namespace ruvello::counted
