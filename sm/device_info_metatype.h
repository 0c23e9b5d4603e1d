// Makes DFU::DeviceInfo a Qt meta-type, so that it can travel as a queued signal argument.
#pragma once

#include "dfu/device_info.h"

#include <QMetaType>

Q_DECLARE_METATYPE(DFU::DeviceInfo)
