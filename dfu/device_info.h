// What a scan found (DeviceItem, ScanResult) and what was read from the connected device (DeviceInfo).
#pragma once

#include "device/fw_info.h"
#include "device/otp_info.h"
#include "device/product.h"

#include <QDebug>
#include <QList>
#include <QString>

namespace DFU {

struct DeviceItem {
    QString serial;
};

struct ScanResult {
    int error = 1;
    QList<DeviceItem> devices;
};

struct DeviceInfo {
    bool valid = false;
    QString FW_revision;
    Device::OTP_Info OTP_info;
    Device::FW_Info FW_info;
    Device::Type type = Device::Invalid;

    operator QString() const;
};

QDebug operator<<(QDebug dbg, DeviceInfo const& info);

} // namespace DFU
