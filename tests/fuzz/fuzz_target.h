// The glue between one libFuzzer input and the rules checked on it.
#pragma once

#include <QByteArray>
#include <QStringList>
#include <QtGlobal>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace FuzzChecks {

// The decoders log about malformed input; at thousands of inputs a second that is noise.
inline void silence_messages_once()
{
    static const bool silenced = [] {
        qInstallMessageHandler([](QtMsgType, QMessageLogContext const&, QString const&) {});
        return true;
    }();
    (void)silenced;
}

// A copy of the input in a buffer of its own, the way a file read or a process output arrives.
inline QByteArray input_bytes(std::uint8_t const* data, std::size_t size)
{
    return QByteArray(reinterpret_cast<char const*>(data), int(size));
}

// A broken rule is a crash for libFuzzer: it keeps the input and stops.
inline void stop_on_faults(QStringList const& faults)
{
    if (faults.isEmpty())
        return;
    for (QString const& fault : faults)
        std::fprintf(stderr, "broken rule: %s\n", qPrintable(fault));
    std::abort();
}

} // namespace FuzzChecks
