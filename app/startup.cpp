// The start-up sequence, in its fixed order, and the shutdown sequence.
#include "app/startup.h"

#include "app/command_line.h"
#include "dfu/command.h"
#include "dfu/dfu_util.h"
#include "files/files.h"
#include "files/support_misc.h"
#include "simulator/simulator.h"

#include <QApplication>
#include <QDir>
#include <QDebug>
#include <QThread>
#include <QWidget>

#include <cstdio>

int startup_failure_status = 0;

namespace {

// Shutdown pauses this long before deleting the worker and the flow machine.
constexpr unsigned long shutdown_pause_ms = 2000;

QWidget* placeholderWindow = nullptr;

} // namespace

bool have_service_build()
{
    return false;
}

void GUI_init()
{
    parse_arguments(QCoreApplication::instance());

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
        // Without the working directory nothing can be run or read back.
        std::fprintf(stderr, "vantrel-upgrade-tool: cannot create its working directory in %s: %s\n",
                     qPrintable(QDir::tempPath()), qPrintable(Files::external_dir.errorString()));
        startup_failure_status = 1;
        return;
    }
    support_misc::mark_file_executable(DFU::dfu_util::full_path());
    DFU::dfu_util::execution_test();

    placeholderWindow = new QWidget;
    placeholderWindow->setWindowTitle(QStringLiteral("Vantrel Firmware Upgrade Tool"));
    placeholderWindow->resize(665, 517);
    placeholderWindow->show();
}

int GUI_cleanup(int exec_result)
{
    qInfo() << "app.exec() returns: " << exec_result;
    qInfo() << "Waiting 2 s before deleting objects";
    QThread::msleep(shutdown_pause_ms);
    return exec_result;
}
