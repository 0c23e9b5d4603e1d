// What must hold for the verdict on any `dfu-util -l` listing, whatever dfu-util printed.
#pragma once

#include <QByteArray>
#include <QStringList>

namespace FuzzChecks {

// Parses and scans `output` (read as UTF-8, as the runner reads it) and returns one
// sentence per broken rule; empty when all hold.
QStringList check_listing(QByteArray const& output);

} // namespace FuzzChecks
