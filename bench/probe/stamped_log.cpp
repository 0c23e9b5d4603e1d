// Writes time-stamped records to the probe's log file.
#include "stamped_log.h"

#include <fcntl.h>
#include <unistd.h>

StampedLog::StampedLog(std::string const& path)
{
    fd_ = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | O_APPEND, 0644);
}

StampedLog::~StampedLog()
{
    if (fd_ >= 0)
        ::close(fd_);
}

void StampedLog::record(std::int64_t ns, char const* kind, std::string const& text)
{
    if (fd_ < 0)
        return;
    std::string line = std::to_string(ns) + ' ' + kind;
    if (!text.empty())
        line += ' ' + text;
    line += '\n';
    std::size_t done = 0;
    while (done < line.size()) {
        const ssize_t n = ::write(fd_, line.data() + done, line.size() - done);
        if (n <= 0)
            return;
        done += std::size_t(n);
    }
}
