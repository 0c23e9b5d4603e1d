// The one clock every benchmark time stamp is read from: CLOCK_MONOTONIC in nanoseconds.
#pragma once

#include <cstdint>
#include <ctime>

inline std::int64_t monotonic_ns()
{
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return std::int64_t(ts.tv_sec) * 1000000000 + ts.tv_nsec;
}
