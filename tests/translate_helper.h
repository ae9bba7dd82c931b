// Runs the in-memory translation for tests, with several buffer sizes so that
// lines cross every kind of buffer boundary.
#pragma once

#include <gtest/gtest.h>

#include <sstream>
#include <string>

#include "translator.h"

namespace testing_support {

inline constexpr std::string_view banner = "--Source file: m.in , by ruvello--\n";

struct Translation {
    std::string output;  // without the banner
    std::string warnings;
};

inline Translation translate_with(std::string_view model, int process_count,
                                  const ruvello::BufferSizes& sizes) {
    std::ostringstream warnings;
    std::string text = ruvello::translate_text(model, {process_count, "m.in"}, warnings, sizes);
    EXPECT_TRUE(text.starts_with(banner)) << text;
    text.erase(0, banner.size());
    return {text, warnings.str()};
}

inline Translation translate(std::string_view model, int process_count) {
    const Translation whole = translate_with(model, process_count, {});
    const Translation byte_by_byte = translate_with(model, process_count, {1, 1, 1});
    const Translation odd_sizes = translate_with(model, process_count, {7, 5, 3});
    EXPECT_EQ(byte_by_byte.output, whole.output);
    EXPECT_EQ(byte_by_byte.warnings, whole.warnings);
    EXPECT_EQ(odd_sizes.output, whole.output);
    return whole;
}

struct Case {
    const char* name;
    std::string model;
    int process_count;
    std::string expected;
};

inline void expect_translations(std::initializer_list<Case> cases) {
    for (const Case& c : cases) {
        const Translation result = translate(c.model, c.process_count);
        EXPECT_EQ(result.output, c.expected) << c.name;
        EXPECT_EQ(result.warnings, "") << c.name;
    }
}

}  // namespace testing_support
