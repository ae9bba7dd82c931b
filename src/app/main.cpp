#include <span>

#include "app/app.h"

int main(int argc, char** argv) {
    return ruvello::run_command(std::span<const char* const>(argv + 1, argc - 1));
}
