// dfuse-emulator: sets up the emulated bootloader's state folder, and runs a program
// (dfu-util, or the upgrade tool, whose children inherit the set-up) with the device
// on an emulated USB bus.
#include "emulated_bus.h"
#include "scenario_setup.h"

#include <glib-unix.h>
#include <glib.h>

#include <QStringList>

#include <csignal>
#include <cstdio>
#include <string>
#include <vector>

#include <sys/wait.h>

namespace {

using Emulator::StateFolder;

const char usage[] =
    "usage: dfuse-emulator setup STATE_DIR [OPTIONS]\n"
    "       dfuse-emulator plug|unplug STATE_DIR\n"
    "       dfuse-emulator log STATE_DIR\n"
    "       dfuse-emulator run STATE_DIR -- PROGRAM [ARGS...]\n"
    "       dfuse-emulator serve STATE_DIR\n"
    "\n"
    "run: starts PROGRAM with the emulated device on an emulated USB bus and exits with its\n"
    "     exit status; the program and everything it starts see the device.\n"
    "serve: prints the environment (UMOCKDEV_DIR=..., LD_PRELOAD=...) that makes programs see\n"
    "     the device, then \"ready\", and serves it until standard input closes or SIGTERM.\n"
    "plug/unplug: attach or detach the device, also while run or serve is going on.\n"
    "\n"
    "setup options, applied in order:\n";

constexpr char preload_library[] = "libumockdev-preload.so.0";
// Exit status of the harness itself when it cannot do its work.
constexpr int harness_failure_exit = 125;

struct RunContext {
    GMainLoop* loop = nullptr;
    guint stdin_source = 0;
    GPid child = 0;
    int exit_status = 0;
};

void on_child_exit(GPid pid, gint wait_status, gpointer data)
{
    auto* ctx = static_cast<RunContext*>(data);
    if (WIFEXITED(wait_status))
        ctx->exit_status = WEXITSTATUS(wait_status);
    else if (WIFSIGNALED(wait_status))
        ctx->exit_status = 128 + WTERMSIG(wait_status);
    g_spawn_close_pid(pid);
    ctx->child = 0;
    g_main_loop_quit(ctx->loop);
}

gboolean forward_sigterm(gpointer data)
{
    auto* ctx = static_cast<RunContext*>(data);
    if (ctx->child)
        kill(ctx->child, SIGTERM);
    else
        g_main_loop_quit(ctx->loop);
    return G_SOURCE_CONTINUE;
}

gboolean forward_sigint(gpointer data)
{
    auto* ctx = static_cast<RunContext*>(data);
    if (ctx->child)
        kill(ctx->child, SIGINT);
    else
        g_main_loop_quit(ctx->loop);
    return G_SOURCE_CONTINUE;
}

gboolean on_stdin(gint fd, GIOCondition, gpointer data)
{
    char buffer[256];
    const ssize_t n = read(fd, buffer, sizeof buffer);
    if (n > 0)
        return G_SOURCE_CONTINUE;
    auto* ctx = static_cast<RunContext*>(data);
    ctx->stdin_source = 0;
    g_main_loop_quit(ctx->loop);
    return G_SOURCE_REMOVE;
}

std::string preload_value()
{
    const char* existing = g_getenv("LD_PRELOAD");
    std::string value = preload_library;
    if (existing && *existing)
        value += std::string(":") + existing;
    return value;
}

int run_program(StateFolder const& state, std::vector<std::string> const& command)
{
    Emulator::EmulatedBus bus(state);
    bus.start();
    RunContext ctx;
    ctx.loop = g_main_loop_new(nullptr, FALSE);

    gchar** env = g_get_environ();
    env = g_environ_setenv(env, "LD_PRELOAD", preload_value().c_str(), TRUE);
    env = g_environ_setenv(env, "UMOCKDEV_DIR", qPrintable(bus.root_dir()), TRUE);
    std::vector<char*> argv;
    for (std::string const& a : command)
        argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    GError* error = nullptr;
    const GSpawnFlags flags =
        GSpawnFlags(G_SPAWN_SEARCH_PATH | G_SPAWN_DO_NOT_REAP_CHILD | G_SPAWN_CHILD_INHERITS_STDIN);
    const bool started = g_spawn_async(nullptr, argv.data(), env, flags, nullptr, nullptr, &ctx.child, &error);
    g_strfreev(env);
    if (!started) {
        std::fprintf(stderr, "dfuse-emulator: cannot start %s: %s\n", command[0].c_str(), error->message);
        g_error_free(error);
        g_main_loop_unref(ctx.loop);
        return harness_failure_exit;
    }
    g_child_watch_add(ctx.child, on_child_exit, &ctx);
    const guint term = g_unix_signal_add(SIGTERM, forward_sigterm, &ctx);
    const guint intr = g_unix_signal_add(SIGINT, forward_sigint, &ctx);
    g_main_loop_run(ctx.loop);
    g_source_remove(term);
    g_source_remove(intr);
    g_main_loop_unref(ctx.loop);
    return ctx.exit_status;
}

int serve(StateFolder const& state)
{
    Emulator::EmulatedBus bus(state);
    bus.start();
    RunContext ctx;
    ctx.loop = g_main_loop_new(nullptr, FALSE);
    std::printf("UMOCKDEV_DIR=%s\nLD_PRELOAD=%s\nready\n", qPrintable(bus.root_dir()), preload_value().c_str());
    std::fflush(stdout);
    const guint term = g_unix_signal_add(SIGTERM, forward_sigterm, &ctx);
    const guint intr = g_unix_signal_add(SIGINT, forward_sigint, &ctx);
    ctx.stdin_source = g_unix_fd_add(0, GIOCondition(G_IO_IN | G_IO_HUP | G_IO_ERR), on_stdin, &ctx);
    g_main_loop_run(ctx.loop);
    g_source_remove(term);
    g_source_remove(intr);
    if (ctx.stdin_source)
        g_source_remove(ctx.stdin_source);
    g_main_loop_unref(ctx.loop);
    return 0;
}

int fail_usage()
{
    std::fputs(usage, stderr);
    std::fputs(Emulator::scenario_setup_usage, stderr);
    return 2;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc < 3)
        return fail_usage();
    const std::string mode = argv[1];
    const StateFolder state(QString::fromLocal8Bit(argv[2]));

    if (mode == "setup" || mode == "plug" || mode == "unplug") {
        QStringList options;
        if (mode == "setup")
            for (int i = 3; i < argc; ++i)
                options << QString::fromLocal8Bit(argv[i]);
        else
            options << QStringLiteral("--attached") << QLatin1String(mode == "plug" ? "yes" : "no");
        QString error;
        if (!Emulator::apply_scenario_setup(state, options, &error)) {
            std::fprintf(stderr, "dfuse-emulator: %s\n", qPrintable(error));
            return 2;
        }
        return 0;
    }
    if (mode == "log") {
        for (QString const& line : state.log())
            std::printf("%s\n", qPrintable(line));
        return 0;
    }
    if (!state.ensure_created()) {
        std::fprintf(stderr, "dfuse-emulator: cannot create %s\n", argv[2]);
        return harness_failure_exit;
    }
    if (mode == "serve" && argc == 3)
        return serve(state);
    if (mode == "run" && argc >= 5 && std::string(argv[3]) == "--") {
        std::vector<std::string> command(argv + 4, argv + argc);
        return run_program(state, command);
    }
    return fail_usage();
}
