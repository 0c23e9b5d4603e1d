// The command table and the process runner.
#include "dfu/command.h"

#include <QDebug>
#include <QProcess>

#include <atomic>

#include <signal.h>
#include <unistd.h>

namespace DFU {

QString Command::path;

std::map<CmdID, Command> commands = {
    {version, {QStringLiteral("dfu-util"), {QStringLiteral("-V")}}},
    {list, {QStringLiteral("dfu-util"), {QStringLiteral("-d"), QStringLiteral("0483"), QStringLiteral("-l")}}},
    {upload_OTP,
     {QStringLiteral("dfu-util"),
      {QStringLiteral("-d"), QStringLiteral("0483"), QStringLiteral("-a"), QStringLiteral("2"), QStringLiteral("-s"),
       QStringLiteral("0x1FFF7800:512"), QStringLiteral("-U")}}},
    {upload_FW_info,
     {QStringLiteral("dfu-util"),
      {QStringLiteral("-d"), QStringLiteral("0483"), QStringLiteral("-a"), QStringLiteral("0"), QStringLiteral("-s"),
       QStringLiteral("0x08000000:2048"), QStringLiteral("-U")}}},
    {upload_FW,
     {QStringLiteral("dfu-util"),
      {QStringLiteral("-d"), QStringLiteral("0483"), QStringLiteral("-a"), QStringLiteral("0")}}},
    {download_FW,
     {QStringLiteral("dfu-util"),
      {QStringLiteral("-d"), QStringLiteral("0483"), QStringLiteral("-a"), QStringLiteral("0"), QStringLiteral("-s"),
       QStringLiteral("0x08000000:leave"), QStringLiteral("-D")}}},
    {setup_prepared_config, {QStringLiteral("dfu-util"), {}}},
};

Command::operator QString() const
{
    return program + QLatin1Char('(') + args.join(QLatin1Char(',')) + QLatin1Char(')');
}

namespace {

std::atomic<bool> read_only_runs_cancelled{false};
std::atomic<int> downloads_running{0};

// Children run in a process group of their own, so that a Ctrl-C in the terminal,
// which signals the whole foreground group, cannot cut a firmware download short.
class ChildProcess : public QProcess {
protected:
    void setupChildProcess() override { ::setpgid(0, 0); }
};

struct DownloadMark {
    bool active;
    explicit DownloadMark(bool a) : active(a) { if (active) ++downloads_running; }
    ~DownloadMark() { if (active) --downloads_running; }
};

QString decode_output(QByteArray bytes)
{
    const int nul = bytes.indexOf('\0');
    if (nul >= 0)
        bytes.truncate(nul);
    return QString::fromUtf8(bytes);
}

} // namespace

void cancel_read_only_runs()
{
    read_only_runs_cancelled = true;
}

bool download_running()
{
    return downloads_running > 0;
}

CommandResult run_command(CmdID id, QStringList const& extra)
{
    ChildProcess process;
    Command const& row = commands[id];
    const QString program = Command::path.isEmpty() ? row.program : Command::path + QLatin1Char('/') + row.program;
    const QStringList arguments = row.args + extra;
    const bool cancellable = id != download_FW;
    DownloadMark mark(!cancellable);

    if (id != list)
        qInfo() << "Start " << program << arguments;

    process.setProcessChannelMode(QProcess::SeparateChannels);
    process.start(program, arguments, QIODevice::ReadWrite);
    if (!process.waitForStarted(-1)) {
        qInfo() << "Failed to start" << program << arguments << "reason:" << process.errorString();
        return {exit_code_not_started, QString()};
    }

    auto cancelled = [&]() { return cancellable && read_only_runs_cancelled; };
    QByteArray output;
    int waited_ms = 0;
    bool logged_wait = false;
    while (!process.waitForFinished(run_cancel_poll_interval_ms)) {
        if (process.state() == QProcess::NotRunning)
            break;
        if (cancelled()) {
            ::kill(-pid_t(process.processId()), SIGKILL);
            process.kill();
            process.waitForFinished(-1);
            qInfo() << "Abandoned" << program << arguments << "at shutdown";
            break;
        }
        waited_ms += run_cancel_poll_interval_ms;
        if (!logged_wait && waited_ms >= run_wait_logged_after_ms) {
            logged_wait = true;
            output += process.readAllStandardOutput();
            qInfo() << "waitForFinished(): Process did not finish in time, exit status:" << process.exitStatus()
                    << "and output:" << decode_output(output);
            qInfo() << "will wait again, forever";
        }
    }
    output += process.readAllStandardOutput();

    CommandResult result;
    result.output = decode_output(output);
    result.exit_code = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    if (process.exitStatus() != QProcess::NormalExit || result.exit_code != 0)
        qInfo() << "Exit with" << result.exit_code << "from" << program << arguments << "returned:" << result.output;
    return result;
}

} // namespace DFU
