// SM_A: the poll loop of the device worker (steps A0 to A7), its commands, its stop request and its debug trace.
#include "sm/sm_a.h"

#include "dfu/command.h"
#include "dfu/operations.h"
#include "dfu/scan.h"

#include <QDeadlineTimer>
#include <QDebug>
#include <QMutexLocker>

#include <atomic>

namespace {

// The very first pass of the loop after program start scans without the rescan delay.
std::atomic<bool> first_pass_done{false};

// Repeat flag of the signal that the debug trace logged last, shared by every worker.
std::atomic<int> last_trace_flag{0};

bool is_poll_trace(QString const& name)
{
    return name == QLatin1String("NoDevConn") || name == QLatin1String("scanning");
}

bool is_single_device(DFU::ScanResult const& scan)
{
    return scan.error == 0 && scan.devices.size() == 1;
}

} // namespace

SM_A::SM_A(QString dfu_file_, QString bin_file_, QString uploaded_file_, QObject* parent)
    : QThread(parent), dfu_file(std::move(dfu_file_)), bin_file(std::move(bin_file_)),
      uploaded_file(std::move(uploaded_file_))
{
    qRegisterMetaType<DFU::DeviceInfo>();
    qDebug() << "SM_A created";
}

SM_A::~SM_A()
{
    {
        QMutexLocker lock(&mutex);
        stopping = true;
        wake_up.wakeAll();
    }
    qDebug() << "SM_A: Waiting in dtor";
    wait();
}

void SM_A::set_command(Command command_)
{
    QMutexLocker lock(&mutex);
    command = command_;
    command_connection = current_connection;
}

void SM_A::set_command(Command command_, quint64 connection_number)
{
    QMutexLocker lock(&mutex);
    command = command_;
    command_connection = connection_number;
}

SM_A::Command SM_A::get_command()
{
    QMutexLocker lock(&mutex);
    return command;
}

void SM_A::do_stop()
{
    bool download_in_progress = false;
    {
        QMutexLocker lock(&mutex);
        stopping = true;
        download_in_progress = downloading;
        wake_up.wakeAll();
    }
    DFU::cancel_read_only_runs();
    if (download_in_progress || DFU::download_running())
        qInfo() << "SM_A: Stop requested during the firmware download; waiting for the download to finish";
}

bool SM_A::is_stopping()
{
    QMutexLocker lock(&mutex);
    return stopping;
}

bool SM_A::pause_unless_stopping(int duration_ms)
{
    QDeadlineTimer deadline(duration_ms);
    QMutexLocker lock(&mutex);
    while (!stopping) {
        if (!wake_up.wait(&mutex, deadline))
            break;
    }
    return !stopping;
}

SM_A::Command SM_A::end_connection()
{
    QMutexLocker lock(&mutex);
    const Command discarded = command;
    command = None;
    current_connection = 0;
    return discarded;
}

void SM_A::report_discarded(Command discarded, char const* reason)
{
    if (discarded == None)
        return;
    qDebug().noquote() << "SM_A: Discarding command" << discarded << reason;
    // The flow waits for the outcome of every verification it asked for: one that
    // cannot be carried out has failed.
    if (discarded == UploadVerify)
        emit sig_FwUploadedDiffers();
}

SM_A::Command SM_A::take_command(bool* for_current_connection)
{
    QMutexLocker lock(&mutex);
    const Command taken = command;
    command = None;
    *for_current_connection = current_connection != 0 && command_connection == current_connection;
    if (taken == Download && *for_current_connection)
        downloading = true;
    return taken;
}

void SM_A::run()
{
    Step step = Step::A0;
    while (step != Step::End) {
        switch (step) {
        case Step::A0: step = step_A0(); break;
        case Step::A1: step = step_A1(); break;
        case Step::A2: step = step_A2(); break;
        case Step::A4: step = step_A4(); break;
        case Step::A5: step = step_A5(); break;
        case Step::A6: step = step_A6(); break;
        case Step::A7: step = step_A7(); break;
        case Step::End: break;
        }
    }
}

SM_A::Step SM_A::step_A0()
{
    emit sig_A0_entered();
    current_serial.clear();
    // A command never outlives the device it was given for.
    report_discarded(end_connection(), "of a device that is gone");
    return Step::A1;
}

SM_A::Step SM_A::step_A1()
{
    emit sig_A1_entered();
    if (is_stopping())
        return Step::End;
    device_info = DFU::DeviceInfo();
    emit sig_NoDevConn();
    if (first_pass_done.exchange(true)) {
        if (!pause_unless_stopping(rescan_delay_ms))
            return Step::End;
    }
    return Step::A2;
}

