// Writes OTP records and firmware info blocks in the layouts the decoders read.
#pragma once

#include "device/product.h"

#include <QByteArray>
#include <QList>
#include <QPair>
#include <QString>

#include <cstdint>

namespace Device {

// The 16 bytes of one OTP record: marker, identification, payload.
QByteArray write_OTP_record(ProductInfoRaw product, QByteArray const& payload = QByteArray(8, '\0'));

// A 512-byte OTP dump of erased memory (0xFF) with `record` in slot `slot`;
// an empty record gives the blank dump.
QByteArray write_OTP_dump(QByteArray const& record = QByteArray(), int slot = 0);

// A string field of 32 bytes: the UTF-8 text cut to 31 bytes, then NUL bytes.
QByteArray write_string_field(QString const& text);

// A whole info block: begin marker, identification, name, revision, pairs, end marker.
QByteArray write_FW_Info_block(ProductInfoRaw product, QString const& name, QString const& revision,
                               QList<QPair<QString, QString>> const& details);

// The four bytes of a 32-bit value, least significant first: the form of every marker.
QByteArray write_le32(std::uint32_t value);

// A copy of `base` with `bytes` written over it at `offset`; where `base` is too short it
// is first grown with `fill` bytes. Places records, blocks and single markers anywhere.
QByteArray write_at(QByteArray base, int offset, QByteArray const& bytes, char fill = '\0');

// A plausible firmware image of `size` bytes: a vector table, the info block at
// `block_offset`, then code-like bytes derived deterministically from `seed`.
QByteArray write_firmware_image(QByteArray const& info_block, int size, int block_offset = 0x200,
                                quint32 seed = 1);

} // namespace Device
