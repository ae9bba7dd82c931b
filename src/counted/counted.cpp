#include "counted/counted.h"

#include <algorithm>

#include "counted/local_steps.h"
#include "counted/properties.h"
#include "counted/recognition.h"
#include "counted/refusal.h"
#include "counted/valuations.h"
#include "counted/writer.h"
#include "smv/parser.h"

namespace ruvello::counted {

CountedModel count_model(std::string_view model_text, int bound, const Checkpoint& checkpoint) {
    const Checkpoint check = checkpoint ? checkpoint : [] {};
    const smv::Model model = smv::parse_model(model_text);
    check();
    std::vector<PropertyReading> readings = read_properties(model);
    CountedModel counted;
    int widest = 0;
    for (const PropertyReading& reading : readings) widest = std::max(widest, reading.goal.processes);
    counted.bound = bound > 0 ? bound : std::max(2, widest);
    try {
        const ProcessClass processes = recognise(model);
        counted.instances = processes.instances->name;
        const Valuations shared(processes, processes.shared, "shared variables");
        const LocalSteps steps = enumerate_local_steps(processes, shared, check);
        std::vector<DecidedProperty> decided;
        std::vector<PropertyGoal*> decided_goals;
        for (PropertyReading& reading : readings) {
            PropertyGoal& goal = reading.goal;
            if (goal.reason) continue;
            // A counter at m says "m or more": k processes in one local state
            // can be told only up to m.
            if (goal.processes > counted.bound) {
                goal.reason = "the property quantifies over " + std::to_string(goal.processes) +
                              " processes, more than the counters' bound " + std::to_string(counted.bound);
                continue;
            }
            try {
                decided.push_back(
                    {reading.property, invariant_clauses(processes, shared, steps, reading, check)});
                decided_goals.push_back(&goal);
            } catch (const Refusal& refusal) {
                goal.reason = refusal.reason;
            }
        }
        WrittenModel written = write_counted_model(processes, shared, steps, counted.bound, decided, check);
        for (std::size_t k = 0; k < decided_goals.size(); ++k)
            decided_goals[k]->invariant = written.invariants[k];
        if (!decided.empty()) counted.text = std::move(written.text);
        counted.counters = std::move(written.counters);
        counted.enabled = std::move(written.enabled);
    } catch (const Refusal& refusal) {
        counted.reason = refusal.reason;
        for (PropertyReading& reading : readings) {
            reading.goal.reason = refusal.reason;
            reading.goal.invariant.reset();
        }
    }
    for (PropertyReading& reading : readings) counted.goals.push_back(std::move(reading.goal));
    return counted;
}

}  // namespace ruvello::counted
