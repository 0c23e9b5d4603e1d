// Tests of the device operations against a stand-in dfu-util: command lines, identity, read-back comparison.
#include "device/record_writer.h"
#include "dfu/command.h"
#include "dfu/operations.h"
#include "dfu/scan.h"
#include "files/files.h"
#include "log_capture.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

namespace {

bool service_build = false;

// What the stand-in does for one kind of run: its exit code and, when `writes`, the bytes
// it puts into the file after -U.
struct Answer {
    int exit_code = 0;
    bool writes = false;
    QByteArray bytes;
};

Answer writes(QByteArray const& bytes, int exit_code = 0)
{
    return Answer{exit_code, true, bytes};
}

Answer no_file(int exit_code = 0)
{
    return Answer{exit_code, false, QByteArray()};
}

const Device::ProductInfoRaw halkora{140, 0xFF, 0xFF, 0xFF};
const Device::ProductInfoRaw halkora_other_ext{140, 0x01, 0xFF, 0xFF};
const Device::ProductInfoRaw korvath{3, 0xFF, 0xFF, 0xFF};

QByteArray otp_dump(Device::ProductInfoRaw product)
{
    return Device::write_OTP_dump(Device::write_OTP_record(product));
}

// The first 2048 bytes of a flash holding firmware of `product`.
QByteArray flash_start(Device::ProductInfoRaw product, QString const& name, QString const& revision,
                       QList<QPair<QString, QString>> const& details = {})
{
    return Device::write_firmware_image(Device::write_FW_Info_block(product, name, revision, details), 2048);
}

const QString mismatch = QStringLiteral("FW assumed invalid because of product type mismatch.\nOTP contains");

QByteArray fixture(QString const& name)
{
    QFile file(QStringLiteral(VANTREL_DFU_FIXTURES_DIR "/") + name);
    if (!file.open(QIODevice::ReadOnly))
        qFatal("missing fixture %s", qPrintable(name));
    return file.readAll();
}

bool write_file(QString const& path, QByteArray const& bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(bytes) == bytes.size();
}

QString work(QString const& name)
{
    return Files::path_of(name);
}

} // namespace

Q_DECLARE_METATYPE(Answer)

bool have_service_build()
{
    return service_build;
}

class TestDeviceOperations : public QObject {
    Q_OBJECT

    QTemporaryDir control_;

    void answer(QString const& kind, Answer const& a, QByteArray const& stdout_text = QByteArray())
    {
        write_file(control_.filePath(kind + QStringLiteral(".exit")), QByteArray::number(a.exit_code));
        write_file(control_.filePath(kind + QStringLiteral(".stdout")), stdout_text);
        if (a.writes)
            write_file(control_.filePath(kind + QStringLiteral(".bytes")), a.bytes);
    }

