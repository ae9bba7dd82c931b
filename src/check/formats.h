// The results of a check as tools read them: JSON and JUnit XML.
#pragma once

#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "check/results.h"

namespace ruvello::check {

// One document: {"model": ..., "checker": {...}, "every_tuple": ...,
// "runs": [...], "properties": [...], "verdicts": [...]}.
std::string to_json(const Results& results);

// Reads a document of to_json, every field checked against what to_json
// writes. Throws std::runtime_error naming the first field that is wrong.
Results from_json(std::string_view text);

// The results of several checks of one model as one, each document given
// with its name. Throws std::runtime_error, naming the documents, when
// they are of different models or versions of it, or disagree about an N.
Results merged(const std::vector<std::pair<std::string, Results>>& documents);

// JUnit XML: a testsuite per N, a testcase per verdict.
std::string to_junit(const Results& results);

}  // namespace ruvello::check
