// Wiring of the upgrade flow machine, the main window and the log window.
#pragma once

class QApplication;

void add_connections(QApplication* app);
