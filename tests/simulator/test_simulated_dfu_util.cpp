// What the simulated dfu-util answers, per command and prepared configuration, through the system's runner.
#include "device/fw_info.h"
#include "device/otp_info.h"
#include "device/product.h"
#include "dfu/command.h"
#include "dfu/dfu_util.h"
#include "dfu/dfu_util_parser.h"
#include "simulator/simulator.h"

#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

namespace {

// What a command is expected to leave: the output or the file it writes.
enum class Expect {
    nothing,          // no output file
    empty_file,       // an output file of 0 bytes (a read that failed after creating it)
    version_text,     // standard output is the carried dfu-util's -V text
    not_listed,       // the listing shows no bootloader
    listed_once,      // one bootloader: four alternate settings, one serial
    listed_twice,     // two bootloaders with different serials
    otp_carried,      // OTP record of the carried image's product
    otp_other,        // OTP record of another listed product
    otp_blank,        // erased OTP area
    otp_unknown_code, // OTP record with a code the catalogue lacks
    info_older,       // info block: carried product, another revision
    info_carried,     // info block: carried product and revision
    info_other,       // info block of another product
    info_erased,      // erased flash, no info block
    flash_carried,    // the carried image, byte for byte
};

QByteArray read_file(QString const& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

struct Listing {
    QStringList serials;
    QList<int> alts;
    bool well_formed = true;
};

// The bootloader lines of a listing, each checked against dfu-util 0.11's format, which is
// stricter than what the system's parser needs.
Listing parse_listing(QString const& output)
{
    static const QRegularExpression line(QString::fromLatin1(
        R"re(^Found DFU: \[0483:df11\] ver=2200, devnum=\d+, cfg=1, intf=0, path="\d+-\d+(\.\d+)*", )re"
        R"re(alt=(\d), name="@[^"/]+/0x[0-9A-F]{8}/[^"]+", serial="([0-9A-F]{12})"$)re"));
    Listing listing;
    for (QString const& text : output.split(QLatin1Char('\n'))) {
        if (!text.startsWith(QLatin1String("Found DFU")))
            continue;
        const auto match = line.match(text);
        if (!match.hasMatch()) {
            qWarning() << "listing line not in dfu-util's format:" << text;
            listing.well_formed = false;
            continue;
        }
        listing.alts << match.captured(2).toInt();
        listing.serials << match.captured(3);
    }
    return listing;
}

QString serial_of(QString const& output)
{
    const Listing listing = parse_listing(output);
    return listing.serials.isEmpty() ? QString() : listing.serials.first();
}

struct Run {
    int exit_code;
    QByteArray out;
    QByteArray err;
};

} // namespace

Q_DECLARE_METATYPE(Expect)
Q_DECLARE_METATYPE(DFU::CmdID)

class TestSimulatedDfuUtil : public QObject {
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> state;
    std::unique_ptr<QTemporaryDir> work;
    QByteArray carried_image;
    Device::FW_Info carried;

    QString out_path() const { return work->filePath(QStringLiteral("read.bin")); }

    QStringList extra_for(DFU::CmdID command, int length) const
    {
        switch (command) {
        case DFU::upload_OTP:
        case DFU::upload_FW_info:
            return {out_path()};
        case DFU::upload_FW:
            return {QStringLiteral("-s"), QStringLiteral("0x08000000:%1").arg(length), QStringLiteral("-U"), out_path()};
        case DFU::download_FW:
            return {QStringLiteral(CARRIED_DIR "/firmware.bin")};
        default:
            return {};
        }
    }

    // Runs the rewritten command directly, for what the runner does not keep: standard error.
    Run run_script(DFU::CmdID command, QStringList const& extra)
    {
        QProcess process;
        process.start(DFU::commands[command].program, DFU::commands[command].args + extra);
        process.waitForFinished(-1);
        return {process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1,
                process.readAllStandardOutput(), process.readAllStandardError()};
    }

