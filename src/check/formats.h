// The results of a check as tools read them: JSON and JUnit XML.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "results.h"

namespace ruvello::check {

// One document: {"model": ..., "checker": {...}, "every_tuple": ...,
// "runs": [...], "properties": [...], "verdicts": [...]}.
std::string to_json(const Results& results);

// Reads a document of to_json. Throws std::runtime_error saying what is wrong.
Results from_json(std::string_view text);

// The results of several checks of one model as one: each N as the last
// document that has it says. Throws std::runtime_error when the documents
// are of different models.
Results merged(const std::vector<Results>& documents);

// JUnit XML: a testsuite per N, a testcase per verdict.
std::string to_junit(const Results& results);

}  // namespace ruvello::check
