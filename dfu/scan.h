// Scanning for devices: one run of `dfu-util -l` turned into a ScanResult.
#pragma once

#include "dfu/device_info.h"

#include <QString>

namespace DFU {

ScanResult scan_for_devices(QString output);
ScanResult make_scan();

} // namespace DFU
