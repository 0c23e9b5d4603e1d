// bench-probe: the benchmarks' stopwatch. Runs a program and stamps every line it prints,
// and every window it maps, with the monotonic clock as the line arrives, so that a
// script polling the log at leisure still gets exact times.
//
//   bench-probe now
//   bench-probe run [--x-map] LOG -- PROGRAM [ARGS...]
//
// LOG records: "<ns> start <pid>" (the time is taken just before the fork), "<ns> out
// <line>", "<ns> err <line>", "<ns> map <window> <w>x<h>", "<ns> exit <status>" and
// "<ns> rusage <user_us> <sys_us> <maxrss_kib>" (the program and everything it waited for).
// SIGTERM, SIGINT and SIGHUP are handed on to the program; the exit status is the program's.
#include "line_splitter.h"
#include "monotonic_clock.h"
#include "stamped_log.h"
#ifdef VANTREL_BENCH_HAVE_XCB
#include "x_map_watch.h"
#endif

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include <fcntl.h>
#include <poll.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

// How often the probe looks whether the program has ended while its pipes stay open.
constexpr int child_check_interval_ms = 50;
constexpr std::size_t read_chunk_bytes = 65536;
constexpr int exit_usage = 2;
constexpr int exit_cannot_run = 125;

volatile sig_atomic_t child_pid = 0;

void forward_signal(int sig)
{
    if (child_pid > 0)
        ::kill(pid_t(child_pid), sig);
}

int usage()
{
    std::fputs("usage: bench-probe now\n"
               "       bench-probe run [--x-map] LOG -- PROGRAM [ARGS...]\n",
               stderr);
    return exit_usage;
}

int status_of(int wait_status)
{
    if (WIFEXITED(wait_status))
        return WEXITSTATUS(wait_status);
    if (WIFSIGNALED(wait_status))
        return 128 + WTERMSIG(wait_status);
    return exit_cannot_run;
}

// One output pipe of the program, cut into stamped lines.
struct Stream {
    int fd;
    char const* kind;
    std::int64_t stamp = 0;
    std::unique_ptr<LineSplitter> lines;
};

// Reads what the pipe holds; false at its end.
bool drain(Stream& s, std::vector<char>& buffer)
{
    const ssize_t n = ::read(s.fd, buffer.data(), buffer.size());
    if (n > 0) {
        s.lines->feed(buffer.data(), std::size_t(n));
        return true;
    }
    if (n < 0 && (errno == EINTR || errno == EAGAIN))
        return true;
    s.lines->finish();
    ::close(s.fd);
    s.fd = -1;
    return false;
}

