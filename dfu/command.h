// The dfu-util command table and the runner that starts one command as a child process.
#pragma once

#include <QString>
#include <QStringList>

#include <map>

namespace DFU {

enum CmdID {
    version = 0,
    list = 1,
    upload_OTP = 2,
    upload_FW_info = 3,
    upload_FW = 4,
    download_FW = 5,
    setup_prepared_config = 6,
};

struct Command {
    QString program;
    QStringList args;

    // Directory of the program when not empty: the program runs as path + "/" + program.
    static QString path;

    operator QString() const;
};

struct CommandResult {
    int exit_code = 0;
    QString output;
};

extern std::map<CmdID, Command> commands;

// A run that has not ended after this long is logged, then waited for without limit.
constexpr int run_wait_logged_after_ms = 30000;
// How often a waiting runner looks whether its run is to be abandoned.
constexpr int run_cancel_poll_interval_ms = 50;
// Exit code of a run whose program could not be started (missing, not executable).
constexpr int exit_code_not_started = -2;
// Exit code given to a read whose run reported success but delivered no or too little data.
constexpr int exit_code_missing_data = -3;

CommandResult run_command(CmdID id, QStringList const& extra);

// Ends read-only runs (listing, uploads) that are running or start later, so that a
// hanging dfu-util cannot hold up the end of the program. A download is never ended:
// an interrupted write can leave the device without working firmware.
void cancel_read_only_runs();
// True while a download command runs.
bool download_running();

} // namespace DFU
