// Redirection of every dfu-util command to the simulator script.
#pragma once

#include <QString>

namespace simulator {

extern bool use;

enum Setup { normal = 0, fast_progress = 1 };

extern const QString script_name;

// The folder that holds the script: $VANTREL_SIMULATOR_DIR when set and not empty,
// else the build's simulator folder.
QString directory();
QString dfu_util_path(QString name);
void setup_for_simulated_dfu_util(Setup setup);
int sim_setup_prepared_config(QString config);

} // namespace simulator
