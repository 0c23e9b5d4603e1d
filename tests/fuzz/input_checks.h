// The fuzz targets by name, each with the rules checked on one of its inputs.
#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

namespace FuzzChecks {

// otp_info, fw_info, dfu_listing, gui_settings: the name of each target and of its
// seed and regression folders.
QStringList target_names();

// The rules of `target` checked on `input`: one sentence per broken rule.
QStringList check_input(QString const& target, QByteArray const& input);

} // namespace FuzzChecks
