// What must hold for the OTP record decoded from any dump, whatever bytes the device sent.
#include "tests/fuzz/otp_info_invariants.h"

#include "device/otp_info.h"
#include "tests/fuzz/marker_search.h"

#include <cstdint>

namespace FuzzChecks {

namespace {

// The record slots of the 512-byte area start at multiples of 16, the last one at 496.
constexpr int slot_limit = 498;

bool same_record(Device::OTP_Info const& a, Device::OTP_Info const& b)
{
    return a.valid == b.valid && a.blank == b.blank && a.product == b.product
        && a.product.raw_type == b.product.raw_type && a.payload == b.payload;
}

std::uint8_t byte_at(QByteArray const& data, int offset)
{
    return static_cast<std::uint8_t>(data[offset]);
}

} // namespace

QStringList check_otp_info(QByteArray const& dump)
{
    QStringList faults;
    const Device::OTP_Info info = Device::make_OTP_Info(dump);

    bool erased = true;
    for (char c : dump)
        erased = erased && static_cast<std::uint8_t>(c) == 0xFF;
    if (info.blank != erased)
        faults << QStringLiteral("blank is %1 for a dump that is %2empty or erased")
                      .arg(info.blank ? "true" : "false", erased ? "" : "neither ");
    if (info.blank && (info.valid || info.product.type != Device::Invalid))
        faults << QStringLiteral("a blank dump names a product");
    if (info.product.raw_type < 0 || info.product.raw_type > 255)
        faults << QStringLiteral("raw type %1 is not a byte").arg(info.product.raw_type);

    // The one record that may count: the last marker, in a slot, wholly inside the dump.
    const int offset = last_marker(dump, Device::otp_marker);
    const bool usable = !erased && offset >= 0 && offset % Device::otp_record_size == 0 && offset < slot_limit
        && offset + Device::otp_record_size <= dump.size();
    const int code = usable ? byte_at(dump, offset + 4) : -1;
    const bool listed = usable && Device::is_known(Device::to_Type(static_cast<unsigned char>(code)));

    if (info.valid != listed)
        faults << QStringLiteral("valid is %1, but the last record %2")
                      .arg(info.valid ? "true" : "false",
                           listed ? QStringLiteral("names listed product %1").arg(code)
                                  : QStringLiteral("does not name a listed product"));
    if (info.valid) {
        if (!Device::is_known(info.product.type) || Device::products.find(info.product.type) == Device::products.end()
            || info.product_name().isEmpty())
            faults << QStringLiteral("a valid record names type %1, which the catalogue lacks")
                          .arg(int(info.product.type));
    } else if (!info.blank && info.product.type != Device::Invalid && info.product.type != Device::Undefined) {
        faults << QStringLiteral("an unusable record keeps type %1").arg(int(info.product.type));
    }
    if (usable) {
        // Whatever the verdict, the fields come from that record and nowhere else.
        if (info.product.raw_type != code || info.product.ext1 != byte_at(dump, offset + 5)
            || info.product.ext2 != byte_at(dump, offset + 6) || info.product.ext3 != byte_at(dump, offset + 7))
            faults << QStringLiteral("the identification does not come from the record at %1").arg(offset);
        for (int i = 0; i < 8; ++i)
            if (info.payload[std::size_t(i)] != byte_at(dump, offset + 8 + i))
                faults << QStringLiteral("payload byte %1 does not come from the record at %2").arg(i).arg(offset);
    } else if (info.product.raw_type != 0 || info.payload != decltype(info.payload){}) {
        faults << QStringLiteral("a dump without a usable record gives a record with content");
    }

    const QString text = info;
    if (!text.startsWith(QStringLiteral("OTP info:\nMarker ")) || !text.endsWith(QLatin1Char('\n')))
        faults << QStringLiteral("display text has the wrong form: %1").arg(text);
    if (!same_record(info, Device::make_OTP_Info(dump)))
        faults << QStringLiteral("decoding the same dump twice gives two records");
    return faults;
}

} // namespace FuzzChecks