    // The argument lists of the stand-in's runs, in order, with the working directory shown as "W".
    QStringList calls() const
    {
        QFile file(control_.filePath(QStringLiteral("calls.log")));
        if (!file.open(QIODevice::ReadOnly))
            return {};
        QStringList lines = QString::fromUtf8(file.readAll()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
        for (auto& line : lines)
            line.replace(Files::external_dir.path(), QStringLiteral("W"));
        return lines;
    }

private slots:
    void initTestCase()
    {
        QVERIFY(control_.isValid());
        QVERIFY(Files::external_dir.isValid());
        qputenv("VANTREL_STANDIN_CONTROL", QFile::encodeName(control_.path()));
        DFU::Command::path = QStringLiteral(VANTREL_STANDIN_DIR);
    }

    void init()
    {
        service_build = false;
        for (QDir dir : {QDir(control_.path()), QDir(Files::external_dir.path())})
            for (auto const& name : dir.entryList(QDir::Files))
                QVERIFY(dir.remove(name));
    }

    void command_lines_data()
    {
        QTest::addColumn<int>("operation");
        QTest::addColumn<QStringList>("expected");
        QTest::newRow("scan") << 0 << QStringList{QStringLiteral("-d 0483 -l")};
        QTest::newRow("read device info")
            << 1
            << QStringList{QStringLiteral("-d 0483 -a 2 -s 0x1FFF7800:512 -U W/uploaded_OTP.bin"),
                           QStringLiteral("-d 0483 -a 0 -s 0x08000000:2048 -U W/uploaded_FW_info.bin")};
        QTest::newRow("download") << 2
                                  << QStringList{QStringLiteral("-d 0483 -a 0 -s 0x08000000:leave -D W/firmware.bin")};
        QTest::newRow("read back an image of 1000 bytes")
            << 3 << QStringList{QStringLiteral("-d 0483 -a 0 -s 0x08000000:1000 -U W/uploaded_FW.bin")};
    }

    void command_lines()
    {
        QFETCH(int, operation);
        QFETCH(QStringList, expected);
        QVERIFY(write_file(work(Files::desired_FW_fileName_bin), QByteArray(1000, 'x')));
        answer(QStringLiteral("otp"), writes(otp_dump(halkora)));
        answer(QStringLiteral("fw_info"), writes(flash_start(halkora, QStringLiteral("M30"), QStringLiteral("3.1.0"))));
        DFU::DeviceItem item{QStringLiteral("3276365A3235")};
        DFU::DeviceInfo info;
        switch (operation) {
        case 0: DFU::make_scan(); break;
        case 1: DFU::read_device_info(&item, &info); break;
        case 2: DFU::download_FW_to_device(work(Files::desired_FW_fileName_bin)); break;
        case 3:
            DFU::upload_and_compare_FW_bin(work(Files::desired_FW_fileName_bin),
                                           work(Files::uploaded_FW_fileName_bin));
            break;
        }
        QCOMPARE(calls(), expected);
    }

    void download_returns_exit_code_data()
    {
        QTest::addColumn<int>("exit_code");
        QTest::newRow("written") << 0;
        QTest::newRow("device reset before its last status") << 74;
        QTest::newRow("protocol error") << 76;
    }

    void download_returns_exit_code()
    {
        QFETCH(int, exit_code);
        answer(QStringLiteral("download"), no_file(exit_code));
        QCOMPARE(DFU::download_FW_to_device(work(Files::desired_FW_fileName_bin)), exit_code);
    }

    void make_scan_data()
    {
        QTest::addColumn<int>("exit_code");
        QTest::addColumn<QByteArray>("listing");
        QTest::addColumn<int>("error");
        QTest::addColumn<QStringList>("serials");
        const QByteArray one = fixture(QStringLiteral("list-one-device.stdout"));
        QTest::newRow("one device") << 0 << one << 0 << QStringList{QStringLiteral("3276365A3235")};
        QTest::newRow("no device") << 0 << fixture(QStringLiteral("list-no-device.stdout")) << 1 << QStringList();
        QTest::newRow("failed run, listing ignored") << 1 << one << 1 << QStringList();
    }

    void make_scan()
    {
        QFETCH(int, exit_code);
        QFETCH(QByteArray, listing);
        QFETCH(int, error);
        QFETCH(QStringList, serials);
        answer(QStringLiteral("list"), no_file(exit_code), listing);
        const DFU::ScanResult scan = DFU::make_scan();
        QCOMPARE(scan.error, error);
        QStringList found;
        for (auto const& item : scan.devices)
            found << item.serial;
        QCOMPARE(found, serials);
    }

    void read_device_info_data()
    {
        QTest::addColumn<Answer>("otp");
        QTest::addColumn<Answer>("fw_info");
        QTest::addColumn<bool>("service");
        QTest::addColumn<int>("exit_code");
        QTest::addColumn<bool>("valid");
        QTest::addColumn<int>("type");
        QTest::addColumn<QString>("FW_revision");
        QTest::addColumn<bool>("FW_valid");
        QTest::addColumn<bool>("blank");
        // What read_device_info appends to dfu-util's output.
        QTest::addColumn<QString>("appended");

        const Answer halk_otp = writes(otp_dump(halkora));
        const Answer blank_otp = writes(Device::write_OTP_dump());
        const QByteArray halk_fw = flash_start(halkora, QStringLiteral("M30 main controller"), QStringLiteral("3.1.0"),
                                               {{QStringLiteral("Build date"), QStringLiteral("2024-05-02")}});
        const Answer korv_fw = writes(flash_start(korvath, QStringLiteral("Tor-20 main"), QStringLiteral("1.0.0")));
        const QString korv_text = QStringLiteral(
            "FW info:\n  Type: ProductInfo: KORV (3)\n  Name: Tor-20 main\n  Rev.: 1.0.0\n  Details:");
        const QString invalid_text = QStringLiteral("FW info:\n\tInvalid");
        const QString halk = QStringLiteral("ProductInfo: HALK (140)");
        const QString none = QStringLiteral("ProductInfo: invalid (0)");
        const QString between = QStringLiteral("\nwhereas FW contains\n");

        // The record starts as {valid false, FW_revision "before", type 3}.
        QTest::newRow("OTP read fails") << writes(otp_dump(halkora), 74) << writes(halk_fw) << false << 74 << false
                                        << 3 << QStringLiteral("before") << false << false << QString();
        QTest::newRow("same product") << halk_otp << writes(halk_fw) << false << 0 << true << 140
                                      << QStringLiteral("3.1.0") << true << false << QString();
        QTest::newRow("other product") << halk_otp << korv_fw << false << 0 << true << 140 << QStringLiteral("before")
                                       << false << false << mismatch + halk + between + korv_text;
        QTest::newRow("same type, other extension bytes")
            << halk_otp << writes(flash_start(halkora_other_ext, QStringLiteral("M30"), QStringLiteral("3.1.0")))
            << false << 0 << true << 140 << QStringLiteral("before") << false << false
            << mismatch + halk + between
                   + QStringLiteral("FW info:\n  Type: ProductInfo: HALK (140) [8c 01 ff ff]\n  Name: M30\n"
                                    "  Rev.: 3.1.0\n  Details:");
        // A flash that cannot be read is a failed read of the device, not an empty revision.
        const QString unreadable = QStringLiteral("Reading the firmware info block failed.");
        QTest::newRow("FW info read fails") << halk_otp << writes(halk_fw, 74) << false << 74 << true << 140
                                            << QStringLiteral("before") << false << false << unreadable;
        QTest::newRow("FW info run exits 0 without file")
            << halk_otp << no_file() << false << int(DFU::exit_code_missing_data) << true << 140
            << QStringLiteral("before") << false << false << unreadable;
        QTest::newRow("FW info file cut short inside the block")
            << halk_otp << writes(halk_fw.left(0x200 + 60)) << false << int(DFU::exit_code_missing_data) << true << 140
            << QStringLiteral("before") << false << false << unreadable;
        QTest::newRow("OTP run exits 0 without file")
            << no_file() << writes(halk_fw) << false << 0 << true << 0 << QStringLiteral("before") << false << false
            << mismatch + none + between
                   + QStringLiteral("FW info:\n  Type: ProductInfo: HALK (140)\n  Name: M30 main controller\n"
                                    "  Rev.: 3.1.0\n  Details:\n    Build date                     : 2024-05-02"
                                    "                     ");
        QTest::newRow("blank OTP, firmware of a product") << blank_otp << korv_fw << false << 0 << true << 0
                                                          << QStringLiteral("before") << false << true
                                                          << mismatch + none + between + korv_text;
        QTest::newRow("blank OTP, FW info read fails") << blank_otp << no_file(74) << false << 74 << true << 0
                                                       << QStringLiteral("before") << false << true << unreadable;
        QTest::newRow("blank OTP, service build") << blank_otp << korv_fw << true << 0 << true << 0
                                                  << QStringLiteral("1.0.0") << true << true << QString();
        QTest::newRow("service build, other product")
            << halk_otp << korv_fw << true << 0 << true << 140 << QStringLiteral("before") << false << false
            << mismatch + halk + between + korv_text;
    }

    void read_device_info()
    {
        QFETCH(Answer, otp);
        QFETCH(Answer, fw_info);
        QFETCH(bool, service);
        QFETCH(int, exit_code);
        QFETCH(bool, valid);
        QFETCH(int, type);
        QFETCH(QString, FW_revision);
        QFETCH(bool, FW_valid);
        QFETCH(bool, blank);
        QFETCH(QString, appended);

        const QByteArray printed = fixture(QStringLiteral("upload-otp.stdout"));
        answer(QStringLiteral("otp"), otp, printed);
        answer(QStringLiteral("fw_info"), fw_info);
        service_build = service;

        DFU::DeviceItem item{QStringLiteral("3276365A3235")};
        DFU::DeviceInfo info;
        info.FW_revision = QStringLiteral("before");
        info.type = Device::Korvath;
        LogCapture log;
        const DFU::CommandResult result = DFU::read_device_info(&item, &info);

        QCOMPARE(result.exit_code, exit_code);
        QCOMPARE(result.output, QString::fromUtf8(printed) + appended);
        QCOMPARE(info.valid, valid);
        QCOMPARE(int(info.type), type);
        QCOMPARE(info.FW_revision, FW_revision);
        QCOMPARE(info.FW_info.valid, FW_valid);
        QCOMPARE(info.OTP_info.blank, blank);
        // Without the OTP area read, the flash is not read either.
        QCOMPARE(calls().size(), valid ? 2 : 1);

        const QStringList lines = log.lines();
        const QString blank_line = QString::fromUtf8(printed) + QStringLiteral("OTP is blank.\n");
        QCOMPARE(lines.count(blank_line), blank ? 1 : 0);
        if (!valid)
            return;
        QCOMPARE(log.lines_starting_with(QStringLiteral("\"OTP info:")).size(), 1);
        if (appended.isEmpty()) {
            QVERIFY(lines.contains(QString(info)));
            QVERIFY(lines.contains(QString(info.FW_info)));
        } else {
            QVERIFY(lines.contains(result.output));
        }
    }

    void upload_and_compare_data()
    {
        QTest::addColumn<bool>("image_exists");
        QTest::addColumn<QByteArray>("image");
        QTest::addColumn<Answer>("read_back");
        QTest::addColumn<bool>("equal");
        QTest::addColumn<int>("runs");

        const QByteArray image = Device::write_firmware_image(
            Device::write_FW_Info_block(halkora, QStringLiteral("M30"), QStringLiteral("3.2.0"), {}), 1000);
        QByteArray last_differs = image;
        last_differs[999] = char(image[999] ^ 0x01);
        QByteArray first_differs = image;
        first_differs[0] = char(image[0] ^ 0x80);

        QTest::newRow("missing image") << false << QByteArray() << writes(image) << false << 0;
        QTest::newRow("empty image") << true << QByteArray() << writes(QByteArray()) << false << 0;
        QTest::newRow("same bytes") << true << image << writes(image) << true << 1;
        QTest::newRow("one byte shorter") << true << image << writes(image.left(999)) << false << 1;
        QTest::newRow("one byte longer") << true << image << writes(image + '\xff') << false << 1;
        QTest::newRow("last byte different") << true << image << writes(last_differs) << false << 1;
        QTest::newRow("first byte different") << true << image << writes(first_differs) << false << 1;
        QTest::newRow("exit 0 without file") << true << image << no_file() << false << 1;
        QTest::newRow("failed run leaves a good file") << true << image << writes(image, 74) << false << 1;
    }

    void upload_and_compare()
    {
        QFETCH(bool, image_exists);
        QFETCH(QByteArray, image);
        QFETCH(Answer, read_back);
        QFETCH(bool, equal);
        QFETCH(int, runs);
        const QString desired = work(Files::desired_FW_fileName_bin);
        if (image_exists)
            QVERIFY(write_file(desired, image));
        answer(QStringLiteral("fw"), read_back);
        QCOMPARE(DFU::upload_and_compare_FW_bin(desired, work(Files::uploaded_FW_fileName_bin)), equal);
        QCOMPARE(calls().size(), runs);
    }

    void compare_files_data()
    {
        QTest::addColumn<QByteArray>("first");
        QTest::addColumn<QByteArray>("second");
        QTest::addColumn<bool>("equal");
        // Large enough that the comparison reads several pieces.
        QByteArray large(200000, '\0');
        for (int i = 0; i < large.size(); ++i)
            large[i] = char(i * 7 + i / 251);
        QByteArray late_difference = large;
        late_difference[150001] = char(large[150001] + 1);
        QTest::newRow("both empty") << QByteArray() << QByteArray() << false;
        QTest::newRow("same large content") << large << large << true;
        QTest::newRow("difference in a later piece") << large << late_difference << false;
        QTest::newRow("second empty") << large << QByteArray() << false;
    }

    void compare_files()
    {
        QFETCH(QByteArray, first);
        QFETCH(QByteArray, second);
        QFETCH(bool, equal);
        QVERIFY(write_file(work(QStringLiteral("first.bin")), first));
        QVERIFY(write_file(work(QStringLiteral("second.bin")), second));
        QCOMPARE(DFU::compare_FW_bin_files(work(QStringLiteral("first.bin")), work(QStringLiteral("second.bin"))),
                 equal);
    }

    void size_of_binary_file_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<int>("size");
        QTest::newRow("missing") << QStringLiteral("missing.bin") << -1;
        QTest::newRow("empty") << QStringLiteral("empty.bin") << 0;
        QTest::newRow("1000 bytes") << QStringLiteral("image.bin") << 1000;
        QTest::newRow("directory") << QStringLiteral("folder") << -1;
    }

