// Scenario set-up: turns the options of "dfuse-emulator setup" into state folder contents.
#pragma once

#include "state_folder.h"

#include <QString>
#include <QStringList>

namespace Emulator {

// Usage text of the set-up options.
extern const char scenario_setup_usage[];

// Applies the options in order; on a bad option returns false with `error` set.
bool apply_scenario_setup(StateFolder const& state, QStringList const& options, QString* error);

} // namespace Emulator
