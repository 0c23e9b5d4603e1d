// One scan for devices: run the listing and turn the parser's verdict into a ScanResult.
#include "dfu/scan.h"

#include "dfu/command.h"
#include "dfu/dfu_util_parser.h"

#include <QDebug>

namespace DFU {

ScanResult scan_for_devices(QString output)
{
    const DfuUtilParser parser(output);
    ScanResult result;
    result.error = 1;
    for (QString const& serial : parser.serials)
        result.devices.append(DeviceItem{serial});
    if (parser.status == DfuUtilParser::one_dfu_device)
        result.error = 0;
    return result;
}

QString other_dfu_device_line(QString const& output)
{
    // The start of the supported bootloader's lines, as the parser matches them.
    const QString bootloader = QStringLiteral("Found DFU: [0483:df11] ver=2200");
    for (QString const& line : output.split(QLatin1Char('\n'))) {
        const bool dfu_capable =
            line.startsWith(QLatin1String("Found DFU: ")) || line.startsWith(QLatin1String("Found Runtime: "));
        if (dfu_capable && !line.startsWith(bootloader))
            return line;
    }
    return QString();
}

ScanResult make_scan()
{
    const CommandResult run = run_command(list, {});
    if (run.exit_code != 0)
        return ScanResult{};
    ScanResult result = scan_for_devices(run.output);
    if (result.error == 0) {
        const QString other = other_dfu_device_line(run.output);
        // Logged once while the same line keeps coming; scans follow each other quickly.
        thread_local QString last_logged;
        if (!other.isEmpty() && other != last_logged)
            qInfo() << "Another DFU device is connected:" << other;
        last_logged = other;
        if (!other.isEmpty())
            result.error = 1;
    }
    return result;
}

} // namespace DFU
