// Byte-by-byte marker search, written apart from QByteArray so that it can judge the decoders.
#pragma once

#include <QByteArray>

#include <cstdint>

namespace FuzzChecks {

// True when the four bytes of `marker`, least significant first, stand at `offset`.
inline bool marker_at(QByteArray const& data, int offset, std::uint32_t marker)
{
    if (offset < 0 || offset > data.size() - 4)
        return false;
    for (int i = 0; i < 4; ++i)
        if (static_cast<std::uint8_t>(data[offset + i]) != ((marker >> (8 * i)) & 0xFFu))
            return false;
    return true;
}

inline int first_marker(QByteArray const& data, std::uint32_t marker)
{
    for (int offset = 0; offset <= data.size() - 4; ++offset)
        if (marker_at(data, offset, marker))
            return offset;
    return -1;
}

inline int last_marker(QByteArray const& data, std::uint32_t marker)
{
    for (int offset = data.size() - 4; offset >= 0; --offset)
        if (marker_at(data, offset, marker))
            return offset;
    return -1;
}

} // namespace FuzzChecks
