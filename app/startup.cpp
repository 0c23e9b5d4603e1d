// The start-up sequence, in its fixed order, and the shutdown sequence.
#include "app/startup.h"

#include "app/app_objects.h"
#include "app/command_line.h"
#include "app/connections.h"
#include "app/termination_signals.h"
#include "device/fw_info.h"
#include "dfu/command.h"
#include "dfu/dfu_util.h"
#include "dfu/operations.h"
#include "files/files.h"
#include "files/support_misc.h"
#include "gui/fonts.h"
#include "gui/log_window.h"
#include "gui/main_window.h"
#include "gui/settings.h"
#include "simulator/simulator.h"
#include "sm/sm_a.h"
#include "sm/sm_b.h"

#include <QApplication>
#include <QDebug>
#include <QDir>
#include <QThread>

#include <cstdio>

QPointer<MainWindow> mainWindow;
SM_A* sm_A = nullptr;
SM_B* sm_B = nullptr;
Settings::Settings settings;

int startup_failure_status = 0;

namespace {

// Pauses of the worker's polling loop: before a rescan, and between polls of a known device.
constexpr int rescan_delay_ms = 500;
constexpr int poll_interval_ms = 1000;
// Shutdown pauses this long before deleting the worker and the flow machine.
constexpr unsigned long shutdown_pause_ms = 2000;

} // namespace

bool have_service_build()
{
    return false;
}

void GUI_init()
{
    parse_arguments(QCoreApplication::instance());
    support::setup_fonts();
    logWindow = new LogWindow(nullptr);
    if (use_log_window)
        qInstallMessageHandler(logWindowMessageHandler);

    if (simulator::use)
        qInfo() << "Will use simulator (i.e. option 'use_simulator).";
    else
        qInfo() << "Will use real device (i.e. no option 'use_simulator'.)";

    if (simulator::use)
        simulator::setup_for_simulated_dfu_util(simulator::normal);
    else
        DFU::Command::path = Files::external_dir.path();

    qInfo() << "Compiled for platform (OS):" << support_misc::compiled_for_platform() << "with 'DEBUG'"
            << (support_misc::compiled_w_DEBUG ? "defined" : "not defined");

    Files::extract_resources({Files::desired_FW_dfu, Files::desired_FW_bin, Files::dfu_util, Files::libusb}, true);
    if (!Files::external_dir.isValid()) {
        // Without the working directory no device command can run and nothing can be
        // read back: stop here rather than go on with paths that lead nowhere.
        std::fprintf(stderr, "vantrel-upgrade-tool: cannot create its working directory in %s: %s\n",
                     qPrintable(QDir::tempPath()), qPrintable(Files::external_dir.errorString()));
        startup_failure_status = 1;
        return;
    }
    support_misc::mark_file_executable(DFU::dfu_util::full_path());
    DFU::dfu_util::execution_test();

    const Device::FW_Info desired = DFU::desired_FW_Info();
    qInfo().noquote() << "Desired (embedded)" << desired;

    settings.gui = Settings::make_GUI(QStringLiteral(":resources/settings_GUI.json"));
    settings.desired_ID = desired.product.type;
    settings.desired_revision = desired.revision;

    mainWindow = MainWindow_factory(&settings, nullptr, simulator::use);
    mainWindow->setWindowTitle(QStringLiteral("Vantrel Firmware Upgrade Tool"));

    sm_A = new SM_A(Files::path_of(Files::desired_FW_fileName_dfu), Files::path_of(Files::desired_FW_fileName_bin),
                    Files::path_of(Files::uploaded_FW_fileName_bin), nullptr);
    sm_A->rescan_delay_ms = rescan_delay_ms;
    sm_A->poll_interval_ms = poll_interval_ms;
    sm_A->enable_debug_output();

    sm_B = new SM_B(sm_A, settings.desired_ID, settings.desired_revision);
    sm_B->enable_debug_output();

    add_connections(qApp);

    QObject::connect(
        sm_B, &QStateMachine::started, sm_B,
        [] {
            qInfo() << "Starting sm_A";
            sm_A->start(QThread::InheritPriority);
        },
        Qt::DirectConnection);
    sm_B->start();
    mainWindow->show();

    install_termination_signal_handlers();
}

int GUI_cleanup(int exec_result)
{
    qInfo() << "app.exec() returns: " << exec_result;
    if (sm_B)
        sm_B->stop();
    if (sm_A)
        sm_A->do_stop();
    qInfo() << "Waiting 2 s before deleting objects";
    QThread::msleep(shutdown_pause_ms);
    delete sm_A;
    sm_A = nullptr;
    delete sm_B;
    sm_B = nullptr;
    return exec_result;
}
