// Decodes the firmware info block, found by its markers within the first bytes of an image.
#include "device/fw_info.h"

#include <QFile>

#include <cstring>

namespace Device {

namespace {

QByteArray le32_bytes(std::uint32_t value)
{
    QByteArray bytes;
    for (int i = 0; i < 4; ++i)
        bytes.append(char((value >> (8 * i)) & 0xFF));
    return bytes;
}

// Padding width of a detail key or value in the display text.
constexpr int detail_column_width = 31;

} // namespace

int local_strlen(char const* field)
{
    for (int i = 0; i < fw_info_string_field_size; ++i)
        if (field[i] == '\0')
            return i;
    return -1;
}

QString get_string(QByteArray const& data, int pos)
{
    if (pos < 0 || pos >= data.size())
        return QString(QLatin1String(""));
    const QByteArray field = data.mid(pos, fw_info_string_field_size);
    const int nul = field.indexOf('\0');
    if (nul < 0 && field.size() == fw_info_string_field_size)
        return QString();
    if (nul == 0)
        return QString(QLatin1String(""));
    return QString::fromUtf8(field.left(nul < 0 ? field.size() : nul));
}

FW_Info make_FW_Info(QByteArray data)
{
    const int begin = data.indexOf(le32_bytes(fw_info_begin_marker));
    const int end = data.indexOf(le32_bytes(fw_info_end_marker));
    if (begin == -1 || end == -1) {
        qDebug() << "index_beg = " << begin << "index_end = " << end;
        return FW_Info{};
    }
    if (begin > fw_info_max_marker_offset || end > fw_info_max_marker_offset)
        return FW_Info{};
    const int pair_bytes = end - begin - fw_info_header_size;
    if (pair_bytes < 0 || pair_bytes % fw_info_pair_size != 0) {
        qDebug() << "index_beg = " << begin << "index_end = " << end << "nr_of_pair_bytes =" << pair_bytes;
        return FW_Info{};
    }

    auto byte = [&](int i) { return std::uint8_t(data.at(begin + i)); };
    FW_Info info;
    info.product = make_ProductInfo(ProductInfoRaw{byte(4), byte(5), byte(6), byte(7)});
    info.name = get_string(data, begin + 8);
    info.revision = get_string(data, begin + 40);
    for (int i = 0; i < pair_bytes / fw_info_pair_size; ++i) {
        const QString key = get_string(data, begin + fw_info_header_size + fw_info_pair_size * i);
        const QString value = get_string(data, begin + fw_info_header_size + 32 + fw_info_pair_size * i);
        if (key.isEmpty() || value.isEmpty())
            break;
        info.details.append(qMakePair(key, value));
    }
    info.valid = true;
    return info;
}

FW_Info make_FW_Info(QString path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return FW_Info{};
    return make_FW_Info(file.readAll());
}

FW_Info::operator QString() const
{
    QString text = QStringLiteral("FW info:\n");
    if (!valid)
        return text + QStringLiteral("\tInvalid");
    text += QStringLiteral("  Type: %1\n").arg(QString(product));
    text += QStringLiteral("  Name: ") + name + QLatin1Char('\n');
    text += QStringLiteral("  Rev.: ") + revision + QLatin1Char('\n');
    text += QStringLiteral("  Details:");
    for (auto const& pair : details)
        text += QStringLiteral("\n    ") + pair.first.leftJustified(detail_column_width) + QStringLiteral(": ")
                + pair.second.leftJustified(detail_column_width);
    return text;
}

QDebug operator<<(QDebug dbg, FW_Info const& info)
{
    QDebugStateSaver saver(dbg);
    dbg.noquote() << QString(info);
    return dbg;
}

} // namespace Device