    void check(Expect expect, QString const& output, QString const& path, int length);

private slots:
    void initTestCase();
    void init();
    void command_data();
    void command();
    void download_data();
    void download();
    void upload_never_overwrites_data();
    void upload_never_overwrites();
    void unknown_configuration_fails_and_keeps_state();
    void help_names_the_state_folder();
};

void TestSimulatedDfuUtil::initTestCase()
{
    simulator::setup_for_simulated_dfu_util(simulator::fast_progress);
    carried_image = read_file(QStringLiteral(CARRIED_DIR "/firmware.bin"));
    carried = Device::make_FW_Info(carried_image);
    QVERIFY2(carried.valid, "the carried image holds no info block");
}

void TestSimulatedDfuUtil::init()
{
    state = std::make_unique<QTemporaryDir>();
    work = std::make_unique<QTemporaryDir>();
    QVERIFY(state->isValid() && work->isValid());
    qputenv("VANTREL_SIMULATOR_STATE_DIR", state->path().toLocal8Bit());
}

void TestSimulatedDfuUtil::check(Expect expect, QString const& output, QString const& path, int length)
{
    const bool written = !path.isEmpty() && QFile::exists(path);
    const QByteArray bytes = written ? read_file(path) : QByteArray();
    const Listing listing = parse_listing(output);
    QVERIFY(listing.well_formed);
    const QList<int> alts{3, 2, 1, 0};
    Device::OTP_Info otp;
    Device::FW_Info info;
    if (expect >= Expect::otp_carried && expect <= Expect::otp_unknown_code)
        otp = Device::make_OTP_Info(bytes);
    if (expect >= Expect::info_older && expect <= Expect::info_other)
        info = Device::make_FW_Info(bytes);

    switch (expect) {
    case Expect::nothing:
        QVERIFY(!written);
        break;
    case Expect::empty_file:
        QVERIFY(written);
        QCOMPARE(bytes.size(), 0);
        break;
    case Expect::version_text:
        QCOMPARE(output, DFU::dfu_util::expected_output_of_execution_test);
        break;
    case Expect::not_listed:
        QVERIFY(listing.serials.isEmpty());
        QCOMPARE(DfuUtilParser(output).status, DfuUtilParser::no_dfu_device);
        break;
    case Expect::listed_once:
        QCOMPARE(listing.alts, alts);
        QCOMPARE(listing.serials.count(listing.serials.first()), 4);
        QCOMPARE(DfuUtilParser(output).status, DfuUtilParser::one_dfu_device);
        break;
    case Expect::listed_twice:
        QCOMPARE(DfuUtilParser(output).status, DfuUtilParser::multiple_dfu_devices);
        QCOMPARE(listing.alts, alts + alts);
        QCOMPARE(listing.serials.count(listing.serials.first()), 4);
        QCOMPARE(listing.serials.count(listing.serials.last()), 4);
        QVERIFY(listing.serials.first() != listing.serials.last());
        break;
    case Expect::otp_carried:
    case Expect::otp_other:
        QCOMPARE(bytes.size(), 512);
        QVERIFY(otp.valid);
        QCOMPARE(otp.product.type == carried.product.type, expect == Expect::otp_carried);
        break;
    case Expect::otp_blank:
        QCOMPARE(bytes.size(), 512);
        QVERIFY(otp.blank);
        break;
    case Expect::otp_unknown_code:
        QVERIFY(!otp.valid && !otp.blank);
        QCOMPARE(Device::to_Type(static_cast<unsigned char>(otp.product.raw_type)), Device::Unknown);
        break;
    case Expect::info_older:
    case Expect::info_carried:
    case Expect::info_other:
        QCOMPARE(bytes.size(), length);
        QVERIFY(info.valid);
        QCOMPARE(info.product == carried.product, expect != Expect::info_other);
        if (expect == Expect::info_other)
            QVERIFY(Device::is_known(info.product.type));
        else
            QCOMPARE(info.revision == carried.revision, expect == Expect::info_carried);
        break;
    case Expect::info_erased:
        QCOMPARE(bytes, QByteArray(length, char(0xFF)));
        break;
    case Expect::flash_carried:
        QCOMPARE(bytes, carried_image);
        break;
    }
}

void TestSimulatedDfuUtil::command_data()
{
    QTest::addColumn<QString>("config"); // empty: the state folder starts empty
    QTest::addColumn<DFU::CmdID>("command");
    QTest::addColumn<int>("length");
    QTest::addColumn<int>("exit_code");
    QTest::addColumn<Expect>("expect");

    const int image = -1; // the carried image's length
    struct Row {
        const char* name;
        const char* config;
        DFU::CmdID command;
        int length;
        int exit_code;
        Expect expect;
    };
    const Row rows[] = {
        {"version", "", DFU::version, 0, 0, Expect::version_text},
        {"no state: one device", "", DFU::list, 0, 0, Expect::listed_once},
        {"no state: carried product", "", DFU::upload_OTP, 0, 0, Expect::otp_carried},
        {"no state: older revision", "", DFU::upload_FW_info, 2048, 0, Expect::info_older},
        {"older-revision", "older-revision", DFU::upload_FW_info, 2048, 0, Expect::info_older},
        {"carried-revision: info", "carried-revision", DFU::upload_FW_info, 2048, 0, Expect::info_carried},
        {"carried-revision: read-back", "carried-revision", DFU::upload_FW, image, 0, Expect::flash_carried},
        {"other-product: OTP", "other-product", DFU::upload_OTP, 0, 0, Expect::otp_other},
        {"other-product: info", "other-product", DFU::upload_FW_info, 2048, 0, Expect::info_other},
        {"blank-otp: OTP", "blank-otp", DFU::upload_OTP, 0, 0, Expect::otp_blank},
        {"blank-otp: erased flash", "blank-otp", DFU::upload_FW_info, 2048, 0, Expect::info_erased},
        {"unknown-product-code", "unknown-product-code", DFU::upload_OTP, 0, 0, Expect::otp_unknown_code},
        {"firmware-of-other-product: OTP", "firmware-of-other-product", DFU::upload_OTP, 0, 0, Expect::otp_carried},
        {"firmware-of-other-product: info", "firmware-of-other-product", DFU::upload_FW_info, 2048, 0,
         Expect::info_other},
        {"no-device: listing", "no-device", DFU::list, 0, 0, Expect::not_listed},
        {"no-device: OTP", "no-device", DFU::upload_OTP, 0, 74, Expect::nothing},
        {"no-device: info", "no-device", DFU::upload_FW_info, 2048, 74, Expect::nothing},
        {"no-device: download", "no-device", DFU::download_FW, 0, 74, Expect::nothing},
        {"two-devices: listing", "two-devices", DFU::list, 0, 0, Expect::listed_twice},
        {"two-devices: OTP", "two-devices", DFU::upload_OTP, 0, 74, Expect::nothing},
        {"two-devices: download", "two-devices", DFU::download_FW, 0, 74, Expect::nothing},
        {"otp-read-fails: listed", "otp-read-fails", DFU::list, 0, 0, Expect::listed_once},
        {"otp-read-fails: OTP", "otp-read-fails", DFU::upload_OTP, 0, 74, Expect::empty_file},
        {"otp-read-fails: info", "otp-read-fails", DFU::upload_FW_info, 2048, 0, Expect::info_older},
    };
    for (Row const& row : rows)
        QTest::newRow(row.name) << QString::fromLatin1(row.config) << row.command
                                << (row.length == image ? carried_image.size() : row.length) << row.exit_code
                                << row.expect;
}

void TestSimulatedDfuUtil::command()
{
    QFETCH(QString, config);
    QFETCH(DFU::CmdID, command);
    QFETCH(int, length);
    QFETCH(int, exit_code);
    QFETCH(Expect, expect);

    if (!config.isEmpty())
        QCOMPARE(simulator::sim_setup_prepared_config(config), 0);
    const DFU::CommandResult result = DFU::run_command(command, extra_for(command, length));
    QCOMPARE(result.exit_code, exit_code);
    // Like dfu-util, every command prints its version banner first.
    QVERIFY(result.output.startsWith(DFU::dfu_util::expected_output_of_execution_test));
    check(expect, result.output, out_path(), length);
}

void TestSimulatedDfuUtil::download_data()
{
    QTest::addColumn<QString>("config");
    QTest::addColumn<int>("exit_code");
    QTest::addColumn<int>("listings_absent");
    QTest::addColumn<Expect>("info_after");
    QTest::addColumn<bool>("read_back_matches");

    QTest::newRow("older-revision") << "older-revision" << 0 << 2 << Expect::info_carried << true;
    QTest::newRow("read-back-differs") << "read-back-differs" << 0 << 2 << Expect::info_carried << false;
    // The device resets before its last status answer: dfu-util fails, yet the image is written.
    QTest::newRow("leave-error") << "leave-error" << 74 << 2 << Expect::info_carried << true;
    // A failed write leaves the device in DFU mode with erased flash.
    QTest::newRow("write-error") << "write-error" << 74 << 0 << Expect::info_erased << false;
}

void TestSimulatedDfuUtil::download()
{
    QFETCH(QString, config);
    QFETCH(int, exit_code);
    QFETCH(int, listings_absent);
    QFETCH(Expect, info_after);
    QFETCH(bool, read_back_matches);

    QCOMPARE(simulator::sim_setup_prepared_config(config), 0);
    const QString serial = serial_of(DFU::run_command(DFU::list, {}).output);
    QVERIFY(!serial.isEmpty());

    QCOMPARE(DFU::run_command(DFU::download_FW, extra_for(DFU::download_FW, 0)).exit_code, exit_code);
    for (int i = 0; i < listings_absent; ++i)
        QVERIFY(parse_listing(DFU::run_command(DFU::list, {}).output).serials.isEmpty());
    const QString listing = DFU::run_command(DFU::list, {}).output;
    check(Expect::listed_once, listing, QString(), 0);
    QCOMPARE(serial_of(listing), serial);

    QCOMPARE(DFU::run_command(DFU::upload_FW_info, extra_for(DFU::upload_FW_info, 0)).exit_code, 0);
    check(info_after, QString(), out_path(), 2048);
    QFile::remove(out_path());
    QCOMPARE(DFU::run_command(DFU::upload_FW, extra_for(DFU::upload_FW, carried_image.size())).exit_code, 0);
    const QByteArray read_back = read_file(out_path());
    QCOMPARE(read_back.size(), carried_image.size());
    QCOMPARE(read_back == carried_image, read_back_matches);
}

void TestSimulatedDfuUtil::upload_never_overwrites_data()
{
    QTest::addColumn<QString>("config");
    QTest::addColumn<int>("exit_code");
    QTest::addColumn<QString>("message");

    QTest::newRow("device present") << "older-revision" << 73 << "Cannot open file %1 for writing: File exists";
    // dfu-util opens the device before the file.
    QTest::newRow("no device") << "no-device" << 74 << "No DFU capable USB device available";
}

void TestSimulatedDfuUtil::upload_never_overwrites()
{
    QFETCH(QString, config);
    QFETCH(int, exit_code);
    QFETCH(QString, message);

    QCOMPARE(simulator::sim_setup_prepared_config(config), 0);
    QFile existing(out_path());
    QVERIFY(existing.open(QIODevice::WriteOnly));
    existing.write("keep me");
    existing.close();

    const Run run = run_script(DFU::upload_OTP, {out_path()});
    QCOMPARE(run.exit_code, exit_code);
    QVERIFY2(run.err.contains(message.replace(QLatin1String("%1"), out_path()).toUtf8()), run.err.constData());
    QCOMPARE(read_file(out_path()), QByteArray("keep me"));
}

void TestSimulatedDfuUtil::unknown_configuration_fails_and_keeps_state()
{
    QCOMPARE(simulator::sim_setup_prepared_config(QStringLiteral("two-devices")), 0);
    const Run run = run_script(DFU::setup_prepared_config, {QStringLiteral("no-such-config")});
    QVERIFY(run.exit_code != 0);
    QVERIFY2(run.err.contains("\"no-such-config\"") && run.err.contains("older-revision"), run.err.constData());
    QVERIFY(simulator::sim_setup_prepared_config(QStringLiteral("no-such-config")) != 0);
    check(Expect::listed_twice, DFU::run_command(DFU::list, {}).output, QString(), 0);
}

void TestSimulatedDfuUtil::help_names_the_state_folder()
{
    const Run run = run_script(DFU::setup_prepared_config, {QStringLiteral("help")});
    QCOMPARE(run.exit_code, 0);
    QVERIFY2(run.out.contains(state->path().toLocal8Bit()), run.out.constData());
}

QTEST_GUILESS_MAIN(TestSimulatedDfuUtil)
#include "test_simulated_dfu_util.moc"
