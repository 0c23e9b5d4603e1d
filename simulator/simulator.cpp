// Rewrites the dfu-util command table so that every command runs the simulator script.
#include "simulator/simulator.h"

#include "dfu/command.h"

#include <QDebug>

#include <utility>
#include <vector>

namespace simulator {

bool use = false;

const QString script_name = QStringLiteral("dfu-util_simulator.sh");

QString directory()
{
    const QString from_environment = qEnvironmentVariable("VANTREL_SIMULATOR_DIR");
    if (!from_environment.isEmpty())
        return from_environment;
    static const QString build_folder = QStringLiteral(VANTREL_SIMULATOR_BUILD_DIR);
    return build_folder;
}

QString dfu_util_path(QString name)
{
    return directory() + QLatin1Char('/') + name;
}

void setup_for_simulated_dfu_util(Setup setup)
{
    static const std::vector<std::pair<DFU::CmdID, QString>> names = {
        {DFU::list, QStringLiteral("list")},
        {DFU::version, QStringLiteral("version")},
        {DFU::upload_OTP, QStringLiteral("upload_OTP")},
        {DFU::upload_FW_info, QStringLiteral("upload_FW")},
        {DFU::upload_FW, QStringLiteral("upload_FW")},
        {DFU::download_FW, QStringLiteral("download_FW")},
        {DFU::setup_prepared_config, QStringLiteral("setup_prepared_config")},
    };
    for (auto const& entry : names) {
        DFU::Command& row = DFU::commands[entry.first];
        row.program = dfu_util_path(script_name);
        QStringList args{QStringLiteral("--dfu-util-command"), entry.second};
        if (setup & fast_progress)
            args << QStringLiteral("--fast-progress");
        row.args = args + row.args;
    }
}

int sim_setup_prepared_config(QString config)
{
    const DFU::CommandResult result = DFU::run_command(DFU::setup_prepared_config, {config});
    if (result.exit_code != 0)
        qInfo() << "Failed to setup simulation config " << config << "with code" << result.exit_code;
    return result.exit_code;
}

} // namespace simulator
