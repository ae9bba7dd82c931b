// The least any translator must do on this machine: read the model, find
// every line end with memchr, and write as many bytes as ruvello writes,
// copied with memcpy from the lines and written 256 KB at a time, as
// ruvello writes. ruvello's time is measured against this one.
//
// In one series of interleaved runs on the benchmark's virtual machine,
// writes of 1 MB to a fresh file spent up to 0.8 s more in the kernel in
// half of the runs, 256 KB writes in a sixth and ruvello's in none, which
// made the floor slower than ruvello.
//
//   floor MODEL OUTPUT BYTES
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>

namespace {

constexpr std::size_t read_size = std::size_t{1} << 18;
constexpr std::size_t write_size = std::size_t{1} << 18;

void write_all(int fd, const char* bytes, std::size_t size) {
    while (size > 0) {
        const ssize_t n = ::write(fd, bytes, size);
        if (n < 0) {
            std::perror("floor: write");
            std::exit(1);
        }
        bytes += n;
        size -= static_cast<std::size_t>(n);
    }
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 4) {
        std::fprintf(stderr, "usage: floor MODEL OUTPUT BYTES\n");
        return 2;
    }
    const int in = ::open(argv[1], O_RDONLY);
    const int out = ::open(argv[2], O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (in < 0 || out < 0) {
        std::perror("floor: open");
        return 1;
    }
    const double model_size = static_cast<double>(::lseek(in, 0, SEEK_END));
    ::lseek(in, 0, SEEK_SET);
    // Each line is copied as often as makes the output grow with the input
    // at the rate of ruvello's output.
    const double bytes_per_byte = std::strtod(argv[3], nullptr) / model_size;
    const std::unique_ptr<char[]> input(new char[read_size]), output(new char[write_size]);
    std::size_t used = 0;
    double owed = 0;  // bytes of output the lines read so far still ask for
    for (ssize_t n; (n = ::read(in, input.get(), read_size)) > 0;) {
        for (const char *line = input.get(), *end = input.get() + n; line < end;) {
            const char* newline = static_cast<const char*>(std::memchr(line, '\n', end - line));
            const char* next = newline ? newline + 1 : end;
            const std::size_t length = static_cast<std::size_t>(next - line);
            for (owed += static_cast<double>(length) * bytes_per_byte; owed >= 1;) {
                const std::size_t copied = std::min({length, static_cast<std::size_t>(owed), write_size - used});
                std::memcpy(output.get() + used, line, copied);
                used += copied;
                owed -= static_cast<double>(copied);
                if (used == write_size) {
                    write_all(out, output.get(), used);
                    used = 0;
                }
            }
            line = next;
        }
    }
    write_all(out, output.get(), used);
    return 0;
}
