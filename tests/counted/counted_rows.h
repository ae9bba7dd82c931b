// What the tests of the counted model share: a model edited from a base,
// and a test's name from what its row says.
#pragma once

#include <gtest/gtest.h>

#include <cctype>
#include <string>
#include <utility>
#include <vector>

namespace {

// `text` with each `from` replaced, once, by its `to`.
std::string edited(std::string text, const std::vector<std::pair<std::string, std::string>>& edits) {
    for (const auto& [from, to] : edits) {
        const std::size_t at = text.find(from);
        if (at == std::string::npos)
            ADD_FAILURE() << "no '" << from << "' to edit";
        else
            text.replace(at, from.size(), to);
    }
    return text;
}

// A test's name from what its row says: "a literal process number" gives
// ALiteralProcessNumber.
template <class Row>
std::string name_of(const testing::TestParamInfo<Row>& info) {
    std::string name;
    bool capital = true;
    for (const char c : std::string(info.param.construct)) {
        if (!std::isalnum(static_cast<unsigned char>(c))) {
            capital = true;
            continue;
        }
        name += capital ? static_cast<char>(std::toupper(static_cast<unsigned char>(c))) : c;
        capital = false;
    }
    return name;
}

}  // namespace
