// Every command of the tool's dfu-util table, run by the tool's own runner with the
// carried dfu-util and libusb, against the emulated bootloader.
#include "emulator_session.h"
#include "usb_identity.h"

#include "device/otp_info.h"
#include "device/fw_info.h"
#include "dfu/command.h"
#include "dfu/dfu_util.h"
#include "dfu/dfu_util_parser.h"
#include "dfu/operations.h"
#include "dfu/scan.h"
#include "files/files.h"
#include "files/support_misc.h"

#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

using namespace Emulator;

namespace {

QByteArray read_file(QString const& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

} // namespace

// The standard build: a blank OTP area accepts no firmware.
bool have_service_build()
{
    return false;
}

class TestEmulatedCommands : public QObject {
    Q_OBJECT

    QTemporaryDir work_;
    QString image_;

    QString work_file(QString const& name) const { return work_.filePath(name); }

    // Starts a device with `setup`; a failure to start fails the test.
    void start(EmulatorSession& session, QStringList const& setup)
    {
        QString why;
        QVERIFY2(session.start(setup, &why), qPrintable(why));
    }

private slots:
    void initTestCase()
    {
        QVERIFY(Files::extract_resources({Files::dfu_util, Files::libusb, Files::desired_FW_bin}, true));
        QVERIFY(support_misc::mark_file_executable(DFU::dfu_util::full_path()));
        DFU::Command::path = Files::external_dir.path();
        image_ = Files::path_of(Files::desired_FW_fileName_bin);

        EmulatorSession probe;
        start(probe, {});
        const DFU::CommandResult listing = DFU::run_command(DFU::list, {});
        if (!listing.output.contains(QLatin1String("Found DFU: [0483:df11]")))
            QSKIP(qPrintable(QStringLiteral("umockdev cannot emulate a USB device here; dfu-util exited %1 with: %2")
                                 .arg(listing.exit_code)
                                 .arg(listing.output.right(300))));
    }

    void version_passes_the_execution_test()
    {
        EmulatorSession session;
        start(session, {});
        QVERIFY(DFU::dfu_util::execution_test());
    }

    void listing_data()
    {
        QTest::addColumn<QStringList>("setup");
        QTest::addColumn<int>("status");
        QTest::addColumn<QStringList>("serials");
        QTest::newRow("one device") << QStringList() << int(DfuUtilParser::one_dfu_device)
                                    << QStringList{"3276365A3235"};
        QTest::newRow("its own serial") << QStringList{"--serial", "0033001F3438"} << int(DfuUtilParser::one_dfu_device)
                                        << QStringList{"0033001F3438"};
        QTest::newRow("no device") << QStringList{"--attached", "no"} << int(DfuUtilParser::no_dfu_device)
                                   << QStringList();
        // dfu-util lists it despite "-d 0483"; the parser keeps only bootloader lines.
        QTest::newRow("another vendor's device too")
            << QStringList{"--second-device", "yes"} << int(DfuUtilParser::one_dfu_device)
            << QStringList{"3276365A3235"};
    }
    void listing()
    {
        QFETCH(QStringList, setup);
        QFETCH(int, status);
        QFETCH(QStringList, serials);
        EmulatorSession session;
        start(session, setup);
        const DFU::CommandResult run = DFU::run_command(DFU::list, {});
        QCOMPARE(run.exit_code, 0);
        const DfuUtilParser parser(run.output);
        QCOMPARE(int(parser.status), status);
        QCOMPARE(parser.serials, serials);
        const DFU::ScanResult scan = DFU::scan_for_devices(run.output);
        QCOMPARE(scan.error == 0, status == DfuUtilParser::one_dfu_device);
        if (scan.error == 0) {
            QCOMPARE(scan.devices.size(), 1);
            QCOMPARE(scan.devices.first().serial, serials.first());
        }
    }

