// Decodes the OTP dump: the last record in the area is the one that counts.
#include "device/otp_info.h"

#include <QFile>

namespace Device {

namespace {

OTP_Info empty_record()
{
    return OTP_Info{};
}

OTP_Info blank_record()
{
    OTP_Info info;
    info.blank = true;
    return info;
}

QByteArray marker_bytes()
{
    QByteArray bytes;
    for (int i = 0; i < 4; ++i)
        bytes.append(char((otp_marker >> (8 * i)) & 0xFF));
    return bytes;
}

// A record must start in a 16-byte slot of the 512-byte area (the last slot is 496).
constexpr int otp_last_marker_limit = 498;

} // namespace

OTP_Info make_OTP_Info(QByteArray const& dump)
{
    if (dump.isEmpty())
        return blank_record();
    if (dump.count(char(0xFF)) == dump.size())
        return blank_record();

    const int offset = dump.lastIndexOf(marker_bytes());
    if (offset < 0 || offset % otp_record_size != 0 || offset >= otp_last_marker_limit)
        return empty_record();
    // A record cut short by the end of a short dump is not a record.
    if (offset + otp_record_size > dump.size())
        return empty_record();

    auto byte = [&](int i) { return std::uint8_t(dump.at(offset + i)); };
    OTP_Info info;
    info.product = make_ProductInfo(ProductInfoRaw{byte(4), byte(5), byte(6), byte(7)});
    for (int i = 0; i < 8; ++i)
        info.payload[std::size_t(i)] = byte(8 + i);
    info.blank = false;
    info.valid = is_valid(info.product.type);

    if (info.valid && !is_known(info.product.type)) {
        qInfo() << "Unknown device type according to OTP info, " << QString(info.product);
        info.product.type = Invalid;
        info.valid = false;
        return info;
    }
    if (!info.valid)
        qInfo() << "Device not used, has invalid info in its OTP info.";
    return info;
}

OTP_Info make_OTP_Info(QString path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return empty_record();
    return make_OTP_Info(file.readAll());
}

QString OTP_Info::product_name() const
{
    return product.product_name();
}

OTP_Info::operator QString() const
{
    return QStringLiteral("OTP info:\nMarker %1\nProduct: %2\n")
        .arg(valid ? QStringLiteral("valid") : QStringLiteral("invalid"), QString(product));
}

QDebug operator<<(QDebug dbg, OTP_Info const& info)
{
    QDebugStateSaver saver(dbg);
    dbg.noquote() << QString(info);
    return dbg;
}

} // namespace Device
