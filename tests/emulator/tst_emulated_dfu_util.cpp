// The carried dfu-util against the emulated bootloader, under the harness: its output and
// exit code match what dfu-util printed against the device it was captured with.
#include "scenario_setup.h"
#include "state_folder.h"
#include "usb_identity.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

using namespace Emulator;

namespace {

constexpr int dfu_util_run_timeout_ms = 120000;
// The fixtures' download: a raw image of this size.
constexpr int fixture_image_size = 40000;

struct Run {
    int exit_code = -1;
    QByteArray out;
    QByteArray err;
};

Run run_under_harness(QString const& state_dir, QString const& work_dir, QStringList const& dfu_util_args)
{
    QProcess p;
    p.setWorkingDirectory(work_dir);
    p.start(QStringLiteral(DFUSE_EMULATOR),
            QStringList{QStringLiteral("run"), state_dir, QStringLiteral("--"), QStringLiteral(CARRIED_DFU_UTIL)}
                + dfu_util_args);
    Run r;
    if (!p.waitForFinished(dfu_util_run_timeout_ms)) {
        p.kill();
        p.waitForFinished();
        return r;
    }
    r.exit_code = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    r.out = p.readAllStandardOutput();
    r.err = p.readAllStandardError();
    return r;
}

QByteArray read_file(QString const& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

QByteArray pseudo_random_image(int size)
{
    QByteArray b(size, '\0');
    quint32 x = 0x2545F491;
    for (int i = 0; i < size; ++i) {
        x ^= x << 13;
        x ^= x >> 17;
        x ^= x << 5;
        b[i] = char(x);
    }
    return b;
}

} // namespace

class TestEmulatedDfuUtil : public QObject {
    Q_OBJECT

private slots:
    void initTestCase()
    {
        QTemporaryDir dir;
        const QString state_dir = dir.filePath(QStringLiteral("device"));
        QString error;
        QVERIFY2(apply_scenario_setup(StateFolder(state_dir), {QStringLiteral("--reset")}, &error), qPrintable(error));
        const Run probe = run_under_harness(state_dir, dir.path(), {QStringLiteral("-d"), QStringLiteral("0483"),
                                                                    QStringLiteral("-l")});
        if (!probe.out.contains("Found DFU: [0483:df11]"))
            QSKIP(qPrintable(QStringLiteral("umockdev cannot emulate a USB device here (exit %1): %2 %3")
                                 .arg(probe.exit_code)
                                 .arg(QString::fromLocal8Bit(probe.out.right(200)),
                                      QString::fromLocal8Bit(probe.err.right(400)))));
        if (!QFileInfo::exists(QStringLiteral(DFU_UTIL_FIXTURES)))
            QSKIP("the captured dfu-util outputs are not beside the source tree (shared/fixtures)");
    }