    void otp_read_decodes_data()
    {
        QTest::addColumn<QStringList>("setup");
        QTest::addColumn<int>("type");
        QTest::addColumn<int>("raw_type");
        QTest::addColumn<bool>("valid");
        QTest::addColumn<bool>("blank");
        QTest::newRow("carried product") << QStringList{"--otp-product", "HALK"} << int(Device::Halkora) << 140 << true
                                         << false;
        QTest::newRow("another product") << QStringList{"--otp-product", "FINO"} << int(Device::Fino) << 30 << true
                                         << false;
        QTest::newRow("blank") << QStringList{"--otp-blank"} << int(Device::Invalid) << 0 << false << true;
        QTest::newRow("unknown code") << QStringList{"--otp-product", "7"} << int(Device::Invalid) << 7 << false
                                      << false;
    }
    void otp_read_decodes()
    {
        QFETCH(QStringList, setup);
        QFETCH(int, type);
        QFETCH(int, raw_type);
        QFETCH(bool, valid);
        QFETCH(bool, blank);
        EmulatorSession session;
        start(session, setup);
        const QString target = work_file(QStringLiteral("otp-%1.bin").arg(QTest::currentDataTag()));
        QCOMPARE(DFU::run_command(DFU::upload_OTP, {target}).exit_code, 0);
        QCOMPARE(QFileInfo(target).size(), 512);
        const Device::OTP_Info otp = Device::make_OTP_Info(target);
        QCOMPARE(int(otp.product.type), type);
        QCOMPARE(int(otp.product.raw_type), raw_type);
        QCOMPARE(otp.valid, valid);
        QCOMPARE(otp.blank, blank);
        QCOMPARE(session.state().log_lines_starting("read "), QStringList{"read 0x1FFF7800 512"});
    }

    void otp_read_error_fails_the_run()
    {
        EmulatorSession session;
        start(session, {"--otp-product", "HALK", "--fault", "otp-read-error"});
        QCOMPARE(DFU::run_command(DFU::upload_OTP, {work_file(QStringLiteral("otp-error.bin"))}).exit_code, 74);
        DFU::DeviceInfo info;
        QCOMPARE(DFU::read_device_info(nullptr, &info).exit_code, 74);
        QVERIFY(!info.valid);
    }

    void info_block_read_decodes_data()
    {
        QTest::addColumn<QStringList>("setup");
        QTest::addColumn<bool>("valid");
        QTest::addColumn<int>("type");
        QTest::addColumn<QString>("revision");
        QTest::newRow("older revision") << QStringList{"--flash-product", "HALK", "--flash-revision", "3.1.0"} << true
                                        << int(Device::Halkora) << "3.1.0";
        QTest::newRow("another product") << QStringList{"--flash-product", "SELV", "--flash-revision", "0.9"} << true
                                         << int(Device::Selvo) << "0.9";
        QTest::newRow("erased flash") << QStringList{"--flash-erased"} << false << int(Device::Invalid) << QString();
    }
    void info_block_read_decodes()
    {
        QFETCH(QStringList, setup);
        QFETCH(bool, valid);
        QFETCH(int, type);
        QFETCH(QString, revision);
        EmulatorSession session;
        start(session, setup);
        const QString target = work_file(QStringLiteral("info-%1.bin").arg(QTest::currentDataTag()));
        QCOMPARE(DFU::run_command(DFU::upload_FW_info, {target}).exit_code, 0);
        const Device::FW_Info info = Device::make_FW_Info(target);
        QCOMPARE(info.valid, valid);
        QCOMPARE(int(info.product.type), type);
        QCOMPARE(info.revision, revision);
        QCOMPARE(session.state().log_lines_starting("read "), QStringList{"read 0x08000000 2048"});
    }

    // A download with leave, the device re-attached in DFU mode, and a read-back.
    void download_then_reattach_and_read_back_data()
    {
        QTest::addColumn<QString>("fault");
        QTest::addColumn<int>("exit_code");
        QTest::addColumn<QString>("gone_line");
        QTest::newRow("clean leave") << "none" << 0 << "leave";
        // A real part often resets before its last status answer: only the read-back tells.
        QTest::newRow("vanishing at leave") << "vanish-at-leave" << 74 << "vanish at leave";
    }
    void download_then_reattach_and_read_back()
    {
        QFETCH(QString, fault);
        QFETCH(int, exit_code);
        QFETCH(QString, gone_line);
        EmulatorSession session;
        start(session, {"--otp-product", "HALK", "--flash-product", "HALK", "--flash-revision", "3.1.0",
                        "--reattach-after-ms", "300", "--fault", fault});
        const QByteArray image = read_file(image_);
        QVERIFY(image.size() > 2048);

        QCOMPARE(DFU::download_FW_to_device(image_), exit_code);
        QVERIFY(session.wait_for_log(QStringLiteral("attach "), 2));

        const QStringList log = session.state().log();
        QVERIFY2(log.contains(gone_line), qPrintable(log.join('\n')));
        const int blocks = (image.size() + 2047) / 2048;
        QCOMPARE(session.state().log_lines_starting("write ").size(), blocks);
        QCOMPARE(session.state().log_lines_starting("erase ").first(), QStringLiteral("erase 0x08000000 16384"));

        const QString uploaded = work_file(QStringLiteral("readback-%1.bin").arg(QTest::currentDataTag()));
        QCOMPARE(DFU::run_command(DFU::upload_FW, {"-s", QStringLiteral("0x08000000:%1").arg(image.size()), "-U",
                                                  uploaded})
                     .exit_code,
                 0);
        QCOMPARE(read_file(uploaded), image);
        QCOMPARE(Device::make_FW_Info(read_file(uploaded)).revision, Device::make_FW_Info(image).revision);
    }

