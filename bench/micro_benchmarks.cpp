// Micro-benchmarks of the substitution primitive and of the line loop on
// text in memory.
#include <benchmark/benchmark.h>

#include <cstring>
#include <sstream>
#include <string>

#include "model_generator.h"
#include "platform/streams.h"
#include "textops/textops.h"
#include "translate/translator.h"

namespace {

class CountingSink : public ruvello::ByteSink {
public:
    void write(std::string_view bytes) override { written += bytes.size(); }
    std::size_t written = 0;
};

// Translates `model` in memory for each iteration, counting the output.
void translate_each_iteration(benchmark::State& state, const std::string& model,
                              int process_count) {
    ruvello::WarningStream warnings(stderr, "bench.in");
    const ruvello::TranslationSettings settings{process_count, "bench.in"};
    std::size_t written = 0;
    for (auto _ : state) {
        ruvello::StringSource source(model);
        CountingSink sink;
        ruvello::LineReader input(source);
        ruvello::OutputBuffer output(sink);
        ruvello::Translator(input, output, warnings, settings).translate_lines();
        output.flush();
        written = sink.written;
    }
    state.SetBytesProcessed(state.iterations() * model.size());
    state.counters["output_MB"] = static_cast<double>(written) / 1e6;
}

void replace_short_line(benchmark::State& state) {
    const char line[] = "  next(state_12[Proc]) := state_12[Proc] & request_12[Proc];\n";
    char buffer[2048];
    for (auto _ : state) {
        std::memcpy(buffer, line, sizeof line);
        benchmark::DoNotOptimize(textops::replace(buffer, sizeof buffer, buffer, "Proc", "12"));
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(state.iterations() * (sizeof line - 1));
}
BENCHMARK(replace_short_line);

// A 10 MB statement with a million occurrences of Proc, rewritten in place
// into the range, which makes it longer.
void replace_long_statement(benchmark::State& state) {
    std::string statement;
    for (int i = 0; i < 1000000; ++i) statement += "x[Proc], ";
    statement.resize(10000000, ' ');
    const std::size_t capacity = statement.size() + 1000000 * 2 + 1;
    std::string buffer(capacity, '\0');
    for (auto _ : state) {
        std::memcpy(buffer.data(), statement.c_str(), statement.size() + 1);
        benchmark::DoNotOptimize(textops::replace(buffer.data(), static_cast<int>(capacity),
                                                  buffer.data(), "Proc", "1 .. N"));
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(state.iterations() * statement.size());
}
BENCHMARK(replace_long_statement)->Unit(benchmark::kMillisecond);

// A 10 MB process-indexed statement over several lines with a million
// occurrences of Proc, written for two processes.
void long_statement(benchmark::State& state) {
    std::string model = "MODULE main\nVAR\n  x[Proc] :\n";
    for (int i = 0; i < 1000000; ++i) model += i % 8 == 7 ? "s[Proc] ,\n" : "s[Proc] , ";
    model += "0;\n";
    translate_each_iteration(state, model, 2);
}
BENCHMARK(long_statement)->Unit(benchmark::kMillisecond);

// The whole translation of a 10 MB generated model, in memory.
void line_loop(benchmark::State& state) {
    std::ostringstream generated;
    bench::generate_model(generated, 10000000, 1);
    const std::string model = generated.str();
    translate_each_iteration(state, model, static_cast<int>(state.range(0)));
}
BENCHMARK(line_loop)->Arg(2)->Arg(8)->Arg(64)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
