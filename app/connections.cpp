// Connects the flow machine's outcomes to the window: status texts, install button,
// progress bar, the stop keys and the log window's shortcut.
#include "app/connections.h"

#include "app/app_objects.h"
#include "dfu/command.h"
#include "gui/install_button.h"
#include "gui/log_window.h"
#include "gui/log_window_dialog.h"
#include "gui/main_window.h"
#include "gui/progress_bar.h"
#include "gui/settings.h"
#include "sm/sm_a.h"
#include "sm/sm_b.h"

#include <QApplication>
#include <QDebug>
#include <QKeySequence>
#include <QLabel>
#include <QPushButton>
#include <QShortcut>
#include <QTimer>

namespace {

// How long the Q/Escape stop waits for the worker before it is terminated.
constexpr unsigned long worker_stop_wait_ms = 1000;
constexpr double download_progress_s = 60.0;
constexpr double verify_progress_s = 0.5;

QString product()
{
    return sm_B->device_info.OTP_info.product_name();
}

void set_status(QString const& text)
{
    // A layout without a created status line has nowhere to show the status.
    if (mainWindow && mainWindow->statusLabel)
        mainWindow->statusLabel->setText(text);
}

void reset_message_handler()
{
    qInstallMessageHandler(nullptr);
    qInfo() << "Msg-handler reset";
}

void stop_worker()
{
    qInfo() << "Trying to stop sm_A";
    sm_A->do_stop();
    if (!sm_A->wait(worker_stop_wait_ms)) {
        if (DFU::download_running()) {
            // Ending the thread now would abandon a firmware write half done.
            qInfo() << "Waiting for the firmware download to finish before stopping sm_A";
            sm_A->wait();
            return;
        }
        qWarning() << "Oops, SM_A not dead yet";
        sm_A->terminate();
        sm_A->wait();
    }
}

void device_connected()
{
    set_status(settings.gui.text(QStringLiteral("status_devConn")).arg(product()));
}

void show_connected_device()
{
    const QString revision = sm_B->device_info.FW_revision;
    if (revision.isEmpty())
        set_status(settings.gui.text(QStringLiteral("status_devRevUnknown")).arg(product()));
    else
        set_status(settings.gui.text(QStringLiteral("status_devRev")).arg(product()).arg(revision));
}

void no_usable_device()
{
    set_status(settings.gui.text(QStringLiteral("status_noDev")));
    mainWindow->progressBar->setFormat(QStringLiteral("This text should not be visible!"));
    mainWindow->progressBar->hide();
}

void upgrading()
{
    // A click after Q or Escape reaches a machine that no longer runs: nothing will
    // download, so no progress is shown for it.
    if (!sm_B->isRunning())
        return;
    mainWindow->progressBar->startAutoProgress(QStringLiteral("Upgrading firmware"), download_progress_s);
}

void verifying()
{
    mainWindow->progressBar->startAutoProgress(QStringLiteral("Uploading & verifying"), verify_progress_s);
}

void upgrade_done()
{
    ProgressBar* bar = mainWindow->progressBar;
    bar->timer->stop();
    bar->setValue(bar->maximum());
    bar->setFormat(QStringLiteral("Done. Disconnect USB cable."));
    show_connected_device();
}

void verification_failed()
{
    show_connected_device();
    ProgressBar* bar = mainWindow->progressBar;
    bar->timer->stop();
    bar->setValue(bar->minimum());
    bar->setFormat(QStringLiteral("FW differs"));
    bar->hide();
}

void toggle_log_window()
{
    if (logWindow)
        logWindow->toggle_visibility(mainWindow ? mainWindow.data() : nullptr);
}

} // namespace

void add_connections(QApplication* app)
{
    MainWindow* window = mainWindow.data();
    QObject::connect(window, &MainWindow::finished, reset_message_handler);
    QObject::connect(window, &MainWindow::finished, sm_B, &QStateMachine::stop);
    QObject::connect(window, &MainWindow::finished, stop_worker);
    QObject::connect(sm_B, &QState::finished, app, &QCoreApplication::quit);
    QObject::connect(sm_B, &SM_B::sig_UpgradeImpossible, window, &MainWindow::disableDownload);
    QObject::connect(sm_B, &SM_B::sig_UpgradePossible, window, &MainWindow::enableDownload);
    QObject::connect(sm_B, &SM_B::sig_DeviceConnected, device_connected);
    QObject::connect(sm_B, &SM_B::sig_DifferingRevision, show_connected_device);
    QObject::connect(sm_B, &SM_B::sig_UpgradeImpossible, window, no_usable_device);
    QObject::connect(window->installButton, &QAbstractButton::clicked, sm_B, &SM_B::do_download);
    QObject::connect(sm_B, &SM_B::sig_DoDownload, upgrading);
    QObject::connect(sm_B, &SM_B::sig_UploadingVerifying, verifying);
    QObject::connect(sm_B, &SM_B::sig_FwMatches, upgrade_done);
    QObject::connect(sm_B, &SM_B::sig_FwDiffers, verification_failed);

    const QKeySequence ctrl_l(Qt::CTRL | Qt::Key_L);
    auto* main_shortcut = new QShortcut(ctrl_l, window, nullptr, nullptr, Qt::WindowShortcut);
    QObject::connect(main_shortcut, &QShortcut::activated, toggle_log_window);
    if (logWindow) {
        auto* log_shortcut = new QShortcut(ctrl_l, logWindow->dialog, nullptr, nullptr, Qt::WindowShortcut);
        QObject::connect(log_shortcut, &QShortcut::activated, toggle_log_window);
    }
}