    void write_error_fails_and_the_read_back_differs()
    {
        EmulatorSession session;
        start(session, {"--flash-product", "HALK", "--flash-revision", "3.1.0", "--fault", "write-error-block=1"});
        QCOMPARE(DFU::download_FW_to_device(image_), 74);
        QVERIFY(session.state().attached());
        QVERIFY(!DFU::upload_and_compare_FW_bin(image_, work_file(QStringLiteral("readback-write-error.bin"))));
    }

    void vanishing_during_download_then_reattach_with_old_content()
    {
        QTemporaryDir dir;
        const QString old_image = dir.filePath(QStringLiteral("old.bin"));
        {
            EmulatorSession maker;
            start(maker, {"--flash-product", "HALK", "--flash-revision", "3.1.0"});
            QVERIFY(QFile::copy(maker.state_dir() + QStringLiteral("/flash.bin"), old_image));
        }
        EmulatorSession session;
        start(session, {"--flash-file", old_image, "--fault", "vanish-at-block=4", "--reattach-after-ms", "200",
                        "--reattach-flash", old_image});
        QCOMPARE(DFU::download_FW_to_device(image_), 74);
        QVERIFY(session.wait_for_log(QStringLiteral("attach "), 2));
        QVERIFY(session.state().log().contains(QStringLiteral("vanish during download at 0x08002000")));
        QCOMPARE(DFU::read_FW_Info(nullptr).revision, QStringLiteral("3.1.0"));
    }

    // The listing shows one bootloader, but dfu-util refuses to choose between two DFU
    // devices that both have the alternate setting asked for: the other vendor's device
    // has no alternate setting 2, so the OTP area still reads, and nothing else does.
    // The device read then fails as a whole, so no upgrade is offered on an empty revision.
    void with_a_second_device_flash_is_neither_read_nor_written()
    {
        EmulatorSession session;
        start(session, {"--second-device", "yes", "--otp-product", "HALK", "--flash-product", "HALK",
                        "--flash-revision", "3.1.0"});
        QVERIFY(DFU::run_command(DFU::list, {}).output.contains(QLatin1String("Found DFU: [1209:2444]")));
        DFU::DeviceInfo info;
        const DFU::CommandResult read = DFU::read_device_info(nullptr, &info);
        QCOMPARE(read.exit_code, 74);
        QVERIFY(read.output.endsWith(QLatin1String("Reading the firmware info block failed.")));
        QCOMPARE(int(info.OTP_info.product.type), int(Device::Halkora));
        QVERIFY(!info.FW_info.valid);
        QVERIFY(info.FW_revision.isEmpty());
        QCOMPARE(DFU::download_FW_to_device(image_), 74);
        QCOMPARE(session.state().log_lines_starting("read "), QStringList{"read 0x1FFF7800 512"});
        QVERIFY(session.state().log_lines_starting("erase ").isEmpty());
        QVERIFY(session.state().log_lines_starting("write ").isEmpty());
    }

    void upload_onto_an_existing_file_fails()
    {
        EmulatorSession session;
        start(session, {"--flash-product", "HALK", "--flash-revision", "3.1.0"});
        const QString existing = work_file(QStringLiteral("existing.bin"));
        {
            QFile f(existing);
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write("keep me");
        }
        QCOMPARE(DFU::run_command(DFU::upload_FW_info, {existing}).exit_code, 73);
        QCOMPARE(read_file(existing), QByteArray("keep me"));
        // dfu-util opened the device before it refused the file: nothing was read.
        QVERIFY(session.state().log_lines_starting("read ").isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestEmulatedCommands)
#include "tst_emulated_commands.moc"
