// Every translation case: cases/NAME.in against NAME.ARGS.smv and,
// where it warns, NAME.ARGS.err (regenerate.sh explains the names),
// and each example against golden/. Each model is translated in every
// way the program has: by the line loop with reads and buffers of one byte
// and of odd sizes, so that lines cross every buffer boundary and the step
// back is taken at every position; and cut before its MODULE headers into
// pieces translated on threads, which must give the same output, so that
// state surviving a MODULE header shows.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <numeric>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "read_file.h"
#include "translate/pieces.h"
#include "translate/property.h"
#include "translate/translator.h"
#include "translation_properties.h"

namespace {

namespace fs = std::filesystem;
const fs::path source_dir = RUVELLO_SOURCE_DIR;

struct Translation {
    std::string output, warnings;
    bool operator==(const Translation&) const = default;
};

std::ostream& operator<<(std::ostream& out, const Translation& t) {
    return out << t.output.substr(0, 2000) << "\n(warnings)\n" << t.warnings;
}

// Warnings exactly as the command writes them, kept in memory.
class WarningText {
public:
    explicit WarningText(std::string_view source_name)
        : file_(open_memstream(&text_, &size_)), warnings_(file_, source_name) {}
    ~WarningText() {
        std::fclose(file_);
        std::free(text_);
    }
    ruvello::Warnings& warnings() { return warnings_; }
    std::string text() {
        std::fflush(file_);
        return std::string(text_, size_);
    }

private:
    char* text_ = nullptr;
    std::size_t size_ = 0;
    std::FILE* file_;
    ruvello::WarningStream warnings_;
};

struct Sizes {
    std::size_t read, line_buffer, output_buffer;
};

Translation by_line_loop(const std::string& model, const ruvello::TranslationSettings& settings,
                         const Sizes& sizes) {
    ruvello::StringSource source(model, sizes.read);
    ruvello::StringSink sink;
    ruvello::LineReader input(source, sizes.line_buffer);
    ruvello::OutputBuffer output(sink, sizes.output_buffer);
    WarningText warnings(settings.source_name);
    output.put(ruvello::banner(settings.source_name));
    ruvello::Translator(input, output, warnings.warnings(), settings).translate_lines();
    output.flush();
    return {sink.text(), warnings.text()};
}

Translation in_pieces(const std::string& model, const ruvello::TranslationSettings& settings,
                      const ruvello::PiecePlan& plan, std::size_t read) {
    ruvello::StringSource source(model, read);
    ruvello::StringSink sink;
    WarningText warnings(settings.source_name);
    ruvello::translate_in_pieces(source, sink, warnings.warnings(), settings, plan);
    return {sink.text(), warnings.text()};
}

// The settings a file name such as "NAME.p3.smv" stands for.
ruvello::TranslationSettings settings_named(const std::string& stem, std::string_view model) {
    ruvello::TranslationSettings settings{0, model};
    std::istringstream words(stem.substr(stem.find('.') + 1));
    for (std::string word; std::getline(words, word, '.');) {
        if (word.starts_with('p')) settings.process_count = std::stoi(word.substr(1));
        else if (word == "all-instances") settings.all_instances = true;
        else if (word == "line-markers") settings.line_markers = true;
        else ADD_FAILURE() << "unknown option word " << word;
    }
    return settings;
}

// Checks every expected result in `expected_dir` against the models of
// `model_dir`; returns how many there were.
int check_every_case(const fs::path& model_dir, const fs::path& expected_dir) {
    int count = 0;
    for (const auto& entry : fs::directory_iterator(expected_dir)) {
        if (entry.path().extension() != ".smv") continue;
        const std::string stem = entry.path().stem().string();
        const std::string name = stem.substr(0, stem.find('.'));
        const std::string model_name = model_dir.filename().string() + "/" + name + ".in";
        SCOPED_TRACE(entry.path().filename().string());
        const std::string model = read_file(model_dir / (name + ".in"));
        const ruvello::TranslationSettings settings = settings_named(stem, model_name);
        const Translation expected{read_file(entry.path()),
                                   read_file(expected_dir / (stem + ".err"))};
        EXPECT_EQ(by_line_loop(model, settings, {SIZE_MAX, 1 << 16, 1 << 16}), expected);
        EXPECT_EQ(by_line_loop(model, settings, {1, 1, 1}), expected);
        EXPECT_EQ(by_line_loop(model, settings, {7, 5, 3}), expected);
        // Lines longer than 64 bytes that are only copied go through in pieces.
        EXPECT_EQ(by_line_loop(model, settings, {5, 64, 7}), expected);
        ++count;
        // Line markers count the lines of the whole output: never in pieces.
        if (settings.line_markers) continue;
        for (const auto& [plan, read] : {std::pair{ruvello::PiecePlan{1, SIZE_MAX, 2}, 5},
                                         {{40, 64, 2}, 4096}, {{1, SIZE_MAX, 0}, 4096}})
            EXPECT_EQ(in_pieces(model, settings, plan, read), expected)
                << "pieces of " << plan.piece_size << " to " << plan.piece_limit << " bytes on "
                << plan.threads << " threads, read " << read << " at a time";
    }
    return count;
}

TEST(Translation, GivesEveryCaseItsExpectedResult) {
    EXPECT_GE(check_every_case(source_dir / "tests/translate/cases", source_dir / "tests/translate/cases"), 10);
}

TEST(Translation, GivesEveryExampleItsExpectedResultWithoutWarnings) {
    EXPECT_GE(check_every_case(source_dir / "examples", source_dir / "tests/translate/golden"), 9);
}

// Takes `room` bytes, then fails like a full disk.
class FullSink : public ruvello::ByteSink {
public:
    explicit FullSink(std::size_t room) : room_(room) {}
    void write(std::string_view bytes) override {
        if (bytes.size() > room_) throw ruvello::WriteError("full");
        room_ -= bytes.size();
    }

private:
    std::size_t room_;
};

TEST(Translation, InPiecesReportsAWriteThatFails) {
    const std::string model = read_file(source_dir / "tests/translate/cases/statements.in");
    for (std::size_t room : {0, 100, 1000}) {
        ruvello::StringSource source(model);
        FullSink sink(room);
        WarningText warnings("m.in");
        EXPECT_THROW(ruvello::translate_in_pieces(source, sink, warnings.warnings(), {2, "m.in"},
                                                  {1, SIZE_MAX, 2}),
                     ruvello::WriteError)
            << "after " << room << " bytes";
    }
}

// The inputs kept from fuzzing must keep every property it checks.
TEST(Translation, KeepsThePropertiesOfEveryKeptFuzzInput) {
    for (const char* folder : {"fuzz/regressions", "fuzz/seeds"}) {
        for (const auto& entry : fs::directory_iterator(source_dir / folder)) {
            const std::string data = read_file(entry.path());
            EXPECT_EQ(fuzzing::check_translation_properties(
                          reinterpret_cast<const std::uint8_t*>(data.data()), data.size())
                          .what,
                      "")
                << entry.path();
        }
    }
}

// The numbers written for processes, FORALL instances and line markers, at
// every width the digits are written in: one, and each pair after.
TEST(ProcessNumber, WritesEveryWidthOfNumber) {
    const struct {
        std::uint64_t number;
        const char* digits;
    } cases[] = {
        {0, "0"},           {7, "7"},           {10, "10"},
        {99, "99"},         {100, "100"},       {101, "101"},
        {1009, "1009"},     {12345, "12345"},   {2147483647, "2147483647"},
        {UINT64_MAX, "18446744073709551615"},
    };
    for (const auto& c : cases) {
        const ruvello::ProcessNumber number(c.number);
        EXPECT_EQ(number.digits(), c.digits);
        EXPECT_EQ(number.bracketed(), "[" + std::string(c.digits) + "]");
    }
}

// The tuples a FORALL's instances are written for: every ordered tuple of
// distinct processes, in lexicographic order, each once, which are the
// first `size` processes of the permutations of 1..N in the order
// std::next_permutation lists them. A tuple of more than 8 keeps a table of
// the processes it holds.
TEST(ProcessTuples, ListEveryTupleOfDistinctProcessesInOrder) {
    const std::pair<std::size_t, int> shapes[] = {{1, 1}, {1, 3}, {2, 2}, {2, 4}, {3, 5},
                                                  {7, 8}, {8, 8}, {9, 9}};
    // One for every shape, each started afresh, the first after a long tuple
    // left part way.
    ruvello::ProcessTuples tuples;
    tuples.reset(9, 10);
    tuples.next();
    for (const auto& [size, processes] : shapes) {
        std::vector<int> permutation(static_cast<std::size_t>(processes));
        std::iota(permutation.begin(), permutation.end(), 1);
        tuples.reset(size, processes);
        std::vector<int> listed;
        bool ended = false;
        do {
            const auto start = permutation.begin(), end = start + static_cast<std::ptrdiff_t>(size);
            if (!listed.empty() && std::equal(start, end, listed.begin())) continue;
            ASSERT_FALSE(ended) << size << " of " << processes << ": the tuples end early";
            ASSERT_TRUE(std::equal(start, end, tuples.tuple().begin(), tuples.tuple().end()))
                << size << " of " << processes << ": tuple " << listed.size();
            listed.assign(start, end);
            ended = !tuples.next();
        } while (std::next_permutation(permutation.begin(), permutation.end()));
        EXPECT_TRUE(ended) << size << " of " << processes << ": the tuples go on";
    }
}

// The parameters of a FORALL line are found by name and bracketed alike
// when the line has 8 of them, which are looked through, and 9, which are
// looked up in a table; a name that only starts like one is none of them.
TEST(ParameterNames, FindEachParameterAndNothingElseThroughEightAndBeyond) {
    for (const auto& [list, count] : {std::pair{"a,b,c,d,e,f,g,h", 8}, {"a, b,c,d,e,f,g,h, i ", 9}}) {
        ruvello::ParameterNames names;
        names.assign(list, count);
        for (std::size_t k = 0; k < names.size(); ++k) {
            const std::string name(1, static_cast<char>('a' + k));
            EXPECT_EQ(names.named(name), k) << count;
            EXPECT_EQ(names.bracketed_at("[" + name + "] & x"), k) << count;
        }
        EXPECT_EQ(names.named("ab"), std::nullopt) << count;
        EXPECT_EQ(names.bracketed_at("[ab]"), std::nullopt) << count;
    }
}

}  // namespace
