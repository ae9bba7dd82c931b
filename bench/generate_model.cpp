// generate_model SIZE_MB SEED OUTPUT: writes a benchmark model of about
// SIZE_MB megabytes (may be fractional) to OUTPUT; with the seed "line", a
// model that is one long declaration, with "copied" one long comment line.
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <string_view>

#include "model_generator.h"

int main(int argc, char** argv) {
    if (argc != 4) {
        std::cerr << "usage: generate_model SIZE_MB SEED|line|copied OUTPUT\n";
        return 2;
    }
    const double megabytes = std::strtod(argv[1], nullptr);
    const auto bytes = static_cast<std::size_t>(megabytes * 1e6);
    std::ofstream out(argv[3], std::ios::binary);
    if (std::string_view(argv[2]) == "line")
        bench::generate_one_line_model(out, bytes);
    else if (std::string_view(argv[2]) == "copied")
        bench::generate_copied_line_model(out, bytes);
    else
        bench::generate_model(out, bytes, std::strtoull(argv[2], nullptr, 10));
    out.close();
    if (!out) {
        std::cerr << "generate_model: cannot write " << argv[3] << '\n';
        return 1;
    }
    return 0;
}
