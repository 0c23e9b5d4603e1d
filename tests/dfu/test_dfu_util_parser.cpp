// Tests of the listing parser, the scan verdict built on it and the device record's display text.
#include "dfu/device_info.h"
#include "dfu/dfu_util_parser.h"
#include "dfu/scan.h"
#include "log_capture.h"

#include <QFile>
#include <QtTest>

namespace {

const QString banner = QStringLiteral(
    "dfu-util 0.11\n\n"
    "Copyright 2005-2009 Weston Schmidt, Harald Welte and OpenMoko Inc.\n"
    "Copyright 2010-2021 Tormod Volden and Stefan Schmidt\n"
    "This program is Free Software and has ABSOLUTELY NO WARRANTY\n"
    "Please report bugs to http://sourceforge.net/p/dfu-util/tickets/\n\n");

const QString bootloader = QStringLiteral("Found DFU: [0483:df11] ver=2200");

// One listing line as dfu-util prints it; `serial_field` is the text after "name=...", ", ".
QString line(QString const& head, int alt, QString const& serial_field)
{
    return head + QStringLiteral(", devnum=5, cfg=1, intf=0, path=\"1-1\", alt=%1, name=\"@Internal Flash  "
                                 "/0x08000000/04*016Kg,01*064Kg,07*128Kg\"")
                      .arg(alt)
           + serial_field + QLatin1Char('\n');
}

QString serial(QString const& s)
{
    return QStringLiteral(", serial=\"%1\"").arg(s);
}

// `count` bootloader lines carrying serial `s`, alternate settings counting down as dfu-util lists them.
QString lines(QString const& s, int count)
{
    QString text;
    for (int i = count - 1; i >= 0; --i)
        text += line(bootloader, i % 4, serial(s));
    return text;
}

QString fixture(QString const& name)
{
    QFile file(QStringLiteral(VANTREL_DFU_FIXTURES_DIR "/") + name);
    if (!file.open(QIODevice::ReadOnly))
        qFatal("missing fixture %s", qPrintable(name));
    return QString::fromUtf8(file.readAll());
}

const QString A = QStringLiteral("3276365A3235");
const QString B = QStringLiteral("3276365D3133");

} // namespace

class TestDfuUtilParser : public QObject {
    Q_OBJECT

private slots:
    void parses_listing_data()
    {
        QTest::addColumn<QString>("output");
        QTest::addColumn<int>("status");
        QTest::addColumn<QStringList>("serials");
        QTest::addColumn<int>("nr_of_devices");
        QTest::addColumn<int>("error");
        QTest::addColumn<bool>("logs_line");

        const int none = DfuUtilParser::no_dfu_device;
        const int one = DfuUtilParser::one_dfu_device;
        const int invalid = DfuUtilParser::invalid_dfu_device;
        const int multiple = DfuUtilParser::multiple_dfu_devices;

        QTest::newRow("empty") << QString() << none << QStringList() << 0 << 1 << false;
        QTest::newRow("banner only") << banner << none << QStringList() << 0 << 1 << false;
        QTest::newRow("one device in four lines") << banner + lines(A, 4) << one << QStringList{A} << 1 << 0 << false;
        QTest::newRow("two devices") << banner + lines(A, 4) + lines(B, 4) << multiple << QStringList{A, B} << 2
                                     << 1 << false;
        QTest::newRow("three lines") << banner + lines(A, 3) << invalid << QStringList{A} << 1 << 1 << false;
        QTest::newRow("five lines") << banner + lines(A, 5) << invalid << QStringList{A} << 1 << 1 << false;
        QTest::newRow("eight lines, one serial") << banner + lines(A, 8) << invalid << QStringList{A} << 1 << 1
                                                 << false;
        QTest::newRow("serials A A B A") << lines(A, 2) + lines(B, 1) + lines(A, 1) << multiple
                                         << QStringList{A, B, A} << 3 << 1 << false;
        // Serials are compared as printed: a case-blind comparison would see one device here.
        QTest::newRow("serials differing in case") << lines(A, 2) + lines(A.toLower(), 2) << multiple
                                                   << QStringList{A, A.toLower()} << 2 << 1 << false;
        QTest::newRow("lower-case serial kept as printed")
            << lines(A.toLower(), 4) << one << QStringList{A.toLower()} << 1 << 0 << false;
        QTest::newRow("line without serial after good lines")
            << banner + lines(A, 4) + line(bootloader, 0, QString()) << none << QStringList{A} << 0 << 1 << true;
        QTest::newRow("unreadable serial after good lines")
            << banner + lines(A, 4) + line(bootloader, 0, serial(QStringLiteral("UNKNOWN"))) << none
            << QStringList{A} << 0 << 1 << true;
        QTest::newRow("bad line first stops at once")
            << line(bootloader, 0, serial(QStringLiteral("32763G5A3235"))) + lines(A, 4) << none << QStringList()
            << 0 << 1 << true;
        QTest::newRow("other release, vendor and run-time lines ignored")
            << banner + line(QStringLiteral("Found DFU: [0483:df11] ver=2100"), 0, serial(B)) + lines(A, 4)
                   + line(QStringLiteral("Found DFU: [1d50:6017] ver=0100"), 0, QString())
                   + line(QStringLiteral("Found Runtime: [0483:df11] ver=2200"), 0, serial(B))
                   + line(QStringLiteral("Found DFU: [0483:df12] ver=2200"), 0, serial(QStringLiteral("UNKNOWN")))
            << one << QStringList{A} << 1 << 0 << false;
        QTest::newRow("prefix not at line start")
            << lines(A, 4) + line(QStringLiteral(" ") + bootloader, 0, serial(B))
                   + line(QStringLiteral("dfu-util: ") + bootloader, 0, QString())
            << one << QStringList{A} << 1 << 0 << false;
        QTest::newRow("carriage return before each line feed")
            << lines(A, 4).replace(QLatin1Char('\n'), QStringLiteral("\r\n")) << one << QStringList{A} << 1 << 0
            << false;
        QTest::newRow("dfu-util 0.11, one device") << fixture(QStringLiteral("list-one-device.stdout")) << one
                                                   << QStringList{A} << 1 << 0 << false;
        QTest::newRow("dfu-util 0.11, no device") << fixture(QStringLiteral("list-no-device.stdout")) << none
                                                  << QStringList() << 0 << 1 << false;
    }