int run(bool x_map, std::string const& log_path, std::vector<char*> argv)
{
    StampedLog log(log_path);
    if (!log.ok()) {
        std::fprintf(stderr, "bench-probe: cannot write %s\n", log_path.c_str());
        return exit_cannot_run;
    }
#ifdef VANTREL_BENCH_HAVE_XCB
    std::unique_ptr<XMapWatch> watch;
    if (x_map) {
        watch = std::make_unique<XMapWatch>();
        if (watch->fd() < 0) {
            std::fprintf(stderr, "bench-probe: %s\n", watch->error().c_str());
            return exit_cannot_run;
        }
    }
#else
    if (x_map) {
        std::fputs("bench-probe: built without xcb, --x-map is not available\n", stderr);
        return exit_cannot_run;
    }
#endif

    int out_pipe[2], err_pipe[2];
    if (::pipe2(out_pipe, O_CLOEXEC) != 0 || ::pipe2(err_pipe, O_CLOEXEC) != 0) {
        std::perror("bench-probe: pipe");
        return exit_cannot_run;
    }
    struct sigaction action {};
    action.sa_handler = forward_signal;
    sigemptyset(&action.sa_mask);
    for (int sig : {SIGTERM, SIGINT, SIGHUP})
        ::sigaction(sig, &action, nullptr);

    const std::int64_t start_ns = monotonic_ns();
    const pid_t pid = ::fork();
    if (pid < 0) {
        std::perror("bench-probe: fork");
        return exit_cannot_run;
    }
    if (pid == 0) {
        for (int sig : {SIGTERM, SIGINT, SIGHUP})
            ::signal(sig, SIG_DFL);
        ::dup2(out_pipe[1], STDOUT_FILENO);
        ::dup2(err_pipe[1], STDERR_FILENO);
        argv.push_back(nullptr);
        ::execvp(argv[0], argv.data());
        std::fprintf(stderr, "bench-probe: cannot run %s: %s\n", argv[0], std::strerror(errno));
        ::_exit(exit_cannot_run);
    }
    child_pid = pid;
    ::close(out_pipe[1]);
    ::close(err_pipe[1]);
    log.record(start_ns, "start", std::to_string(pid));

    Stream streams[2] = {{out_pipe[0], "out", 0, nullptr}, {err_pipe[0], "err", 0, nullptr}};
    for (Stream& s : streams) {
        Stream* self = &s;
        s.lines = std::make_unique<LineSplitter>(
            [&log, self](std::string const& line) { log.record(self->stamp, self->kind, line); });
    }
    std::vector<char> buffer(read_chunk_bytes);
    int wait_status = 0;
    bool ended = false;
    while (!ended) {
        pollfd fds[3];
        nfds_t count = 0;
        for (Stream& s : streams)
            fds[count++] = {s.fd, POLLIN, 0};
#ifdef VANTREL_BENCH_HAVE_XCB
        fds[count++] = {watch ? watch->fd() : -1, POLLIN, 0};
#endif
        const int ready = ::poll(fds, count, child_check_interval_ms);
        const std::int64_t now = monotonic_ns();
        if (ready > 0) {
            for (int i = 0; i < 2; ++i)
                if (streams[i].fd >= 0 && (fds[i].revents & (POLLIN | POLLHUP | POLLERR))) {
                    streams[i].stamp = now;
                    drain(streams[i], buffer);
                }
#ifdef VANTREL_BENCH_HAVE_XCB
            if (watch && (fds[2].revents & POLLIN))
                for (std::string const& map : watch->take_maps())
                    log.record(now, "map", map);
#endif
        }
        if (streams[0].fd < 0 && streams[1].fd < 0) {
            while (::waitpid(pid, &wait_status, 0) < 0 && errno == EINTR) {
            }
            ended = true;
        } else if (::waitpid(pid, &wait_status, WNOHANG) == pid) {
            // Ended, maybe with a descendant still holding the pipes: take what is there.
            for (Stream& s : streams)
                if (s.fd >= 0) {
                    ::fcntl(s.fd, F_SETFL, O_NONBLOCK);
                    s.stamp = monotonic_ns();
                    while (s.fd >= 0) {
                        const ssize_t n = ::read(s.fd, buffer.data(), buffer.size());
                        if (n > 0) {
                            s.lines->feed(buffer.data(), std::size_t(n));
                            continue;
                        }
                        s.lines->finish();
                        ::close(s.fd);
                        s.fd = -1;
                    }
                }
            ended = true;
        }
    }
    child_pid = 0;
    const int status = status_of(wait_status);
    log.record(monotonic_ns(), "exit", std::to_string(status));
    rusage usage_children{};
    ::getrusage(RUSAGE_CHILDREN, &usage_children);
    auto us = [](timeval const& t) { return std::to_string(std::int64_t(t.tv_sec) * 1000000 + t.tv_usec); };
    log.record(monotonic_ns(), "rusage",
               us(usage_children.ru_utime) + ' ' + us(usage_children.ru_stime) + ' ' +
                   std::to_string(usage_children.ru_maxrss));
    return status;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc == 2 && std::strcmp(argv[1], "now") == 0) {
        std::printf("%lld\n", static_cast<long long>(monotonic_ns()));
        return 0;
    }
    if (argc < 2 || std::strcmp(argv[1], "run") != 0)
        return usage();
    int i = 2;
    bool x_map = false;
    if (i < argc && std::strcmp(argv[i], "--x-map") == 0) {
        x_map = true;
        ++i;
    }
    if (i + 2 >= argc || std::strcmp(argv[i + 1], "--") != 0)
        return usage();
    const std::string log_path = argv[i];
    return run(x_map, log_path, std::vector<char*>(argv + i + 2, argv + argc));
}
