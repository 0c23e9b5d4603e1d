// SIGINT and SIGTERM end the program in order, as closing the window does.
#pragma once

// Routes SIGINT and SIGTERM into the event loop, which then ends normally, so that
// shutdown runs and the working directory is removed. Signals that arrive during
// shutdown are absorbed: they cannot cut it short.
void install_termination_signal_handlers();