    void output_matches_the_captured_runs_data()
    {
        QTest::addColumn<QString>("fixture");
        QTest::addColumn<QStringList>("setup");
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<int>("exit_code");
        const QStringList list = {"-d", "0483", "-l"};
        const QStringList otp = {"-d", "0483", "-a", "2", "-s", "0x1FFF7800:512", "-U", "otp.bin"};
        const QStringList download = {"-d", "0483", "-a", "0", "-s", "0x08000000:leave", "-D", "fw.bin"};
        const QStringList detached = {"--attached", "no"};
        QTest::newRow("list-one-device") << "list-one-device" << QStringList() << list << 0;
        QTest::newRow("list-no-device") << "list-no-device" << detached << list << 0;
        QTest::newRow("upload-otp") << "upload-otp" << QStringList{"--otp-product", "HALK"} << otp << 0;
        QTest::newRow("upload-existing-file") << "upload-existing-file" << QStringList() << otp << 73;
        QTest::newRow("upload-no-device")
            << "upload-no-device" << detached
            << QStringList{"-d", "0483", "-a", "0", "-s", "0x08000000:2048", "-U", "x.bin"} << 74;
        QTest::newRow("download-leave") << "download-leave" << QStringList() << download << 0;
        QTest::newRow("download-leave-vanish")
            << "download-leave-vanish" << QStringList{"--fault", "vanish-at-leave"} << download << 74;
        QTest::newRow("download-write-error")
            << "download-write-error" << QStringList{"--fault", "write-error-block=0"} << download << 74;
    }
    void output_matches_the_captured_runs()
    {
        QFETCH(QString, fixture);
        QFETCH(QStringList, setup);
        QFETCH(QStringList, args);
        QFETCH(int, exit_code);
        QTemporaryDir dir;
        const QString state_dir = dir.filePath(QStringLiteral("device"));
        QString error;
        QVERIFY2(apply_scenario_setup(StateFolder(state_dir), QStringList{"--reset"} + setup, &error),
                 qPrintable(error));
        const QByteArray image = pseudo_random_image(fixture_image_size);
        QFile fw(dir.filePath(QStringLiteral("fw.bin")));
        QVERIFY(fw.open(QIODevice::WriteOnly) && fw.write(image) == image.size());
        fw.close();
        if (fixture == QLatin1String("upload-existing-file"))
            QVERIFY(QFile(dir.filePath(QStringLiteral("otp.bin"))).open(QIODevice::WriteOnly));

        const Run run = run_under_harness(state_dir, dir.path(), args);

        const QString base = QStringLiteral(DFU_UTIL_FIXTURES "/") + fixture;
        QCOMPARE(QString::fromUtf8(run.out), QString::fromUtf8(read_file(base + QStringLiteral(".stdout"))));
        QCOMPARE(QString::fromUtf8(run.err), QString::fromUtf8(read_file(base + QStringLiteral(".stderr"))));
        QCOMPARE(run.exit_code, exit_code);
    }

    // What the device went through, as its log tells, for the three downloads.
    void download_leaves_its_trace_in_the_device_data()
    {
        QTest::addColumn<QStringList>("setup");
        QTest::addColumn<int>("writes");
        QTest::addColumn<bool>("image_in_flash");
        QTest::addColumn<QString>("last_line");
        QTest::newRow("good") << QStringList() << 20 << true << "leave";
        QTest::newRow("vanish at leave") << QStringList{"--fault", "vanish-at-leave"} << 20 << true << "vanish at leave";
        QTest::newRow("write error") << QStringList{"--fault", "write-error-block=3"} << 3 << false
                                     << "write-error 0x08001800 2048";
    }
    void download_leaves_its_trace_in_the_device()
    {
        QFETCH(QStringList, setup);
        QFETCH(int, writes);
        QFETCH(bool, image_in_flash);
        QFETCH(QString, last_line);
        QTemporaryDir dir;
        const QString state_dir = dir.filePath(QStringLiteral("device"));
        const StateFolder state(state_dir);
        QString error;
        QVERIFY2(apply_scenario_setup(state, QStringList{"--reset", "--flash-product", "HALK", "--flash-revision",
                                                         "3.1.0"} + setup, &error),
                 qPrintable(error));
        const QByteArray image = pseudo_random_image(fixture_image_size);
        QFile fw(dir.filePath(QStringLiteral("fw.bin")));
        QVERIFY(fw.open(QIODevice::WriteOnly) && fw.write(image) == image.size());
        fw.close();

        run_under_harness(state_dir, dir.path(), {"-d", "0483", "-a", "0", "-s", "0x08000000:leave", "-D", "fw.bin"});

        const QStringList log = state.log();
        QCOMPARE(log.filter(QRegularExpression("^erase ")),
                 QStringList({"erase 0x08000000 16384", "erase 0x08004000 16384", "erase 0x08008000 16384"}));
        QCOMPARE(log.filter(QRegularExpression("^write ")).size(), writes);
        QVERIFY2(log.contains(last_line), qPrintable(log.join('\n')));
        const QByteArray flash = state.load_memory(stm32_dfuse_bootloader({}).alts[flash_alt].region);
        QCOMPARE(flash.left(image.size()) == image, image_in_flash);
        // Erased past the image up to the end of the third sector, untouched after it.
        QCOMPARE(flash.mid(image.size(), 0xC000 - image.size()), QByteArray(0xC000 - image.size(), char(0xFF)));
        // A device that left DFU mode or vanished is no longer attached.
        QCOMPARE(state.attached(), !image_in_flash);
    }
};

QTEST_GUILESS_MAIN(TestEmulatedDfuUtil)
#include "tst_emulated_dfu_util.moc"
