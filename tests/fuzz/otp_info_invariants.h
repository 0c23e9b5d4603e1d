// What must hold for the OTP record decoded from any dump, whatever bytes the device sent.
#pragma once

#include <QByteArray>
#include <QStringList>

namespace FuzzChecks {

// Decodes `dump` and returns one sentence per broken rule; empty when all hold.
QStringList check_otp_info(QByteArray const& dump);

} // namespace FuzzChecks
