// Tests of the wiring between the flow machine and the windows: status texts, the
// install button, the progress bar, the stop keys and the log window's shortcut.
#include "app/app_objects.h"
#include "app/connections.h"
#include "device/product.h"
#include "files/files.h"
#include "gui/install_button.h"
#include "gui/log_window.h"
#include "gui/log_window_dialog.h"
#include "gui/main_window.h"
#include "gui/progress_bar.h"
#include "gui/settings.h"
#include "sm/sm_a.h"
#include "sm/sm_b.h"
#include "stderr_capture.h"

#include <QApplication>
#include <QLabel>
#include <QSignalSpy>
#include <QTextDocument>
#include <QtTest>

namespace {

const QString desired_revision = QStringLiteral("3.2.0");

QString visible(QString const& rich_text)
{
    QTextDocument document;
    document.setHtml(rich_text);
    return document.toPlainText().simplified();
}

DFU::DeviceInfo device(Device::Type type, QString const& revision)
{
    DFU::DeviceInfo info;
    info.valid = true;
    info.type = type;
    info.FW_revision = revision;
    info.OTP_info.product = Device::make_ProductInfo(Device::ProductInfoRaw{std::uint8_t(type), 0xFF, 0xFF, 0xFF});
    info.OTP_info.valid = true;
    return info;
}

} // namespace

class TestConnections : public QObject {
    Q_OBJECT

    quint64 connection = 0;

    void connect_device(DFU::DeviceInfo const& info)
    {
        emit sm_A->sig_DevConn(info, ++connection);
    }

    QString status() const { return visible(mainWindow->statusLabel->text()); }

private slots:
    void init()
    {
        // The resource bundles register with the working directory's unit.
        QVERIFY(Files::external_dir.isValid());
        settings.gui = Settings::make_GUI(QStringLiteral(":resources/settings_GUI.json"));
        settings.desired_ID = Device::Halkora;
        settings.desired_revision = desired_revision;
        logWindow = new LogWindow(nullptr);
        mainWindow = MainWindow_factory(&settings, nullptr, false);
        sm_A = new SM_A(QStringLiteral("a.dfu"), QStringLiteral("a.bin"), QStringLiteral("b.bin"), nullptr);
        sm_B = new SM_B(sm_A, settings.desired_ID, settings.desired_revision);
        add_connections(qApp);
        sm_B->start();
        QTRY_VERIFY(sm_B->isRunning());
        QTRY_VERIFY(sm_B->configuration().contains(sm_B->B1));
    }

    void cleanup()
    {
        qInstallMessageHandler(nullptr);
        delete sm_B;
        sm_B = nullptr;
        delete sm_A;
        sm_A = nullptr;
        delete mainWindow.data();
        delete logWindow.data();
    }

    void status_texts_data()
    {
        QTest::addColumn<QString>("revision");
        QTest::addColumn<QString>("expected");
        QTest::newRow("known revision") << "3.1.0" << "Connected to a M30 with firmware version 3.1.0";
        QTest::newRow("unknown revision") << "" << "Connected to a M30 with unknown firmware version.";
        QTest::newRow("revision with a placeholder-like text")
            << "%1-rc" << "Connected to a M30 with firmware version %1-rc";
    }

    void status_texts()
    {
        QFETCH(QString, revision);
        QFETCH(QString, expected);
        connect_device(device(Device::Halkora, revision));
        QTRY_VERIFY(sm_B->configuration().contains(sm_B->B2));
        QCOMPARE(status(), expected);
        QVERIFY(mainWindow->installButton->isEnabled());
    }

    void another_product_shows_only_the_product()
    {
        connect_device(device(Device::Durna, QStringLiteral("1.0")));
        QTRY_VERIFY(sm_B->configuration().contains(sm_B->B8));
        QCOMPARE(status(), QStringLiteral("Connected to a R7Z."));
        QVERIFY(!mainWindow->installButton->isEnabled());
    }

    // The button is disabled (row 4) before the status line and bar are reset (row 8).
    void upgrade_impossible_disables_the_button_first()
    {
        connect_device(device(Device::Halkora, QStringLiteral("3.1.0")));
        QTRY_VERIFY(sm_B->configuration().contains(sm_B->B2));
        QString status_when_disabled;
        QObject::connect(mainWindow.data(), &MainWindow::downloadModeChanged, mainWindow.data(),
                         [&] { status_when_disabled = status(); });
        emit sm_A->sig_NoDevConn();
        QTRY_VERIFY(sm_B->configuration().contains(sm_B->B1));
        QCOMPARE(status_when_disabled, QStringLiteral("Connected to a M30 with firmware version 3.1.0"));
        QCOMPARE(status(), QStringLiteral("The USB cable must have a 'Micro B' plug and a 'Type A' plug."));
        QVERIFY(!mainWindow->installButton->isEnabled());
        QVERIFY(mainWindow->progressBar->isHidden());
    }

