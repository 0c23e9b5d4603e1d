// The hand-over of device records from the worker to the flow while devices swap at every scan and the GUI thread lags.
#include "device/fw_info.h"
#include "device/otp_info.h"
#include "simulator/simulator.h"
#include "sm/sm_a.h"
#include "sm/sm_b.h"

#include <QFile>
#include <QMutex>
#include <QElapsedTimer>
#include <QMutexLocker>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

bool have_service_build()
{
    return false;
}

namespace {

// Decisions the flow must make before the run ends; each follows a swap of devices.
constexpr int decisions_wanted = 150;
constexpr int run_timeout_ms = 180000;
// After every other decision the GUI thread stalls until the worker has read the device
// after the next one (bounded by this), so that the flow takes the next record while the
// worker is already a device further, however fast either thread runs; after the others
// it stalls a random while up to the second figure.
constexpr int gui_wait_for_worker_max_ms = 10000;
constexpr int gui_stall_max_ms = 60;
constexpr quint32 stall_seed = 20240611;

// The devices of the simulator's alternating configuration.
const QString carried_serial = QStringLiteral("3276365D3133");
const QString other_serial = QStringLiteral("2059386B4E31");

QString data_file(char const* name)
{
    return simulator::dfu_util_path(QLatin1String(name));
}

// What decides the flow: equal records lead to equal decisions and status texts.
QString essentials(DFU::DeviceInfo const& info)
{
    return QStringLiteral("valid=%1 type=%2 revision=%3 otp=%4 blank=%5 fw_valid=%6")
        .arg(info.valid)
        .arg(int(info.type))
        .arg(info.FW_revision.isNull() ? QStringLiteral("<null>") : info.FW_revision)
        .arg(QString(info.OTP_info))
        .arg(info.OTP_info.blank)
        .arg(info.FW_info.valid);
}

struct Decision {
    DFU::DeviceInfo info;
    QString state;
    // How many records the worker had sent when the flow took this one.
    int records_sent = 0;
};

} // namespace

class TestHandoverStress : public QObject {
    Q_OBJECT

    QTemporaryDir state_dir_;
    QTemporaryDir work_dir_;

private slots:
    void initTestCase()
    {
        QVERIFY(state_dir_.isValid());
        QVERIFY(work_dir_.isValid());
        qputenv("VANTREL_SIMULATOR_STATE_DIR", QFile::encodeName(state_dir_.path()));
        simulator::setup_for_simulated_dfu_util(simulator::fast_progress);
        QCOMPARE(simulator::sim_setup_prepared_config(QStringLiteral("alternating")), 0);
    }

