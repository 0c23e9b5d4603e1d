// One scan for devices: run the listing and turn the parser's verdict into a ScanResult.
#include "dfu/scan.h"

#include "dfu/command.h"
#include "dfu/dfu_util_parser.h"

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

ScanResult make_scan()
{
    const CommandResult run = run_command(list, {});
    if (run.exit_code != 0)
        return ScanResult{};
    return scan_for_devices(run.output);
}

} // namespace DFU