    void click_starts_the_download_progress()
    {
        connect_device(device(Device::Halkora, QStringLiteral("3.1.0")));
        QTRY_VERIFY(mainWindow->installButton->isEnabled());
        QTest::mouseClick(mainWindow->installButton, Qt::LeftButton);
        QVERIFY(mainWindow->progressBar->timer->isActive());
        QCOMPARE(mainWindow->progressBar->format(), QStringLiteral("Upgrading firmware"));
        QTRY_VERIFY(sm_B->configuration().contains(sm_B->B3));
        QCOMPARE(sm_A->get_command(), SM_A::Download);
    }

    void verification_outcomes_data()
    {
        QTest::addColumn<bool>("matches");
        QTest::newRow("matches") << true;
        QTest::newRow("differs") << false;
    }

    void verification_outcomes()
    {
        QFETCH(bool, matches);
        connect_device(device(Device::Halkora, desired_revision));
        QTRY_VERIFY(sm_B->configuration().contains(sm_B->B4));
        QCOMPARE(mainWindow->progressBar->format(), QStringLiteral("Uploading & verifying"));
        if (matches)
            emit sm_A->sig_FwUploadedMatches();
        else
            emit sm_A->sig_FwUploadedDiffers();
        ProgressBar* bar = mainWindow->progressBar;
        if (matches) {
            QTRY_VERIFY(sm_B->configuration().contains(sm_B->B6));
            QCOMPARE(bar->format(), QStringLiteral("Done. Disconnect USB cable."));
            QCOMPARE(bar->value(), bar->maximum());
            QVERIFY(bar->isVisible());
            QVERIFY(!mainWindow->installButton->isEnabled());
        } else {
            QTRY_VERIFY(sm_B->configuration().contains(sm_B->B7));
            QCOMPARE(bar->format(), QStringLiteral("FW differs"));
            QVERIFY(bar->isHidden());
            QVERIFY(mainWindow->installButton->isEnabled());
        }
        QVERIFY(!bar->timer->isActive());
        QCOMPARE(status(), QStringLiteral("Connected to a M30 with firmware version 3.2.0"));
    }

    // Q stops the machines: the log goes back to standard error first, even when the
    // log window took it; a later click starts nothing.
    void q_stops_and_logs_on_standard_error()
    {
        connect_device(device(Device::Halkora, QStringLiteral("3.1.0")));
        QTRY_VERIFY(mainWindow->installButton->isEnabled());
        qInstallMessageHandler(logWindowMessageHandler);
        StderrCapture capture;
        QTest::keyClick(mainWindow.data(), Qt::Key_Q);
        const QString err = QString::fromLocal8Bit(capture.take());
        QVERIFY2(err.contains(QStringLiteral("Msg-handler reset\nTrying to stop sm_A\n")), qPrintable(err));
        QVERIFY(!err.contains(QStringLiteral("Oops")));
        QTRY_VERIFY(!sm_B->isRunning());
        QVERIFY(sm_A->is_stopping());

        mainWindow->installButton->setEnabled(true);
        QTest::mouseClick(mainWindow->installButton, Qt::LeftButton);
        QVERIFY(!mainWindow->progressBar->timer->isActive());
        QVERIFY(mainWindow->progressBar->isHidden());
    }

    void ctrl_l_toggles_the_log_window_from_both_windows()
    {
        mainWindow->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(mainWindow.data()));
        QTest::keyClick(mainWindow.data(), Qt::Key_L, Qt::ControlModifier);
        QTRY_VERIFY(logWindow->dialog->isVisible());
        logWindow->dialog->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(logWindow->dialog));
        QTest::keyClick(logWindow->dialog, Qt::Key_L, Qt::ControlModifier);
        QTRY_VERIFY(!logWindow->dialog->isVisible());
    }

    void no_status_line_is_no_crash()
    {
        mainWindow->statusLabel = nullptr;
        connect_device(device(Device::Halkora, QStringLiteral("3.1.0")));
        QTRY_VERIFY(sm_B->configuration().contains(sm_B->B2));
        emit sm_A->sig_NoDevConn();
        QTRY_VERIFY(sm_B->configuration().contains(sm_B->B1));
    }
};

QTEST_MAIN(TestConnections)
#include "test_connections.moc"
