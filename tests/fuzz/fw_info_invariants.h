// What must hold for the firmware info block decoded from any image or flash read-back.
#pragma once

#include <QByteArray>
#include <QStringList>

namespace FuzzChecks {

// Decodes `data` (and reads string fields at its edges) and returns one sentence per
// broken rule; empty when all hold.
QStringList check_fw_info(QByteArray const& data);

} // namespace FuzzChecks