    void every_decision_uses_its_own_record()
    {
        const Device::FW_Info carried = Device::make_FW_Info(data_file("firmware.bin"));
        const QString older_revision = Device::make_FW_Info(data_file("firmware-older-revision.bin")).revision;
        const Device::Type other_type = Device::make_OTP_Info(data_file("otp-other-product.bin")).product.type;
        QVERIFY(carried.valid);
        QVERIFY(older_revision != carried.revision);
        QVERIFY(other_type != carried.product.type);

        auto worker = std::make_unique<SM_A>(QString(), data_file("firmware.bin"),
                                             work_dir_.filePath(QStringLiteral("uploaded_FW.bin")), nullptr);
        worker->rescan_delay_ms = 0;
        worker->poll_interval_ms = 0;

        QMutex mutex;
        QList<DFU::DeviceInfo> sent;
        connect(worker.get(), &SM_A::sig_DevConn, worker.get(), [&](DFU::DeviceInfo info, quint64) {
            QMutexLocker lock(&mutex);
            sent << info;
        }, Qt::DirectConnection);
        auto sent_count = [&]() {
            QMutexLocker lock(&mutex);
            return sent.size();
        };

        SM_B flow(worker.get(), carried.product.type, carried.revision);
        QList<Decision> decisions;
        QRandomGenerator stall(stall_seed);
        // Connected after the flow's own exit action, so the flow's copy is already taken.
        connect(flow.B1, &QState::exited, this,
                [&]() { decisions << Decision{flow.device_info, QString(), sent_count()}; });
        // After a decision the GUI thread lags: the next record is already queued for the
        // flow, and the worker goes on to read the device after it meanwhile.
        auto lag = [&]() {
            if (decisions.size() % 2 == 0) {
                QElapsedTimer waited;
                waited.start();
                while (sent_count() < decisions.size() + 2 && waited.elapsed() < gui_wait_for_worker_max_ms)
                    QThread::msleep(1);
            } else {
                QThread::msleep(stall.bounded(gui_stall_max_ms + 1));
            }
        };
        for (QState* state : {flow.B2, flow.B3, flow.B4, flow.B6, flow.B7, flow.B8, flow.B9}) {
            connect(state, &QState::entered, this, [&decisions, &lag, state]() {
                if (!decisions.isEmpty() && decisions.last().state.isEmpty()) {
                    decisions.last().state = state->objectName().left(2);
                    lag();
                }
            });
        }
        connect(&flow, &QStateMachine::started, worker.get(), [&worker]() { worker->start(); });
        flow.start();

        QTRY_VERIFY_WITH_TIMEOUT(decisions.size() >= decisions_wanted, run_timeout_ms);
        worker->do_stop();
        QVERIFY(worker->wait(run_timeout_ms));
        flow.stop();
        while (!decisions.isEmpty() && decisions.last().state.isEmpty())
            decisions.removeLast();

        // Which device each record was read from, by the simulated devices' own log: the
        // reads of the OTP area, in order, each after a listing that showed that device.
        QFile log_file(state_dir_.filePath(QStringLiteral("log")));
        QVERIFY(log_file.open(QIODevice::ReadOnly));
        QStringList read_from;
        QString listed;
        for (QString const& line : QString::fromUtf8(log_file.readAll()).split(QLatin1Char('\n'))) {
            const QStringList words = line.split(QLatin1Char(' '));
            if (words.first() == QLatin1String("list"))
                listed = words.mid(1).join(QLatin1Char(' '));
            if (words.size() >= 3 && words.at(0) == QLatin1String("upload") && words.at(2) == QLatin1String("alt=2")) {
                QCOMPARE(words.at(1), listed);
                read_from << words.at(1);
            }
        }

        QVERIFY(sent.size() >= decisions.size());
        QVERIFY(read_from.size() >= sent.size());
        int lagging = 0;
        for (int i = 0; i < decisions.size(); ++i) {
            Decision const& decision = decisions.at(i);
            const QString where = QStringLiteral("decision %1 of %2").arg(i).arg(decisions.size());
            // The flow decided on the very record the worker sent for this connection...
            QVERIFY2(essentials(decision.info) == essentials(sent.at(i)), qPrintable(where));
            // ...which is the record of the device listed and read at that time...
            const bool carried_device = read_from.at(i) == carried_serial;
            QVERIFY2(carried_device || read_from.at(i) == other_serial, qPrintable(where));
            QVERIFY2(decision.info.valid, qPrintable(where));
            QCOMPARE(decision.info.type, carried_device ? carried.product.type : other_type);
            if (carried_device)
                QCOMPARE(decision.info.FW_revision, older_revision);
            // ...and the state chosen is the one for that device.
            QCOMPARE(decision.state, QLatin1String(carried_device ? "B2" : "B8"));
            if (i > 0)
                QVERIFY2(read_from.at(i) != read_from.at(i - 1), qPrintable(where + QStringLiteral(": no swap")));
            if (decision.records_sent > i + 1)
                ++lagging;
        }
        // The stress reached the overlap it is about: the worker had read the next device
        // already while the flow was deciding on the previous one.
        qInfo("%d decisions, %d of them taken while the worker was already a device ahead", int(decisions.size()),
              lagging);
        QVERIFY(lagging >= decisions.size() / 3);
    }
};

QTEST_GUILESS_MAIN(TestHandoverStress)
#include "test_handover_stress.moc"
