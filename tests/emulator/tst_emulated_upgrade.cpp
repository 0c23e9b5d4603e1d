// The whole tool in real-device mode under the harness, on a virtual display: the user's
// click, the carried image written by the carried dfu-util, the device re-attaching and
// the read-back, with the device misbehaving in the ways real parts do.
#include "scenario_setup.h"
#include "state_folder.h"
#include "usb_identity.h"

#include "device/fw_info.h"

#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>

using namespace Emulator;

namespace {

constexpr int tool_start_timeout_ms = 60000;
constexpr int upgrade_timeout_ms = 120000;
// Long enough for the tool to poll at least once while the device is away.
constexpr int reattach_delay_ms = 2500;
// How long a scenario in which nothing is to happen is watched.
constexpr int quiet_watch_ms = 8000;
constexpr int poll_interval_ms = 50;
// Centre of the install button in design pixels (207, 417, 250 x 40) of the 665 pixels
// wide design; the window scales them.
constexpr int install_button_centre_x = 207 + 250 / 2;
constexpr int install_button_centre_y = 417 + 40 / 2;
constexpr int design_width = 665;
const char window_title[] = "Vantrel Firmware Upgrade Tool";

// What the tool logs on its way.
const QString offered = QStringLiteral("SM_B: entered B2: Conn. to (DFU-SE) dev. with diff. FW rev.");
const QString enabled = QStringLiteral("Download  enabled");
const QString clicked = QStringLiteral("Install clicked");
const QString upgrading = QStringLiteral("SM_B: entered B3: Upgrading FW");
const QString matches = QStringLiteral("SM_B: entered B6: FW in dev. matches");
const QString differs = QStringLiteral("SM_B: entered B7: FW in dev. differs");
const QString invalid_product = QStringLiteral("SM_B: entered B8: Invalid (DFU-SE) dev. conn.");

QByteArray read_file(QString const& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// The tool running under the harness, with everything it prints collected.
class ToolRun {
public:
    explicit ToolRun(QString const& state_dir)
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
        process_.setProcessEnvironment(env);
        process_.setProcessChannelMode(QProcess::MergedChannels);
        process_.start(QStringLiteral(DFUSE_EMULATOR),
                       {QStringLiteral("run"), state_dir, QStringLiteral("--"), QStringLiteral(UPGRADE_TOOL)});
    }
    ~ToolRun()
    {
        if (process_.state() != QProcess::NotRunning) {
            process_.terminate(); // the harness hands it on to the tool
            if (!process_.waitForFinished(15000))
                process_.kill();
            process_.waitForFinished();
        }
    }
    QString output()
    {
        text_ += QString::fromUtf8(process_.readAll());
        return text_;
    }
    int count(QString const& line) { return output().count(line); }
    bool wait_for(QString const& line, int occurrences, int timeout_ms)
    {
        QElapsedTimer timer;
        timer.start();
        while (count(line) < occurrences) {
            if (timer.elapsed() > timeout_ms || process_.state() == QProcess::NotRunning)
                return false;
            process_.waitForReadyRead(poll_interval_ms);
        }
        return true;
    }
    void watch(int ms)
    {
        QElapsedTimer timer;
        timer.start();
        while (timer.elapsed() < ms && process_.state() != QProcess::NotRunning)
            process_.waitForReadyRead(poll_interval_ms);
        output();
    }

private:
    QProcess process_;
    QString text_;
};

bool click_install_button(QString* why)
{
    QProcess search;
    search.start(QStringLiteral("xdotool"),
                 {QStringLiteral("search"), QStringLiteral("--sync"), QStringLiteral("--onlyvisible"),
                  QStringLiteral("--name"), QStringLiteral("^%1$").arg(QLatin1String(window_title))});
    if (!search.waitForFinished(30000) || search.exitCode() != 0) {
        *why = QStringLiteral("no window found");
        return false;
    }
    const QString window = QString::fromUtf8(search.readAllStandardOutput()).split('\n').first().trimmed();
    QProcess geometry;
    geometry.start(QStringLiteral("xdotool"), {QStringLiteral("getwindowgeometry"), QStringLiteral("--shell"), window});
    geometry.waitForFinished(10000);
    int x = -1, y = -1, width = 0;
    for (QString const& line : QString::fromUtf8(geometry.readAllStandardOutput()).split('\n')) {
        if (line.startsWith(QLatin1String("X=")))
            x = line.mid(2).toInt();
        else if (line.startsWith(QLatin1String("Y=")))
            y = line.mid(2).toInt();
        else if (line.startsWith(QLatin1String("WIDTH=")))
            width = line.mid(6).toInt();
    }
    if (x < 0 || y < 0 || width <= 0) {
        *why = QStringLiteral("no geometry for window ") + window;
        return false;
    }
    const int rc = QProcess::execute(
        QStringLiteral("xdotool"),
        {QStringLiteral("mousemove"), QStringLiteral("--sync"),
         QString::number(x + install_button_centre_x * width / design_width),
         QString::number(y + install_button_centre_y * width / design_width), QStringLiteral("click"),
         QStringLiteral("1")});
    if (rc != 0)
        *why = QStringLiteral("xdotool exited %1").arg(rc);
    return rc == 0;
}

} // namespace