    void parses_listing()
    {
        QFETCH(QString, output);
        QFETCH(int, status);
        QFETCH(QStringList, serials);
        QFETCH(int, nr_of_devices);
        QFETCH(int, error);
        QFETCH(bool, logs_line);

        LogCapture log;
        const DfuUtilParser parser(output);
        QStringList logged;
        for (auto const& entry : log.entries())
            if (entry.type == QtDebugMsg && entry.text.contains(bootloader))
                logged << entry.text;

        QCOMPARE(int(parser.status), status);
        QCOMPARE(parser.serials, serials);
        QCOMPARE(parser.nr_of_devices, nr_of_devices);
        QCOMPARE(logged.size(), logs_line ? 1 : 0);

        const DFU::ScanResult scan = DFU::scan_for_devices(output);
        QCOMPARE(scan.error, error);
        QStringList device_serials;
        for (auto const& item : scan.devices)
            device_serials << item.serial;
        QCOMPARE(device_serials, serials);
    }

    void status_names_data()
    {
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("name");
        QTest::newRow("0") << 0 << QStringLiteral("no_dfu_device");
        QTest::newRow("1") << 1 << QStringLiteral("one_dfu_device");
        QTest::newRow("2") << 2 << QStringLiteral("invalid_dfu_device");
        QTest::newRow("3") << 3 << QStringLiteral("multiple_dfu_devices");
        QTest::newRow("outside the table") << 4 << QString();
    }

    void status_names()
    {
        QFETCH(int, status);
        QFETCH(QString, name);
        DfuUtilParser parser{QString()};
        parser.status = static_cast<DfuUtilParser::Status>(status);
        QCOMPARE(parser.status_as_string(), name);
    }

    void device_info_text_data()
    {
        QTest::addColumn<bool>("valid");
        QTest::addColumn<int>("type");
        QTest::addColumn<QString>("revision");
        QTest::addColumn<QString>("text");
        QTest::newRow("default") << false << 0 << QString() << QStringLiteral("DeviceInfo:\nInvalid");
        QTest::newRow("not read, revision set") << false << 140 << QStringLiteral("3.2.0")
                                                << QStringLiteral("DeviceInfo:\nInvalid");
        QTest::newRow("read") << true << 140 << QStringLiteral("3.2.0")
                              << QStringLiteral("DeviceInfo:\n\tDevice type:\t140\n\tFW_revision:\t3.2.0\n");
        QTest::newRow("read, no revision") << true << 255 << QString()
                                           << QStringLiteral("DeviceInfo:\n\tDevice type:\t255\n\tFW_revision:\t\n");
    }

    void device_info_text()
    {
        QFETCH(bool, valid);
        QFETCH(int, type);
        QFETCH(QString, revision);
        QFETCH(QString, text);
        DFU::DeviceInfo info;
        info.valid = valid;
        info.type = static_cast<Device::Type>(type);
        info.FW_revision = revision;
        QCOMPARE(QString(info), text);

        // Logged without quotes, and the stream quotes again afterwards.
        QString logged;
        QDebug(&logged) << QStringLiteral("a") << info << QStringLiteral("b");
        QCOMPARE(logged, QStringLiteral("\"a\" ") + text + QStringLiteral(" \"b\" "));
    }
};

QTEST_GUILESS_MAIN(TestDfuUtilParser)
#include "test_dfu_util_parser.moc"
