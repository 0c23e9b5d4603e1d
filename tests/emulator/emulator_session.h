// For tests: the harness serving an emulated bootloader, and this process's environment
// set so that every program it starts from then on sees the device.
#pragma once

#include "state_folder.h"

#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

namespace Emulator {

// How long a test waits for the emulated device to come or go.
constexpr int device_change_timeout_ms = 10000;

class EmulatorSession {
public:
    EmulatorSession();
    // Stops the harness and restores the environment.
    ~EmulatorSession();
    EmulatorSession(EmulatorSession const&) = delete;
    EmulatorSession& operator=(EmulatorSession const&) = delete;

    // Sets up a factory-fresh device with the set-up options, starts the harness and
    // sets UMOCKDEV_DIR and LD_PRELOAD here. False with `why` when it cannot.
    bool start(QStringList const& setup_options, QString* why);

    StateFolder state() const { return StateFolder(state_dir_); }
    QString state_dir() const { return state_dir_; }
    // Changes the running device's state folder (plug, unplug, faults…).
    bool setup(QStringList const& options);
    // Number of log lines that start with `prefix`.
    int count_log(QString const& prefix) const;
    // Waits until the log holds `count` lines that start with `prefix`.
    bool wait_for_log(QString const& prefix, int count, int timeout_ms = device_change_timeout_ms) const;

private:
    QTemporaryDir dir_;
    QString state_dir_;
    QProcess harness_;
    QByteArray saved_umockdev_dir_;
    QByteArray saved_preload_;
    bool env_set_ = false;
};

} // namespace Emulator
