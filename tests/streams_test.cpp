#include "streams.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using ruvello::LineReader;
using ruvello::OutputBuffer;
using ruvello::StringSink;
using ruvello::StringSource;

std::vector<std::string> read_all(std::string_view text, std::size_t chunk, std::size_t buffer) {
    StringSource source(text, chunk);
    LineReader reader(source, buffer);
    std::vector<std::string> lines;
    std::string_view line;
    while (reader.next_line(line)) lines.emplace_back(line);
    return lines;
}

TEST(LineReader, SplitsAfterEachNewlineWhateverTheBufferSizes) {
    const std::string long_line(5000, 'x');
    struct Case {
        std::string text;
        std::vector<std::string> lines;
    } cases[] = {
        {"", {}},
        {"\n", {"\n"}},
        {"a\nb\n", {"a\n", "b\n"}},
        {"a\nlast", {"a\n", "last"}},
        {"a\r\n\n", {"a\r\n", "\n"}},
        {std::string("nul\0byte\n", 9), {std::string("nul\0byte\n", 9)}},
        {long_line + "\n" + long_line, {long_line + "\n", long_line}},
    };
    for (const Case& c : cases)
        for (std::size_t chunk : {std::size_t{1}, std::size_t{3}, SIZE_MAX})
            for (std::size_t buffer : {std::size_t{1}, std::size_t{4}, std::size_t{1} << 20})
                EXPECT_EQ(read_all(c.text, chunk, buffer), c.lines)
                    << "chunk " << chunk << " buffer " << buffer;
}

TEST(LineReader, StepsBackOneLineAndKeepsCountingLines) {
    StringSource source("one\ntwo\nthree", 2);
    LineReader reader(source, 2);
    std::string_view line;
    ASSERT_TRUE(reader.next_line(line));
    ASSERT_TRUE(reader.next_line(line));
    EXPECT_EQ(line, "two\n");
    EXPECT_EQ(reader.line_number(), 2u);
    reader.step_back();
    EXPECT_EQ(reader.line_number(), 1u);
    ASSERT_TRUE(reader.next_line(line));
    EXPECT_EQ(line, "two\n");
    EXPECT_EQ(reader.line_number(), 2u);
    ASSERT_TRUE(reader.next_line(line));
    EXPECT_EQ(line, "three");
    reader.step_back();
    ASSERT_TRUE(reader.next_line(line));
    EXPECT_EQ(line, "three");
    EXPECT_FALSE(reader.next_line(line));
    EXPECT_EQ(line, "three");  // left alone at the end
}

TEST(OutputBuffer, KeepsOrderAcrossFlushesAndOversizedPieces) {
    for (std::size_t capacity : {std::size_t{1}, std::size_t{4}, std::size_t{64}}) {
        StringSink sink;
        OutputBuffer output(sink, capacity);
        output.put("ab");
        output.put("");
        output.put("cdefgh");
        output.put("i");
        output.flush();
        EXPECT_EQ(sink.text(), "abcdefghi") << "capacity " << capacity;
    }
}

}  // namespace
