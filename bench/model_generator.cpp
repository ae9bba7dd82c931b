#include "model_generator.h"

#include <random>
#include <string>

namespace bench {

namespace {

// Raw engine output only: distributions may differ between library versions,
// and the models must not.
class Random {
public:
    explicit Random(std::uint64_t seed) : engine_(seed) {}
    unsigned below(unsigned bound) { return static_cast<unsigned>(engine_() % bound); }
    bool chance(unsigned percent) { return below(100) < percent; }

private:
    std::mt19937_64 engine_;
};

const char* const value_sets[] = {
    "{idle, trying, critical}",
    "{idle, waiting, using, done}",
    "boolean",
    "0 .. 7",
    "{free, taken}",
};

void write_module(std::ostream& out, std::size_t k, Random& random) {
    const std::string m = std::to_string(k);
    const char* values = value_sets[random.below(std::size(value_sets))];

    out << "-- Module " << m << ": one worker per process, sharing a turn and a counter.\n";
    out << "MODULE unit_" << m << "(id, turn,\n"
        << "    counter_" << m << ",\n"
        << "    shared_" << m << ")\n";
    out << "VAR\n";
    out << "  state_" << m << "[Proc] : " << values << ";\n";
    out << "  request_" << m << "[Proc] :\n    boolean;\n";
    out << "  owner_" << m << " : Proc;\n";
    if (random.chance(50)) out << "  slots_" << m << "[Proc] : array 0 .. 3;\n";
    out << "  count_" << m << " : 0 .. 15;\n";
    out << "  worker_" << m << "[Proc] : transition worker_" << m << "(Proc, state_" << m
        << "[Proc], owner_" << m << ", request_" << m << "[Proc]);\n";
    out << "\n";
    out << "ASSIGN\n";
    out << "  init(state_" << m << "[Proc]) := idle;\n";
    out << "  init(request_" << m << "[Proc]) := FALSE;\n";
    out << "  init(owner_" << m << ") := 1;\n";
    out << "  next(count_" << m << ") :=\n"
        << "    case\n"
        << "      count_" << m << " < 15 & turn = id : count_" << m << " + 1;\n"
        << "      count_" << m << " = 15 : 0;\n"
        << "      TRUE : count_" << m << ";\n"
        << "    esac;\n";
    const unsigned extra = 1 + random.below(3);
    for (unsigned e = 0; e < extra; ++e) {
        out << "  next(shared_" << m << ") :=\n"
            << "    case\n"
            << "      shared_" << m << " & counter_" << m << " > " << e << " : FALSE;\n"
            << "      !shared_" << m << " : {TRUE, FALSE};\n"
            << "      TRUE : shared_" << m << ";\n"
            << "    esac;\n";
    }
    out << "\n";
    out << "SPEC\n"
        << "  FORALL (i) (request_" << m << "[i] -> AF state_" << m << "[i] = critical)\n";
    out << "SPEC\n"
        << "  FORALL (i, j) AG (i != j -> !(state_" << m << "[i] = critical & state_" << m
        << "[j] = critical))\n";
    if (random.chance(40)) out << "SPEC\n  AG (count_" << m << " <= 15)\n";
    out << "\n";
}

}  // namespace

void generate_model(std::ostream& out, std::size_t target_bytes, std::uint64_t seed) {
    Random random(seed);
    out << "-- Generated benchmark model (seed " << seed << ")\n";
    out << "MODULE main\n"
        << "VAR\n"
        << "  turn : Proc;\n"
        << "  u[Proc] : transition unit_1(Proc, turn, c[Proc], s[Proc]);\n"
        << "\n";
    for (std::size_t k = 1; static_cast<std::size_t>(out.tellp()) < target_bytes; ++k)
        write_module(out, k, random);
}

void generate_copied_line_model(std::ostream& out, std::size_t target_bytes) {
    out << "-- ";
    const std::string words = "the comment of a model that is one long line, ";
    for (std::size_t written = 3; written < target_bytes; written += words.size()) out << words;
    out << "\nMODULE main\n";
}

void generate_one_line_model(std::ostream& out, std::size_t target_bytes) {
    out << "MODULE main\nVAR\n  big[Proc] : {v0";
    for (std::size_t k = 1; static_cast<std::size_t>(out.tellp()) < target_bytes; ++k) out << ", v" << k;
    out << "};\n";
}

}  // namespace bench
