// SM_A: the device worker thread that polls for a DFU device, reads it and carries out download and verification.
#pragma once

#include "dfu/device_info.h"
#include "sm/device_info_metatype.h"

#include <QMutex>
#include <QObject>
#include <QString>
#include <QThread>
#include <QWaitCondition>

class SM_A : public QThread {
    Q_OBJECT

public:
    enum Command : int { None = 0, Download = 1, UploadVerify = 2 };
    Q_ENUM(Command)

    SM_A(QString dfu_file, QString bin_file, QString uploaded_file, QObject* parent);
    ~SM_A() override;

    // A command given without a connection number is meant for the device that the
    // worker last reported connected; with a number, for that connection only. The
    // worker carries a command out only while that connection lasts.
    void set_command(Command command);
    void set_command(Command command, quint64 connection_number);
    Command get_command();

    // Ends the loop soon from every step; ends hanging read-only dfu-util runs, but
    // lets a running download finish.
    void do_stop();
    bool is_stopping();

    void enable_debug_output();

    DFU::DeviceInfo device_info;
    QString dfu_file;
    QString bin_file;
    QString uploaded_file;
    QString current_serial;
    Command command = None;
    int rescan_delay_ms = 200;
    int poll_interval_ms = 200;
    bool stopping = false;
    QMutex mutex;

signals:
    void sig_NoDevConn();
    // `info` is a copy of what was read from the device, taken when the signal is
    // emitted, so a receiver in another thread sees exactly this device's record even
    // if the worker is already reading the next one. `connection_number` names this
    // connection of this device (see set_command).
    void sig_DevConn(DFU::DeviceInfo info, quint64 connection_number);
    void sig_scanning();
    void sig_readingInfo();
    void sig_DeviceError(QString message);
    void sig_FwDownloading();
    void sig_FwDownloaded();
    void sig_FwUploading();
    void sig_FwUploadedDiffers();
    void sig_FwUploadedMatches();
    void sig_A0_entered();
    void sig_A1_entered();
    void sig_A2_entered();
    void sig_A4_entered();
    void sig_A5_entered();
    void sig_A6_entered();
    void sig_A7_entered();

protected:
    void run() override;

private:
    enum class Step { A0, A1, A2, A4, A5, A6, A7, End };

    Step step_A0();
    Step step_A1();
    Step step_A2();
    Step step_A4();
    Step step_A5();
    Step step_A6();
    Step step_A7();

    // Sleeps up to `duration_ms`, or less when a stop is requested; false when stopping.
    bool pause_unless_stopping(int duration_ms);
    // Ends the current connection and drops its pending command, which it returns.
    Command end_connection();
    // Logs a command that will not be carried out and tells the flow what became of it.
    void report_discarded(Command discarded, char const* reason);
    // Takes the pending command and tells whether it was given for the current connection.
    Command take_command(bool* for_current_connection);

    // Guarded by `mutex`, like `command` and `stopping`.
    QWaitCondition wake_up;
    quint64 command_connection = 0;
    quint64 current_connection = 0;
    bool downloading = false;

    // Only the worker thread touches this one.
    quint64 last_connection_number = 0;
};
