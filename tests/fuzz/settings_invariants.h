// What must hold for the window layout read from any settings text, raw control characters included.
#pragma once

#include <QByteArray>
#include <QStringList>

namespace FuzzChecks {

// Reads `bytes` as a settings file, and once more as the raw text of one label, and
// returns one sentence per broken rule; empty when all hold.
QStringList check_settings(QByteArray const& bytes);

} // namespace FuzzChecks