    void size_of_binary_file()
    {
        QFETCH(QString, name);
        QFETCH(int, size);
        QTemporaryDir dir;
        QVERIFY(write_file(dir.filePath(QStringLiteral("empty.bin")), QByteArray()));
        QVERIFY(write_file(dir.filePath(QStringLiteral("image.bin")), QByteArray(1000, 'x')));
        QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("folder")));
        QCOMPARE(DFU::size_of_binary_file(dir.filePath(name)), size);
    }

    // A size beyond 32 bits must not wrap round into a plausible one.
    void files_beyond_2_GiB_are_refused()
    {
        QTemporaryDir dir;
        const QString big = dir.filePath(QStringLiteral("big.bin"));
        {
            QFile file(big);
            QVERIFY(file.open(QIODevice::WriteOnly));
            if (!file.resize((qint64(1) << 32) + 1000))
                QSKIP("this file system cannot hold a sparse file of 4 GiB");
        }
        LogCapture log;
        QCOMPARE(DFU::size_of_binary_file(big), -1);
        QVERIFY(!DFU::compare_FW_bin_files(big, big));
        QVERIFY(!DFU::upload_and_compare_FW_bin(big, work(Files::uploaded_FW_fileName_bin)));
        QCOMPARE(calls().size(), 0);
    }

    // dfu-util refuses to write over an existing file, so each read must start from no
    // file; and a run that writes nothing must never hand back what an earlier run left.
    void stale_files_data()
    {
        QTest::addColumn<bool>("fresh");
        QTest::newRow("run writes fresh data") << true;
        QTest::newRow("run writes nothing") << false;
    }

    void stale_files()
    {
        QFETCH(bool, fresh);
        const QByteArray image = Device::write_firmware_image(
            Device::write_FW_Info_block(halkora, QStringLiteral("M30"), QStringLiteral("3.2.0"), {}), 1000);
        const QByteArray stale_fw = flash_start(korvath, QStringLiteral("Tor-20 main"), QStringLiteral("1.0.0"));
        QVERIFY(write_file(work(Files::desired_FW_fileName_bin), image));
        QVERIFY(write_file(work(Files::uploaded_OTP_fileName_bin), otp_dump(korvath)));
        QVERIFY(write_file(work(Files::uploaded_FW_info_fileName_bin), stale_fw));
        QVERIFY(write_file(work(Files::uploaded_FW_fileName_bin), stale_fw.left(1000)));
        answer(QStringLiteral("otp"), fresh ? writes(otp_dump(halkora)) : no_file());
        // dfu-util writes the whole 2048-byte area it was asked for.
        answer(QStringLiteral("fw_info"), fresh ? writes(image.leftJustified(2048, char(0xFF))) : no_file());
        answer(QStringLiteral("fw"), fresh ? writes(image) : no_file());

        DFU::DeviceItem item{QStringLiteral("3276365A3235")};
        DFU::DeviceInfo info;
        QCOMPARE(DFU::read_device_info(&item, &info).exit_code, fresh ? 0 : int(DFU::exit_code_missing_data));
        QCOMPARE(info.OTP_info.valid, fresh);
        QCOMPARE(int(info.type), fresh ? 140 : 0);
        QCOMPARE(info.FW_info.valid, fresh);
        QCOMPARE(info.FW_revision, fresh ? QStringLiteral("3.2.0") : QString());
        QCOMPARE(DFU::upload_and_compare_FW_bin(work(Files::desired_FW_fileName_bin),
                                                work(Files::uploaded_FW_fileName_bin)),
                 fresh);
        QCOMPARE(calls().size(), 3);
    }

    void desired_FW_Info_is_read_once()
    {
        const QString path = work(Files::desired_FW_fileName_bin);
        auto image = [](QString const& revision) {
            return Device::write_firmware_image(
                Device::write_FW_Info_block(halkora, QStringLiteral("M30"), revision, {}), 4096);
        };
        QVERIFY(write_file(path, image(QStringLiteral("3.2.0"))));

        LogCapture log;
        Device::FW_Info const& first = DFU::desired_FW_Info();
        QVERIFY(first.valid);
        QCOMPARE(first.revision, QStringLiteral("3.2.0"));

        QVERIFY(write_file(path, image(QStringLiteral("9.9.9"))));
        Device::FW_Info const& second = DFU::desired_FW_Info();
        QCOMPARE(&second, &first);
        QCOMPARE(second.revision, QStringLiteral("3.2.0"));

        const QStringList reads = log.lines_starting_with(QStringLiteral("Reading desired FW_Info from "));
        QCOMPARE(reads.size(), 1);
        QVERIFY(reads.first().endsWith(QLatin1Char('"') + path + QLatin1Char('"')));
        // The reader itself reads afresh every time.
        QCOMPARE(DFU::read_FW_Info_from_desired_FW().revision, QStringLiteral("9.9.9"));
    }
};

QTEST_GUILESS_MAIN(TestDeviceOperations)
#include "test_device_operations.moc"