class TestEmulatedUpgrade : public QObject {
    Q_OBJECT

    QByteArray carried_;
    Device::FW_Info carried_info_;

    QString carried_product() const { return QString::number(carried_info_.product.raw_type); }

private slots:
    void initTestCase()
    {
        if (qEnvironmentVariableIsEmpty("DISPLAY"))
            QSKIP("no X display: run under xvfb-run, as CTest does");
        if (QStandardPaths::findExecutable(QStringLiteral("xdotool")).isEmpty())
            QSKIP("xdotool is not installed");
        carried_ = read_file(QStringLiteral(CARRIED_FIRMWARE));
        carried_info_ = Device::make_FW_Info(carried_);
        QVERIFY(carried_info_.valid);

        // Can umockdev emulate a device here at all?
        QTemporaryDir dir;
        const QString state_dir = dir.filePath(QStringLiteral("device"));
        QString error;
        QVERIFY(apply_scenario_setup(StateFolder(state_dir), {QStringLiteral("--reset")}, &error));
        QProcess probe;
        probe.start(QStringLiteral(DFUSE_EMULATOR), {QStringLiteral("run"), state_dir, QStringLiteral("--"),
                                                     QStringLiteral(CARRIED_DFU_UTIL), QStringLiteral("-l")});
        probe.waitForFinished(60000);
        if (!probe.readAllStandardOutput().contains("Found DFU: [0483:df11]"))
            QSKIP("umockdev cannot emulate a USB device here");
    }

