// What must hold for the verdict on any `dfu-util -l` listing, whatever dfu-util printed.
#include "tests/fuzz/listing_invariants.h"

#include "dfu/dfu_util_parser.h"
#include "dfu/scan.h"

namespace FuzzChecks {

namespace {

// The line start of the supported bootloader, as plain text rather than a pattern.
const QString bootloader_line_start = QStringLiteral("Found DFU: [0483:df11] ver=2200");
// One device in the supported bootloader shows this many alternate settings.
constexpr int lines_per_device = 4;

bool is_hex_serial(QString const& serial)
{
    if (serial.isEmpty())
        return false;
    for (QChar c : serial)
        if (!((c >= QLatin1Char('0') && c <= QLatin1Char('9')) || (c >= QLatin1Char('a') && c <= QLatin1Char('f'))
              || (c >= QLatin1Char('A') && c <= QLatin1Char('F'))))
            return false;
    return true;
}

QString serial_field(QString const& serial)
{
    return QStringLiteral("serial=\"%1\"").arg(serial);
}

bool same_scan(DFU::ScanResult const& a, DFU::ScanResult const& b)
{
    if (a.error != b.error || a.devices.size() != b.devices.size())
        return false;
    for (int i = 0; i < a.devices.size(); ++i)
        if (a.devices.at(i).serial != b.devices.at(i).serial)
            return false;
    return true;
}

} // namespace

QStringList check_listing(QByteArray const& output)
{
    QStringList faults;
    const QString text = QString::fromUtf8(output);
    const DfuUtilParser parser(text);
    const DFU::ScanResult scan = DFU::scan_for_devices(text);

    QStringList bootloader_lines;
    for (QString const& line : text.split(QLatin1Char('\n')))
        if (line.startsWith(bootloader_line_start))
            bootloader_lines << line;

    if (scan.error != 0 && scan.error != 1)
        faults << QStringLiteral("scan error %1 is neither 0 nor 1").arg(scan.error);
    if ((scan.error == 0) != (parser.status == DfuUtilParser::one_dfu_device))
        faults << QStringLiteral("scan error %1 with parser verdict %2").arg(scan.error).arg(int(parser.status));
    if (parser.status_as_string().isEmpty())
        faults << QStringLiteral("verdict %1 has no name").arg(int(parser.status));

    if (scan.devices.size() != parser.serials.size())
        faults << QStringLiteral("%1 device items for %2 serials").arg(scan.devices.size()).arg(parser.serials.size());
    for (int i = 0; i < qMin(scan.devices.size(), parser.serials.size()); ++i)
        if (scan.devices.at(i).serial != parser.serials.at(i))
            faults << QStringLiteral("device item %1 is not serial %1").arg(i);

    for (int i = 0; i < parser.serials.size(); ++i) {
        QString const& serial = parser.serials.at(i);
        if (!is_hex_serial(serial))
            faults << QStringLiteral("serial \"%1\" is not hexadecimal").arg(serial);
        if (i > 0 && serial == parser.serials.at(i - 1))
            faults << QStringLiteral("serial \"%1\" repeated in a row").arg(serial);
        bool shown = false;
        for (QString const& line : bootloader_lines)
            shown = shown || line.contains(serial_field(serial));
        if (!shown)
            faults << QStringLiteral("serial \"%1\" is on no bootloader line").arg(serial);
    }

    const int found = parser.nr_of_devices;
    if (found != 0 && found != parser.serials.size())
        faults << QStringLiteral("%1 devices counted for %2 serials").arg(found).arg(parser.serials.size());
    switch (parser.status) {
    case DfuUtilParser::no_dfu_device:
        if (found != 0)
            faults << QStringLiteral("no device, yet %1 counted").arg(found);
        break;
    case DfuUtilParser::one_dfu_device:
    case DfuUtilParser::invalid_dfu_device:
        if (found != 1)
            faults << QStringLiteral("one serial, yet %1 devices counted").arg(found);
        break;
    case DfuUtilParser::multiple_dfu_devices:
        if (found < 2)
            faults << QStringLiteral("several devices, yet %1 counted").arg(found);
        break;
    default:
        faults << QStringLiteral("verdict %1 is outside the table").arg(int(parser.status));
    }

    // The one verdict that lets the tool touch a device: exactly one device, on exactly
    // four bootloader lines, every one of them carrying its serial.
    if (scan.error == 0) {
        if (scan.devices.size() != 1)
            faults << QStringLiteral("error 0 with %1 devices").arg(scan.devices.size());
        else if (bootloader_lines.size() != lines_per_device)
            faults << QStringLiteral("error 0 from %1 bootloader lines").arg(bootloader_lines.size());
        else
            for (QString const& line : bootloader_lines)
                if (!line.contains(serial_field(scan.devices.first().serial)))
                    faults << QStringLiteral("error 0, yet a bootloader line lacks the serial: %1").arg(line);
    }
    if (bootloader_lines.isEmpty() && (scan.error != 1 || !scan.devices.isEmpty()))
        faults << QStringLiteral("a listing without bootloader lines gives a device");

    // Every other line is noise: the bootloader lines alone give the same answer.
    if (!same_scan(scan, DFU::scan_for_devices(bootloader_lines.join(QLatin1Char('\n')))))
        faults << QStringLiteral("lines of other devices change the verdict");
    if (!same_scan(scan, DFU::scan_for_devices(text)))
        faults << QStringLiteral("scanning the same listing twice gives two verdicts");
    return faults;
}

} // namespace FuzzChecks
