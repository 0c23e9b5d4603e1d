// What must hold for the firmware info block decoded from any image or flash read-back.
#include "tests/fuzz/fw_info_invariants.h"

#include "device/fw_info.h"
#include "tests/fuzz/marker_search.h"

#include <cstdint>
#include <cstring>
#include <memory>

namespace FuzzChecks {

namespace {

// Both markers within the first 1948 bytes leave room for at most this many pairs.
constexpr int max_pairs = (Device::fw_info_max_marker_offset - Device::fw_info_header_size) / Device::fw_info_pair_size;
// A string field holds at most 31 bytes of text before its NUL.
constexpr int max_text_bytes = Device::fw_info_string_field_size - 1;

bool same_block(Device::FW_Info const& a, Device::FW_Info const& b)
{
    return a.valid == b.valid && a.product == b.product && a.product.raw_type == b.product.raw_type
        && a.name == b.name && a.revision == b.revision && a.details == b.details;
}

// UTF-8 never gives more UTF-16 units than bytes, so a longer text came from outside its field.
QString field_fault(QString const& what, QString const& text)
{
    if (text.size() > max_text_bytes)
        return QStringLiteral("%1 has %2 characters, more than a field holds").arg(what).arg(text.size());
    if (text.contains(QChar(0)))
        return QStringLiteral("%1 holds a NUL character").arg(what);
    return QString();
}

void check_edge_fields(QByteArray const& data, QStringList& faults)
{
    const int size = data.size();
    for (int pos : {-1, 0, size - 33, size - 32, size - 31, size - 1, size, size + 1}) {
        const QString text = Device::get_string(data, pos);
        const QString fault = field_fault(QStringLiteral("the field at %1 of %2 bytes").arg(pos).arg(size), text);
        if (!fault.isEmpty())
            faults << fault;
    }
    if (size < Device::fw_info_string_field_size)
        return;
    // An exact 32-byte copy: a read past the field is a read past the allocation.
    std::unique_ptr<char[]> field(new char[Device::fw_info_string_field_size]);
    std::memcpy(field.get(), data.constData() + size - Device::fw_info_string_field_size,
                Device::fw_info_string_field_size);
    const int length = Device::local_strlen(field.get());
    const void* nul = std::memchr(field.get(), '\0', Device::fw_info_string_field_size);
    const int expected = nul ? int(static_cast<char const*>(nul) - field.get()) : -1;
    if (length != expected)
        faults << QStringLiteral("local_strlen gives %1 for a field whose first NUL is at %2").arg(length).arg(expected);
}

} // namespace

QStringList check_fw_info(QByteArray const& data)
{
    QStringList faults;
    const Device::FW_Info info = Device::make_FW_Info(data);

    const int begin = first_marker(data, Device::fw_info_begin_marker);
    const int end = first_marker(data, Device::fw_info_end_marker);
    const int pair_bytes = end - begin - Device::fw_info_header_size;
    const bool well_formed = begin >= 0 && end >= 0 && begin <= Device::fw_info_max_marker_offset
        && end <= Device::fw_info_max_marker_offset && pair_bytes >= 0 && pair_bytes % Device::fw_info_pair_size == 0;

    if (info.valid != well_formed)
        faults << QStringLiteral("valid is %1 with begin marker at %2 and end marker at %3")
                      .arg(info.valid ? "true" : "false")
                      .arg(begin)
                      .arg(end);
    if (info.details.size() > max_pairs)
        faults << QStringLiteral("%1 detail pairs, more than %2").arg(info.details.size()).arg(max_pairs);

    if (!info.valid) {
        if (!info.name.isNull() || !info.revision.isNull() || !info.details.isEmpty()
            || info.product.type != Device::Invalid || info.product.raw_type != 0)
            faults << QStringLiteral("an invalid block carries content");
        if (QString(info) != QStringLiteral("FW info:\n\tInvalid"))
            faults << QStringLiteral("display text of an invalid block: %1").arg(QString(info));
    } else {
        if (info.details.size() > pair_bytes / Device::fw_info_pair_size)
            faults << QStringLiteral("%1 pairs read from room for %2")
                          .arg(info.details.size())
                          .arg(pair_bytes / Device::fw_info_pair_size);
        if (info.product.raw_type != static_cast<std::uint8_t>(data[begin + 4])
            || info.product.ext1 != static_cast<std::uint8_t>(data[begin + 5])
            || info.product.ext2 != static_cast<std::uint8_t>(data[begin + 6])
            || info.product.ext3 != static_cast<std::uint8_t>(data[begin + 7]))
            faults << QStringLiteral("the identification does not come from the block at %1").arg(begin);
        QStringList texts{field_fault(QStringLiteral("name"), info.name),
                          field_fault(QStringLiteral("revision"), info.revision)};
        for (int i = 0; i < info.details.size(); ++i) {
            auto const& pair = info.details.at(i);
            if (pair.first.isEmpty() || pair.second.isEmpty())
                faults << QStringLiteral("detail pair %1 has an empty key or value").arg(i);
            texts << field_fault(QStringLiteral("key %1").arg(i), pair.first)
                  << field_fault(QStringLiteral("value %1").arg(i), pair.second);
        }
        texts.removeAll(QString());
        faults << texts;
        const QString text = info;
        if (!text.startsWith(QStringLiteral("FW info:\n  Type: ProductInfo: ")) || !text.contains(QStringLiteral("\n  Details:")))
            faults << QStringLiteral("display text has the wrong form: %1").arg(text);
    }

    if (!same_block(info, Device::make_FW_Info(data)))
        faults << QStringLiteral("decoding the same data twice gives two blocks");
    check_edge_fields(data, faults);
    return faults;
}

} // namespace FuzzChecks
