// A log of time-stamped records, "<monotonic ns> <kind> <text>", one per line, each
// written with a single write() so that a reader polling the file sees whole records.
#pragma once

#include <cstdint>
#include <string>

class StampedLog {
public:
    // Opens (truncates) the file; `ok()` tells whether that worked.
    explicit StampedLog(std::string const& path);
    ~StampedLog();
    StampedLog(StampedLog const&) = delete;
    StampedLog& operator=(StampedLog const&) = delete;

    bool ok() const { return fd_ >= 0; }
    void record(std::int64_t ns, char const* kind, std::string const& text);

private:
    int fd_ = -1;
};
