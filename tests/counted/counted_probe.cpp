// counted_probe MODEL [BOUND]: writes the counted model of MODEL to
// standard output, and to standard error one JSON line about the model
// (bound, reason, the processes' name, the counters) and one per property
// goal, in the model's order. For the tests that run NuSMV on it.
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>

#include <nlohmann/json.hpp>

#include "counted/counted.h"

int main(int argc, char** argv) {
    if (argc < 2 || argc > 3) {
        std::cerr << "usage: counted_probe MODEL [BOUND]\n";
        return 2;
    }
    std::ifstream input(argv[1], std::ios::binary);
    if (!input) {
        std::cerr << "counted_probe: cannot read " << argv[1] << "\n";
        return 2;
    }
    std::ostringstream text;
    text << input.rdbuf();
    const int bound = argc == 3 ? std::stoi(argv[2]) : 0;
    const ruvello::counted::CountedModel counted = ruvello::counted::count_model(text.str(), bound);
    std::cout << counted.text;
    nlohmann::json model{
        {"bound", counted.bound}, {"instances", counted.instances}, {"counters", nlohmann::json::array()}};
    if (counted.reason) model["reason"] = *counted.reason;
    for (const ruvello::counted::Counter& counter : counted.counters) {
        nlohmann::json values = nlohmann::json::object();
        for (const auto& [name, value] : counter.per_process) values[name] = value;
        nlohmann::json own = nlohmann::json::object();
        for (const auto& [name, value] : counter.own) own[name] = value;
        model["counters"].push_back(
            {{"name", counter.name}, {"per_process", values}, {"own", own}, {"holders", counter.holders}});
    }
    std::cerr << model.dump() << "\n";
    for (const ruvello::counted::PropertyGoal& goal : counted.goals) {
        nlohmann::json line{{"line", goal.line}, {"processes", goal.processes}};
        if (goal.invariant) line["invariant"] = *goal.invariant;
        if (goal.reason) line["reason"] = *goal.reason;
        std::cerr << line.dump() << "\n";
    }
    return 0;
}
