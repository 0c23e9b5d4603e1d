// A listing that shows another DFU device beside ours is no single device: dfu-util would not choose.
#include "dfu/command.h"
#include "dfu/scan.h"

#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

namespace {

const QString ours = QStringLiteral("3276365A3235");
const QString theirs = QStringLiteral("0000A1B2C3D4");

QString banner()
{
    return QStringLiteral("dfu-util 0.11\n\nCopyright 2005-2009 Weston Schmidt, Harald Welte and OpenMoko Inc.\n"
                          "Copyright 2010-2021 Tormod Volden and Stefan Schmidt\n"
                          "This program is Free Software and has ABSOLUTELY NO WARRANTY\n"
                          "Please report bugs to http://sourceforge.net/p/dfu-util/tickets/\n\n");
}

QString line(QString const& start, int alt, QString const& serial)
{
    return QStringLiteral("%1, devnum=5, cfg=1, intf=0, path=\"1-1\", alt=%2, name=\"@Internal Flash  "
                          "/0x08000000/04*016Kg\", serial=\"%3\"\n")
        .arg(start)
        .arg(alt)
        .arg(serial);
}

QString bootloader(QString const& serial)
{
    QString lines;
    for (int alt = 3; alt >= 0; --alt)
        lines += line(QStringLiteral("Found DFU: [0483:df11] ver=2200"), alt, serial);
    return lines;
}

const QString other_vendor = line(QStringLiteral("Found DFU: [1209:2444] ver=0100"), 0, theirs);
const QString other_release = line(QStringLiteral("Found DFU: [0483:df11] ver=2100"), 0, theirs);
const QString run_time = line(QStringLiteral("Found Runtime: [0483:5740] ver=0200"), 0, theirs);

} // namespace

class TestOtherDfuDevice : public QObject {
    Q_OBJECT

    QTemporaryDir dir_;

private slots:
    void other_line_data()
    {
        QTest::addColumn<QString>("listing");
        QTest::addColumn<QString>("other");
        QTest::newRow("ours alone") << banner() + bootloader(ours) << QString();
        QTest::newRow("nothing") << banner() << QString();
        QTest::newRow("another vendor after ours") << banner() + bootloader(ours) + other_vendor
                                                   << other_vendor.chopped(1);
        QTest::newRow("another vendor before ours") << banner() + other_vendor + bootloader(ours)
                                                    << other_vendor.chopped(1);
        QTest::newRow("another release") << banner() + bootloader(ours) + other_release << other_release.chopped(1);
        QTest::newRow("a device in run-time mode") << banner() + run_time + bootloader(ours) << run_time.chopped(1);
        // Warnings and messages that mention a device are no listing lines.
        QTest::newRow("warning naming a device")
            << banner() + bootloader(ours)
                   + QStringLiteral("dfu-util: Cannot open DFU device 1209:2444 found on devnum 7 (LIBUSB_ERROR_ACCESS)\n")
            << QString();
    }

    void other_line()
    {
        QFETCH(QString, listing);
        QFETCH(QString, other);
        QCOMPARE(DFU::other_dfu_device_line(listing), other);
    }

    // The scan the worker relies on: a listing with another DFU device is not one device,
    // although the parser alone finds ours.
    void make_scan_data()
    {
        QTest::addColumn<QString>("listing");
        QTest::addColumn<int>("error");
        QTest::newRow("ours alone") << banner() + bootloader(ours) << 0;
        QTest::newRow("ours and another vendor's") << banner() + bootloader(ours) + other_vendor << 1;
        QTest::newRow("ours and a device in run-time mode") << banner() + run_time + bootloader(ours) << 1;
        QTest::newRow("two of ours") << banner() + bootloader(ours) + bootloader(theirs) << 1;
    }

    void make_scan()
    {
        QFETCH(QString, listing);
        QFETCH(int, error);
        QVERIFY(dir_.isValid());
        const QString path = dir_.filePath(QStringLiteral("listing.txt"));
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(listing.toUtf8());
        file.close();
        DFU::commands[DFU::list] = {QStringLiteral("/bin/cat"), {path}};
        QCOMPARE(DFU::make_scan().error, error);
    }
};

QTEST_GUILESS_MAIN(TestOtherDfuDevice)
#include "test_other_dfu_device.moc"
