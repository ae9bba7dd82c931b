#include "platform/cpus.h"

#include <sched.h>

#include <algorithm>
#include <cmath>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>

namespace ruvello {

namespace {

// The CPUs a quota of `quota` microseconds per `period` pays for, rounded up;
// none for no quota.
unsigned cpus_of_quota(double quota, double period) {
    if (quota <= 0 || period <= 0) return 0;
    return static_cast<unsigned>(std::max(1.0, std::ceil(quota / period)));
}

// The tightest quota of the control group at `path` and of those above it:
// cgroup v2 keeps it as "QUOTA PERIOD" (or "max PERIOD") in cpu.max, v1 in
// cpu.cfs_quota_us and cpu.cfs_period_us (-1 for none). 0 when none is set.
unsigned quota_of_group(const std::string& root, std::string path, bool version2) {
    unsigned tightest = 0;
    for (;;) {
        const std::string folder = root + path;
        double quota = 0, period = 0;
        if (version2) {
            std::ifstream max(folder + "/cpu.max");
            std::string quota_text;
            if (max >> quota_text >> period && quota_text != "max") quota = std::stod(quota_text);
        } else {
            std::ifstream(folder + "/cpu.cfs_quota_us") >> quota;
            std::ifstream(folder + "/cpu.cfs_period_us") >> period;
        }
        if (const unsigned cpus = cpus_of_quota(quota, period); cpus > 0)
            tightest = tightest == 0 ? cpus : std::min(tightest, cpus);
        if (path.empty() || path == "/") return tightest;
        path.erase(path.rfind('/'));
    }
}

// The CPU quota of the process's control group, from the lines of
// /proc/self/cgroup: "0::PATH" for cgroup v2, "ID:CONTROLLERS:PATH" for v1.
unsigned cgroup_quota() {
    std::ifstream groups("/proc/self/cgroup");
    for (std::string line; std::getline(groups, line);) {
        const std::size_t first = line.find(':'), second = line.find(':', first + 1);
        if (first == std::string::npos || second == std::string::npos) continue;
        const std::string controllers = line.substr(first + 1, second - first - 1);
        const std::string path = line.substr(second + 1);
        if (controllers.empty()) {
            if (const unsigned cpus = quota_of_group("/sys/fs/cgroup", path, true)) return cpus;
            continue;
        }
        std::istringstream names(controllers);
        for (std::string name; std::getline(names, name, ',');)
            if (name == "cpu") return quota_of_group("/sys/fs/cgroup/cpu", path, false);
    }
    return 0;
}

}  // namespace

unsigned usable_cpus() {
    cpu_set_t mask;
    unsigned cpus = ::sched_getaffinity(0, sizeof mask, &mask) == 0
                        ? static_cast<unsigned>(CPU_COUNT(&mask))
                        : std::thread::hardware_concurrency();
    if (const unsigned quota = cgroup_quota(); quota > 0) cpus = std::min(cpus, quota);
    return std::max(cpus, 1u);
}

}  // namespace ruvello
