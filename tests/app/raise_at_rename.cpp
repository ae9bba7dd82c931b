// A stand-in for the C library's renameat2 and renameat, loaded before it
// with LD_PRELOAD, that raises SIGINT right after the real call: a signal
// that comes while a file is put in place, on demand rather than by timing.
#include <dlfcn.h>

#include <csignal>

namespace {

template <class Function>
Function real(const char* name) {
    return reinterpret_cast<Function>(::dlsym(RTLD_NEXT, name));
}

}  // namespace

extern "C" int renameat2(int from_directory, const char* from, int to_directory, const char* to,
                         unsigned flags) {
    using Renameat2 = int (*)(int, const char*, int, const char*, unsigned);
    static const Renameat2 renameat2 = real<Renameat2>("renameat2");
    const int result = renameat2(from_directory, from, to_directory, to, flags);
    std::raise(SIGINT);
    return result;
}

extern "C" int renameat(int from_directory, const char* from, int to_directory, const char* to) {
    using Renameat = int (*)(int, const char*, int, const char*);
    static const Renameat renameat = real<Renameat>("renameat");
    const int result = renameat(from_directory, from, to_directory, to);
    std::raise(SIGINT);
    return result;
}