    void upgrade_data()
    {
        QTest::addColumn<QStringList>("setup");
        QTest::addColumn<QString>("outcome");
        QTest::addColumn<int>("outcome_count");
        QTest::addColumn<bool>("image_written");
        QTest::newRow("older revision") << QStringList() << matches << 1 << true;
        // dfu-util exits 74 after a good write: the read-back still proves it.
        QTest::newRow("exit 74 at leave") << QStringList{"--fault", "vanish-at-leave"} << matches << 1 << true;
        QTest::newRow("write error") << QStringList{"--fault", "write-error-block=1"} << differs << 1 << false;
        // Unplugged mid-write and reconnected holding its old firmware: offered again.
        QTest::newRow("vanishing during the download")
            << QStringList{"--fault", "vanish-at-block=4", "--reattach-flash", "OLD"} << offered << 2 << false;
    }
    void upgrade()
    {
        QFETCH(QStringList, setup);
        QFETCH(QString, outcome);
        QFETCH(int, outcome_count);
        QFETCH(bool, image_written);
        QTemporaryDir dir;
        const QString state_dir = dir.filePath(QStringLiteral("device"));
        const StateFolder state(state_dir);
        const QString old_image = dir.filePath(QStringLiteral("old.bin"));
        QString error;
        QVERIFY2(apply_scenario_setup(state, {"--reset", "--flash-product", carried_product(), "--flash-revision",
                                              "0.0.1-old"}, &error), qPrintable(error));
        QVERIFY(QFile::copy(state_dir + QStringLiteral("/flash.bin"), old_image));
        setup.replaceInStrings(QStringLiteral("OLD"), old_image);
        QVERIFY2(apply_scenario_setup(state, QStringList{"--otp-product", carried_product(), "--reattach-after-ms",
                                                         QString::number(reattach_delay_ms)} + setup, &error),
                 qPrintable(error));

        ToolRun tool(state_dir);
        QVERIFY2(tool.wait_for(offered, 1, tool_start_timeout_ms) && tool.wait_for(enabled, 1, tool_start_timeout_ms),
                 qPrintable(tool.output().right(3000)));
        QString why;
        QVERIFY2(click_install_button(&why), qPrintable(why));
        QVERIFY2(tool.wait_for(clicked, 1, tool_start_timeout_ms) && tool.wait_for(upgrading, 1, tool_start_timeout_ms),
                 qPrintable(tool.output().right(3000)));
        QVERIFY2(tool.wait_for(outcome, outcome_count, upgrade_timeout_ms), qPrintable(tool.output().right(5000)));
        QCOMPARE(tool.count(matches), image_written ? 1 : 0);

        QVERIFY(!state.log_lines_starting(QStringLiteral("erase 0x08000000")).isEmpty());
        const QByteArray flash = state.load_memory(stm32_dfuse_bootloader({}).alts[flash_alt].region);
        QCOMPARE(flash.left(carried_.size()) == carried_, image_written);
        if (image_written) {
            QCOMPARE(state.log_lines_starting(QStringLiteral("write ")).size(), (carried_.size() + 2047) / 2048);
            // Re-attached, then read back over the image's length.
            QCOMPARE(state.log_lines_starting(QStringLiteral("attach ")).size(), 2);
            const int last_block = (carried_.size() - 1) / 2048;
            const QString last_read =
                QStringLiteral("read 0x") + QStringLiteral("%1").arg(flash_base + 2048 * last_block, 8, 16, QLatin1Char('0')).toUpper()
                + QLatin1Char(' ') + QString::number(carried_.size() - 2048 * last_block);
            QVERIFY2(state.log().contains(last_read), qPrintable(last_read));
        }
    }

    void nothing_is_written_data()
    {
        QTest::addColumn<QStringList>("setup");
        QTest::addColumn<QString>("refusal"); // empty: watched for a while
        QTest::newRow("another product") << QStringList{"--otp-product", "SELV", "--flash-product", "SELV",
                                                        "--flash-revision", "0.0.1-old"}
                                         << invalid_product;
        // dfu-util will not choose between two DFU devices: whatever the window offers,
        // the flash is neither erased nor written.
        QTest::newRow("a second vendor's DFU device")
            << QStringList{"--otp-product", "CARRIED", "--flash-product", "CARRIED", "--flash-revision", "0.0.1-old",
                           "--second-device", "yes"}
            << QString();
    }
    void nothing_is_written()
    {
        QFETCH(QStringList, setup);
        QFETCH(QString, refusal);
        setup.replaceInStrings(QStringLiteral("CARRIED"), carried_product());
        QTemporaryDir dir;
        const QString state_dir = dir.filePath(QStringLiteral("device"));
        const StateFolder state(state_dir);
        QString error;
        QVERIFY2(apply_scenario_setup(state, QStringList{"--reset"} + setup, &error), qPrintable(error));

        ToolRun tool(state_dir);
        if (!refusal.isEmpty())
            QVERIFY2(tool.wait_for(refusal, 1, tool_start_timeout_ms), qPrintable(tool.output().right(3000)));
        else
            tool.watch(quiet_watch_ms);
        // The click of a user who tries anyway.
        QString why;
        QVERIFY2(click_install_button(&why), qPrintable(why));
        tool.watch(quiet_watch_ms);
        if (!refusal.isEmpty()) {
            QCOMPARE(tool.count(enabled), 0);
            QCOMPARE(tool.count(clicked), 0);
        }
        QCOMPARE(tool.count(matches), 0);
        QVERIFY2(state.log_lines_starting(QStringLiteral("erase ")).isEmpty(), qPrintable(state.log().join('\n')));
        QVERIFY(state.log_lines_starting(QStringLiteral("write ")).isEmpty());
        QVERIFY(state.log_lines_starting(QStringLiteral("mass-erase")).isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestEmulatedUpgrade)
#include "tst_emulated_upgrade.moc"
