// Starting and stopping the harness in serve mode for a test.
#include "emulator_session.h"

#include "scenario_setup.h"

#include <QElapsedTimer>
#include <QThread>

namespace Emulator {

namespace {

constexpr int harness_start_timeout_ms = 10000;
constexpr int harness_stop_timeout_ms = 5000;
constexpr int log_poll_interval_ms = 20;

} // namespace

EmulatorSession::EmulatorSession() : state_dir_(dir_.filePath(QStringLiteral("device"))) {}

EmulatorSession::~EmulatorSession()
{
    if (harness_.state() != QProcess::NotRunning) {
        harness_.closeWriteChannel();
        if (!harness_.waitForFinished(harness_stop_timeout_ms)) {
            harness_.terminate();
            harness_.waitForFinished(harness_stop_timeout_ms);
        }
    }
    if (env_set_) {
        if (saved_umockdev_dir_.isNull())
            qunsetenv("UMOCKDEV_DIR");
        else
            qputenv("UMOCKDEV_DIR", saved_umockdev_dir_);
        if (saved_preload_.isNull())
            qunsetenv("LD_PRELOAD");
        else
            qputenv("LD_PRELOAD", saved_preload_);
    }
}

bool EmulatorSession::start(QStringList const& setup_options, QString* why)
{
    QString error;
    if (!apply_scenario_setup(state(), QStringList{QStringLiteral("--reset")} + setup_options, &error)) {
        *why = QStringLiteral("set-up refused: ") + error;
        return false;
    }
    harness_.setProgram(QStringLiteral(DFUSE_EMULATOR));
    harness_.setArguments({QStringLiteral("serve"), state_dir_});
    harness_.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    harness_.start();
    QByteArray printed;
    QElapsedTimer timer;
    timer.start();
    while (!printed.contains("ready\n")) {
        if (timer.elapsed() > harness_start_timeout_ms || !harness_.waitForReadyRead(harness_start_timeout_ms)) {
            *why = QStringLiteral("the emulator did not start: ") + harness_.errorString()
                 + QStringLiteral(" / ") + QString::fromLocal8Bit(printed);
            return false;
        }
        printed += harness_.readAllStandardOutput();
    }
    saved_umockdev_dir_ = qgetenv("UMOCKDEV_DIR");
    saved_preload_ = qgetenv("LD_PRELOAD");
    if (!qEnvironmentVariableIsSet("UMOCKDEV_DIR"))
        saved_umockdev_dir_ = QByteArray();
    if (!qEnvironmentVariableIsSet("LD_PRELOAD"))
        saved_preload_ = QByteArray();
    for (QByteArray const& line : printed.split('\n')) {
        const int eq = line.indexOf('=');
        if (eq > 0)
            qputenv(line.left(eq).constData(), line.mid(eq + 1));
    }
    env_set_ = true;
    return true;
}

bool EmulatorSession::setup(QStringList const& options)
{
    QString error;
    return apply_scenario_setup(state(), options, &error);
}

int EmulatorSession::count_log(QString const& prefix) const
{
    int n = 0;
    for (QString const& line : state().log())
        if (line.startsWith(prefix))
            ++n;
    return n;
}

bool EmulatorSession::wait_for_log(QString const& prefix, int count, int timeout_ms) const
{
    QElapsedTimer timer;
    timer.start();
    while (count_log(prefix) < count) {
        if (timer.elapsed() > timeout_ms)
            return false;
        QThread::msleep(log_poll_interval_ms);
    }
    return true;
}

} // namespace Emulator
