// Ending read-only runs at shutdown: a hanging listing or upload ends, a download is waited for.
// The cancel flag is process-wide and stays set, so the cases run in this order in a process
// of their own.
#include "dfu/command.h"
#include "log_capture.h"

#include <QFile>
#include <QTemporaryDir>
#include <QThread>
#include <QtTest>

namespace {

// Long enough that a run still waiting for it has certainly not been ended.
const QString hang_seconds = QStringLiteral("120");
// A download that ends by itself.
const QString short_download_seconds = QStringLiteral("3");
const int started_wait_ms = 60000;

} // namespace

class TestCommandCancel : public QObject {
    Q_OBJECT

    QTemporaryDir dir_;

private slots:
    void initTestCase() { QVERIFY(dir_.isValid()); }

    void hanging_listing_is_ended()
    {
        const QString started = dir_.filePath(QStringLiteral("list-started"));
        DFU::commands[DFU::list] = {QStringLiteral(HELPER_SLEEPER), {hang_seconds, started}};
        DFU::CommandResult result{0, QStringLiteral("unset")};
        QThread* worker = QThread::create([&] { result = DFU::run_command(DFU::list, {}); });
        worker->start();
        QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(started), started_wait_ms);
        QVERIFY(!DFU::download_running());

        DFU::cancel_read_only_runs();
        worker->wait();
        delete worker;

        // The sleeper exits 0 when left alone; -1 says it was ended.
        QCOMPARE(result.exit_code, -1);
        QCOMPARE(result.output, QString());
    }

    void upload_started_after_the_cancel_is_ended()
    {
        DFU::commands[DFU::upload_FW] = {QStringLiteral(HELPER_SLEEPER), {hang_seconds}};
        const DFU::CommandResult result = DFU::run_command(DFU::upload_FW, {});
        QCOMPARE(result.exit_code, -1);
    }

    void download_is_waited_for()
    {
        const QString started = dir_.filePath(QStringLiteral("download-started"));
        DFU::commands[DFU::download_FW] = {QStringLiteral(HELPER_SLEEPER), {short_download_seconds, started}};
        DFU::CommandResult result{-7, QString()};
        LogCapture log;
        QThread* worker = QThread::create([&] { result = DFU::run_command(DFU::download_FW, {}); });
        worker->start();
        QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(started), started_wait_ms);
        QVERIFY(DFU::download_running());

        DFU::cancel_read_only_runs();
        worker->wait();
        delete worker;

        QCOMPARE(result.exit_code, 0);
        QVERIFY(!DFU::download_running());
        QCOMPARE(log.lines_starting_with(QStringLiteral("Exit with")), QStringList());
    }
};

QTEST_GUILESS_MAIN(TestCommandCancel)
#include "test_command_cancel.moc"
