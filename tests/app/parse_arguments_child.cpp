// Test helper: reads its own command line with parse_arguments and prints the resulting switches.
#include "app/command_line.h"
#include "simulator/simulator.h"

#include <QCoreApplication>

#include <cstdio>

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    // Lets a test see that the logged value is the one from before the options apply.
    if (qEnvironmentVariableIsSet("PRESET_SIMULATOR_USE"))
        simulator::use = true;
    parse_arguments(&app);
    std::printf("simulator::use=%s use_log_window=%s\n", simulator::use ? "true" : "false",
                use_log_window ? "true" : "false");
    return 0;
}