SM_A::Step SM_A::step_A2()
{
    emit sig_A2_entered();
    emit sig_scanning();
    const DFU::ScanResult scan = DFU::make_scan();
    if (!is_single_device(scan))
        return Step::A0;
    const DFU::DeviceItem device = scan.devices.first();
    if (device.serial == current_serial)
        return Step::A4;

    emit sig_readingInfo();
    // Another device took the place of the known one: its commands end with it.
    report_discarded(end_connection(), "of a device that was replaced");
    emit sig_NoDevConn();
    current_serial = device.serial;
    // A device that takes another's place between two scans arrives here without A1's
    // reset; the record must not keep what the earlier device left in it (a failed read
    // leaves it untouched, and a firmware of another product leaves FW_revision as it was).
    device_info = DFU::DeviceInfo();
    const DFU::CommandResult result = DFU::read_device_info(&device, &device_info);
    if (result.exit_code != 0) {
        emit sig_DeviceError(result.output);
        return Step::A7;
    }
    const quint64 connection_number = ++last_connection_number;
    {
        QMutexLocker lock(&mutex);
        current_connection = connection_number;
    }
    emit sig_DevConn(device_info, connection_number);
    return Step::A4;
}

SM_A::Step SM_A::step_A4()
{
    emit sig_A4_entered();
    if (is_stopping())
        return Step::End;
    // A stop during the pause ends the loop at once: no command is started after it.
    if (!pause_unless_stopping(poll_interval_ms))
        return Step::End;
    bool for_current_connection = false;
    const Command taken = take_command(&for_current_connection);
    if (taken == None)
        return Step::A2;
    if (!for_current_connection) {
        // The flow gave it for a device it had not yet seen go: start this device's
        // connection afresh, so that the flow is told about it again.
        report_discarded(taken, "meant for an earlier connection");
        return Step::A0;
    }
    return taken == Download ? Step::A5 : Step::A6;
}

SM_A::Step SM_A::step_A5()
{
    emit sig_A5_entered();
    // dfu-util writes to whatever device it finds, and the offered one may have been
    // swapped for another since the last scan: write only while it is still the one.
    const DFU::ScanResult scan = DFU::make_scan();
    if (!is_single_device(scan) || scan.devices.first().serial != current_serial) {
        {
            QMutexLocker lock(&mutex);
            downloading = false;
        }
        qInfo() << "SM_A: Download not started: the device it was offered to is no longer the one connected";
        return Step::A0;
    }
    emit sig_FwDownloading();
    DFU::download_FW_to_device(bin_file);
    {
        QMutexLocker lock(&mutex);
        downloading = false;
    }
    emit sig_FwDownloaded();
    return Step::A0;
}

SM_A::Step SM_A::step_A6()
{
    emit sig_A6_entered();
    emit sig_FwUploading();
    if (DFU::upload_and_compare_FW_bin(bin_file, uploaded_file)) {
        qDebug() << "Uploaded FW matches";
        emit sig_FwUploadedMatches();
    } else {
        qDebug() << "Uploaded FW does not match";
        emit sig_FwUploadedDiffers();
    }
    return Step::A2;
}

SM_A::Step SM_A::step_A7()
{
    emit sig_A7_entered();
    emit sig_scanning();
    // Waits for the device whose read failed to go away; a stop request ends the wait.
    for (;;) {
        if (!pause_unless_stopping(poll_interval_ms))
            return Step::End;
        const DFU::ScanResult scan = DFU::make_scan();
        if (!is_single_device(scan) || scan.devices.first().serial != current_serial)
            return Step::A0;
    }
}

void SM_A::enable_debug_output()
{
    qInfo() << "SM_A: Adding connections to show debug output (state transitions)";
    auto trace = [](QString const& name, int repeat_flag) {
        return [name, repeat_flag]() {
            if (!(last_trace_flag != 0 && is_poll_trace(name)))
                qDebug().noquote() << QStringLiteral("SM_A: /sig_") + name;
            last_trace_flag = repeat_flag;
        };
    };
    connect(this, &SM_A::sig_NoDevConn, trace(QStringLiteral("NoDevConn"), 1));
    connect(this, &SM_A::sig_scanning, trace(QStringLiteral("scanning"), 1));
    connect(this, &SM_A::sig_readingInfo, trace(QStringLiteral("readingInfo"), 0));
    connect(this, &SM_A::sig_DevConn, trace(QStringLiteral("DevConn"), 0));
    connect(this, &SM_A::sig_FwDownloading, trace(QStringLiteral("FwDownloading"), 0));
    connect(this, &SM_A::sig_FwDownloaded, trace(QStringLiteral("FwDownloaded"), 0));
    connect(this, &SM_A::sig_FwUploading, trace(QStringLiteral("FwUploading"), 0));
    connect(this, &SM_A::sig_FwUploadedDiffers, trace(QStringLiteral("FwUploadedDiffers"), 0));
    connect(this, &SM_A::sig_FwUploadedMatches, trace(QStringLiteral("FwUploadedMatches"), 0));
}
