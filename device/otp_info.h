// The OTP record of a device: decoded from the dump of its one-time-programmable area.
#pragma once

#include "device/product.h"

#include <QByteArray>
#include <QDebug>
#include <QString>

#include <array>
#include <cstdint>

namespace Device {

// Marker bytes 11 47 23 01 at the start of every OTP record.
constexpr std::uint32_t otp_marker = 0x01234711;
constexpr int otp_record_size = 16;

struct OTP_Info {
    ProductInfo product;
    std::array<std::uint8_t, 8> payload{};
    bool valid = false;
    bool blank = false;

    QString product_name() const;
    operator QString() const;
};

OTP_Info make_OTP_Info(QByteArray const& dump);
OTP_Info make_OTP_Info(QString path);
QDebug operator<<(QDebug dbg, OTP_Info const& info);

} // namespace Device
