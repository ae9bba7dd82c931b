// Runs the in-memory translation for tests, with several buffer sizes so that
// lines cross every kind of buffer boundary.
#pragma once

#include <gtest/gtest.h>

#include <sstream>
#include <string>

#include "streams.h"
#include "translator.h"

namespace testing_support {

inline constexpr std::string_view banner = "--Source file: m.in , by ruvello--\n";

struct Translation {
    std::string output;  // without the banner
    std::string warnings;
};

inline Translation translate_with(std::string_view model, int process_count, std::size_t chunk,
                                  std::size_t input_buffer, std::size_t output_buffer) {
    ruvello::StringSource source(model, chunk);
    ruvello::StringSink sink;
    ruvello::LineReader input(source, input_buffer);
    ruvello::OutputBuffer output(sink, output_buffer);
    std::ostringstream warnings;
    ruvello::Translator(input, output, warnings, {process_count, "m.in"}).run();
    output.flush();
    std::string text = sink.text();
    EXPECT_TRUE(text.starts_with(banner)) << text;
    text.erase(0, banner.size());
    return {text, warnings.str()};
}

inline Translation translate(std::string_view model, int process_count) {
    const Translation whole = translate_with(model, process_count, SIZE_MAX, 1 << 20, 1 << 20);
    const Translation byte_by_byte = translate_with(model, process_count, 1, 1, 1);
    const Translation odd_sizes = translate_with(model, process_count, 7, 5, 3);
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
