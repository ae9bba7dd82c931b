// generate_model SIZE_MB SEED OUTPUT: writes a benchmark model of about
// SIZE_MB megabytes (may be fractional) to OUTPUT.
#include <cstdlib>
#include <fstream>
#include <iostream>

#include "model_generator.h"

int main(int argc, char** argv) {
    if (argc != 4) {
        std::cerr << "usage: generate_model SIZE_MB SEED OUTPUT\n";
        return 2;
    }
    const double megabytes = std::strtod(argv[1], nullptr);
    const auto seed = std::strtoull(argv[2], nullptr, 10);
    std::ofstream out(argv[3], std::ios::binary);
    bench::generate_model(out, static_cast<std::size_t>(megabytes * 1e6), seed);
    out.close();
    if (!out) {
        std::cerr << "generate_model: cannot write " << argv[3] << '\n';
        return 1;
    }
    return 0;
}
