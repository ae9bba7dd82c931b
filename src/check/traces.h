// The counterexamples of a check, each in a file of its own in --traces,
// named by N, line, the property's place on its line, tuple and instance.
#pragma once

#include <map>
#include <set>
#include <string>

#include "check/checker_run.h"
#include "check/results.h"
#include "check/translations.h"
#include "check/workspace.h"

namespace ruvello::check {

class TraceWriter {
public:
    // `folder` is --traces; `stem` names the files after the model.
    TraceWriter(const Model& model, std::string folder, std::string stem)
        : model_(model), folder_(std::move(folder)), stem_(std::move(stem)) {}

    // Writes the counterexamples that `run` found, copied from the output
    // of its traces stage, and returns their files by the listing's index.
    // A trace that did not come, or cannot be written, is left out with a
    // note in `results`; the verdicts stand.
    std::map<int, std::string> write(const CheckerRun& run, const Translation& translation, Results& results);

private:
    std::string file_for(const CheckerRun& run, const NamedProperty& property, const std::string& path);

    const Model& model_;
    std::string folder_;
    std::string stem_;
    std::set<std::string> files_;  // written so far
};

// "1-2" for processes 1 and 2 with separator '-'.
std::string tuple_text(const std::vector<int>& processes, char separator);

}  // namespace ruvello::check
