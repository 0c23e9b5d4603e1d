// The firmware info block: decoded from the start of an image or of a device's flash.
#pragma once

#include "device/product.h"

#include <QByteArray>
#include <QDebug>
#include <QList>
#include <QPair>
#include <QString>

#include <cstdint>

namespace Device {

// Marker bytes 12 47 23 01 and 13 47 23 01 around every info block.
constexpr std::uint32_t fw_info_begin_marker = 0x01234712;
constexpr std::uint32_t fw_info_end_marker = 0x01234713;
// Both markers must stand at an offset of at most this many bytes.
constexpr int fw_info_max_marker_offset = 1948;
constexpr int fw_info_string_field_size = 32;
constexpr int fw_info_header_size = 72;
constexpr int fw_info_pair_size = 64;

struct FW_Info {
    ProductInfo product;
    QString name;
    QString revision;
    QList<QPair<QString, QString>> details;
    bool valid = false;

    operator QString() const;
};

FW_Info make_FW_Info(QByteArray data);
FW_Info make_FW_Info(QString path);
QString get_string(QByteArray const& data, int pos);
int local_strlen(char const* field);
QDebug operator<<(QDebug dbg, FW_Info const& info);

} // namespace Device
