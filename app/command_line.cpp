// Reads the command line and sets the simulator and log window switches.
#include "app/command_line.h"

#include "simulator/simulator.h"

#include <QCommandLineOption>
#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDebug>

bool use_log_window = false;

void parse_arguments(QCoreApplication* app)
{
    QCommandLineParser parser;
    const QCommandLineOption use_simulator({QStringLiteral("s"), QStringLiteral("use-simulator")},
                                           QStringLiteral("Use simulated device interaction."), QString(), QString());
    const QCommandLineOption no_use_simulator({QStringLiteral("S"), QStringLiteral("no-use-simulator")},
                                              QStringLiteral("Disable use of simulated device interaction."),
                                              QString(), QString());
    const QCommandLineOption log_window({QStringLiteral("l"), QStringLiteral("use-log-window")},
                                        QStringLiteral("Enable use of log window (open it with Ctrl-l)"), QString(),
                                        QString());
    parser.addOptions({use_simulator, no_use_simulator, log_window});
    parser.process(*app);

    qDebug().nospace() << "Initial value of 'simulator::use'=" << (simulator::use ? "true" : "false")
                       << ", isSet('-s')=" << (parser.isSet(use_simulator) ? "true" : "false")
                       << ", isSet('-S')=" << (parser.isSet(no_use_simulator) ? "true" : "false");

    if (parser.isSet(use_simulator))
        simulator::use = true;
    if (parser.isSet(no_use_simulator))
        simulator::use = false;
    if (parser.isSet(log_window))
        use_log_window = true;
}
