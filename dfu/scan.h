// Scanning for devices: one run of `dfu-util -l` turned into a ScanResult.
#pragma once

#include "dfu/device_info.h"

#include <QString>

namespace DFU {

ScanResult scan_for_devices(QString output);
// The first line of a listing that shows a device other than the supported bootloader:
// another vendor's device in DFU mode, another release, or a device in run-time mode;
// empty when there is none. dfu-util -d 0483 lists devices in DFU mode of every vendor
// and will not read or write while it sees more than one device.
QString other_dfu_device_line(QString const& output);
// A listing that also shows another DFU device counts as no single device, although the
// parser itself looks only at the supported bootloader's lines.
ScanResult make_scan();

} // namespace DFU
