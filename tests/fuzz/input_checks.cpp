// The fuzz targets by name, each with the rules checked on one of its inputs.
#include "tests/fuzz/input_checks.h"

#include "tests/fuzz/fw_info_invariants.h"
#include "tests/fuzz/listing_invariants.h"
#include "tests/fuzz/otp_info_invariants.h"
#include "tests/fuzz/settings_invariants.h"

namespace FuzzChecks {

QStringList target_names()
{
    return {QStringLiteral("otp_info"), QStringLiteral("fw_info"), QStringLiteral("dfu_listing"),
            QStringLiteral("gui_settings")};
}

QStringList check_input(QString const& target, QByteArray const& input)
{
    if (target == QLatin1String("otp_info"))
        return check_otp_info(input);
    if (target == QLatin1String("fw_info"))
        return check_fw_info(input);
    if (target == QLatin1String("dfu_listing"))
        return check_listing(input);
    if (target == QLatin1String("gui_settings"))
        return check_settings(input);
    return {QStringLiteral("no fuzz target is named %1").arg(target)};
}

} // namespace FuzzChecks
