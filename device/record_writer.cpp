// Writes OTP records, OTP dumps, info blocks and whole firmware images.
#include "device/record_writer.h"

#include "device/fw_info.h"
#include "device/otp_info.h"

namespace Device {

QByteArray write_le32(std::uint32_t value)
{
    QByteArray bytes;
    for (int i = 0; i < 4; ++i)
        bytes.append(char((value >> (8 * i)) & 0xFF));
    return bytes;
}

QByteArray write_at(QByteArray base, int offset, QByteArray const& bytes, char fill)
{
    if (offset < 0)
        return base;
    if (base.size() < offset + bytes.size())
        base.append(QByteArray(offset + bytes.size() - base.size(), fill));
    base.replace(offset, bytes.size(), bytes);
    return base;
}

namespace {

void append_le32(QByteArray& out, std::uint32_t value)
{
    out.append(write_le32(value));
}

void append_product(QByteArray& out, ProductInfoRaw product)
{
    out.append(char(product.type));
    out.append(char(product.ext1));
    out.append(char(product.ext2));
    out.append(char(product.ext3));
}

constexpr int otp_dump_size = 512;

} // namespace

QByteArray write_OTP_record(ProductInfoRaw product, QByteArray const& payload)
{
    QByteArray record;
    append_le32(record, otp_marker);
    append_product(record, product);
    record.append(payload.left(8));
    record.append(QByteArray(otp_record_size - record.size(), '\0'));
    return record;
}

QByteArray write_OTP_dump(QByteArray const& record, int slot)
{
    QByteArray dump(otp_dump_size, char(0xFF));
    const int offset = slot * otp_record_size;
    if (!record.isEmpty() && offset >= 0 && offset + record.size() <= dump.size())
        dump.replace(offset, record.size(), record);
    return dump;
}

QByteArray write_string_field(QString const& text)
{
    QByteArray field = text.toUtf8().left(fw_info_string_field_size - 1);
    field.append(QByteArray(fw_info_string_field_size - field.size(), '\0'));
    return field;
}

QByteArray write_FW_Info_block(ProductInfoRaw product, QString const& name, QString const& revision,
                               QList<QPair<QString, QString>> const& details)
{
    QByteArray block;
    append_le32(block, fw_info_begin_marker);
    append_product(block, product);
    block.append(write_string_field(name));
    block.append(write_string_field(revision));
    for (auto const& pair : details) {
        block.append(write_string_field(pair.first));
        block.append(write_string_field(pair.second));
    }
    append_le32(block, fw_info_end_marker);
    return block;
}

QByteArray write_firmware_image(QByteArray const& info_block, int size, int block_offset, quint32 seed)
{
    if (size < block_offset + info_block.size())
        size = block_offset + info_block.size();
    QByteArray image(size, '\0');
    // Cortex-M vector table: initial stack pointer, then handler addresses in flash.
    QByteArray vectors;
    append_le32(vectors, 0x20020000u);
    for (int i = 1; i < block_offset / 4 && i < 98; ++i)
        append_le32(vectors, 0x08000000u + quint32(block_offset + info_block.size() + 0x100 + 8 * i) + 1);
    image.replace(0, vectors.size(), vectors);
    image.replace(block_offset, info_block.size(), info_block);
    // Code-like filler from a small linear congruential generator, so that every
    // image is reproducible from its seed and no two revisions share their bytes.
    quint32 state = seed * 2654435761u + 12345u;
    for (int i = block_offset + info_block.size(); i < size; ++i) {
        state = state * 1103515245u + 12345u;
        image[i] = char((state >> 16) & 0xFF);
    }
    return image;
}

} // namespace Device
