// The command-line switches: simulator on or off, log window on.
#pragma once

class QCoreApplication;

void parse_arguments(QCoreApplication* app);

// Whether log messages go to the log window as well (option -l).
extern bool use_log_window;
