// How many CPUs this process may use.
#pragma once

namespace ruvello {

// The CPUs of the process's affinity mask (taskset, a container's cpuset),
// bounded by the CPU quota of its control group where one is set (a
// container's --cpus): at least 1.
unsigned usable_cpus();

}  // namespace ruvello
