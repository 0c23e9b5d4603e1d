// The device worker against the simulated dfu-util: its signal sequences, its commands and its stop.
#include "device/fw_info.h"
#include "dfu/command.h"
#include "log_capture.h"
#include "simulator/simulator.h"
#include "sm/sm_a.h"
#include "sm/sm_b.h"

#include <QFile>
#include <QMutex>
#include <QMutexLocker>
#include <QProcess>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

bool have_service_build()
{
    return false;
}

namespace {

// Short pauses keep the sequences quick; the stop cases use long ones, so that a pause
// that a stop cannot cut short shows as a worker that does not end.
constexpr int short_pause_ms = 20;
constexpr int long_pause_ms = 60000;
// Bounds on hanging, not speed figures: a stopped worker ends well within these.
constexpr int stop_bound_ms = 5000;
constexpr int download_stop_bound_ms = 30000;
constexpr int sequence_timeout_ms = 20000;
constexpr int child_timeout_ms = 90000;

const char* const stop_child_variable = "VANTREL_TEST_SM_A_STOP_CHILD";

// Every worker signal by name, in the order the worker thread emitted them.
class Recorder {
public:
    explicit Recorder(SM_A* worker)
    {
        auto add = [this, worker](auto signal, char const* name) {
            QObject::connect(worker, signal, [this, name]() { append(QLatin1String(name)); });
        };
        add(&SM_A::sig_NoDevConn, "NoDevConn");
        add(&SM_A::sig_scanning, "scanning");
        add(&SM_A::sig_readingInfo, "readingInfo");
        add(&SM_A::sig_FwDownloading, "FwDownloading");
        add(&SM_A::sig_FwDownloaded, "FwDownloaded");
        add(&SM_A::sig_FwUploading, "FwUploading");
        add(&SM_A::sig_FwUploadedDiffers, "FwUploadedDiffers");
        add(&SM_A::sig_FwUploadedMatches, "FwUploadedMatches");
        add(&SM_A::sig_A0_entered, "A0");
        add(&SM_A::sig_A1_entered, "A1");
        add(&SM_A::sig_A2_entered, "A2");
        add(&SM_A::sig_A4_entered, "A4");
        add(&SM_A::sig_A5_entered, "A5");
        add(&SM_A::sig_A6_entered, "A6");
        add(&SM_A::sig_A7_entered, "A7");
        QObject::connect(worker, &SM_A::sig_DeviceError, [this](QString) { append(QStringLiteral("DeviceError")); });
        QObject::connect(worker, &SM_A::sig_DevConn, [this](DFU::DeviceInfo info, quint64 number) {
            QMutexLocker lock(&mutex_);
            names_ << QStringLiteral("DevConn");
            infos_ << info;
            numbers_ << number;
        });
    }

    QStringList names() const
    {
        QMutexLocker lock(&mutex_);
        return names_;
    }
    int count(QString const& name) const { return names().count(name); }
    QList<DFU::DeviceInfo> infos() const
    {
        QMutexLocker lock(&mutex_);
        return infos_;
    }
    QList<quint64> numbers() const
    {
        QMutexLocker lock(&mutex_);
        return numbers_;
    }

private:
    void append(QString const& name)
    {
        QMutexLocker lock(&mutex_);
        names_ << name;
    }

    mutable QMutex mutex_;
    QStringList names_;
    QList<DFU::DeviceInfo> infos_;
    QList<quint64> numbers_;
};

QStringList repeated(QStringList const& pass, int times)
{
    QStringList all;
    for (int i = 0; i < times; ++i)
        all << pass;
    return all;
}

// The names that follow the first occurrence of `from`, `count` of them.
QStringList after(QStringList const& names, QString const& from, int count)
{
    const int start = names.indexOf(from);
    return start < 0 ? QStringList() : names.mid(start + 1, count);
}

QString carried_revision()
{
    return Device::make_FW_Info(simulator::dfu_util_path(QStringLiteral("firmware.bin"))).revision;
}

Device::Type carried_type()
{
    return Device::make_FW_Info(simulator::dfu_util_path(QStringLiteral("firmware.bin"))).product.type;
}

// A stand-in for dfu-util that marks that it runs, then hangs until it is killed.
QString write_hanging_program(QTemporaryDir const& dir)
{
    const QString path = dir.filePath(QStringLiteral("hang.sh"));
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return QString();
    file.write("#!/bin/sh\n: > \"$1\"\nexec sleep 120\n");
    file.close();
    file.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    return path;
}

} // namespace

class TestSmA : public QObject {
    Q_OBJECT

    QTemporaryDir state_dir_;
    QTemporaryDir work_dir_;
    std::unique_ptr<SM_A> worker_;
    std::unique_ptr<Recorder> recorder_;

    void use_configuration(char const* name)
    {
        QCOMPARE(simulator::sim_setup_prepared_config(QLatin1String(name)), 0);
    }

    void start_worker(char const* configuration, int pause_ms = short_pause_ms)
    {
        use_configuration(configuration);
        worker_.reset(new SM_A(QString(), simulator::dfu_util_path(QStringLiteral("firmware.bin")),
                               work_dir_.filePath(QStringLiteral("uploaded_FW.bin")), nullptr));
        worker_->rescan_delay_ms = pause_ms;
        worker_->poll_interval_ms = pause_ms;
        recorder_.reset(new Recorder(worker_.get()));
        worker_->start();
    }

    bool reaches(QString const& name, int times = 1, int timeout_ms = sequence_timeout_ms)
    {
        QElapsedTimer waited;
        waited.start();
        while (recorder_->count(name) < times) {
            if (waited.elapsed() > timeout_ms)
                return false;
            QTest::qWait(5);
        }
        return true;
    }

private slots:
    void initTestCase()
    {
        QVERIFY(state_dir_.isValid());
        QVERIFY(work_dir_.isValid());
        qputenv("VANTREL_SIMULATOR_STATE_DIR", QFile::encodeName(state_dir_.path()));
        simulator::setup_for_simulated_dfu_util(simulator::fast_progress);
        QVERIFY(!carried_revision().isEmpty());
    }

    void cleanup()
    {
        // The destructor stops the worker without ending dfu-util runs for good.
        worker_.reset();
        recorder_.reset();
    }

    void sequences_data()
    {
        QTest::addColumn<QString>("configuration");
        QTest::addColumn<QString>("until");
        QTest::addColumn<int>("times");
        QTest::addColumn<QStringList>("expected");

        const QStringList no_device_pass{"A0", "A1", "NoDevConn", "A2", "scanning"};
        QTest::newRow("no device") << "no-device" << "A0" << 4 << repeated(no_device_pass, 3);
        QTest::newRow("two devices are none") << "two-devices" << "A0" << 4 << repeated(no_device_pass, 3);
        QTest::newRow("known device read once")
            << "older-revision" << "A4" << 4
            << (no_device_pass + QStringList{"readingInfo", "NoDevConn", "DevConn"}
                + repeated({"A4", "A2", "scanning"}, 3) + QStringList{"A4"});
        QTest::newRow("failing read waits in A7")
            << "otp-read-fails" << "A7" << 1
            << (no_device_pass + QStringList{"readingInfo", "NoDevConn", "DeviceError", "A7", "scanning"});
    }

    void sequences()
    {
        QFETCH(QString, configuration);
        QFETCH(QString, until);
        QFETCH(int, times);
        QFETCH(QStringList, expected);
        start_worker(qPrintable(configuration));
        QVERIFY(reaches(until, times));
        QCOMPARE(recorder_->names().mid(0, expected.size()), expected);
    }

    void device_record_is_sent_with_devconn()
    {
        start_worker("older-revision");
        QVERIFY(reaches(QStringLiteral("DevConn")));
        const DFU::DeviceInfo info = recorder_->infos().first();
        QVERIFY(info.valid);
        QCOMPARE(info.type, carried_type());
        QVERIFY(!info.FW_revision.isEmpty());
        QVERIFY(info.FW_revision != carried_revision());
    }

    void failing_read_then_another_device()
    {
        start_worker("otp-read-fails");
        QVERIFY(reaches(QStringLiteral("A7")));
        // No signal marks A7's scans: give it several before the device goes.
        QTest::qWait(10 * short_pause_ms);
        QCOMPARE(after(recorder_->names(), QStringLiteral("DeviceError"), 10), (QStringList{"A7", "scanning"}));

        use_configuration("no-device");
        QVERIFY(reaches(QStringLiteral("A0"), 2));
        use_configuration("older-revision");
        QVERIFY(reaches(QStringLiteral("DevConn")));
        QCOMPARE(recorder_->count(QStringLiteral("DeviceError")), 1);
        QCOMPARE(recorder_->count(QStringLiteral("readingInfo")), 2);
        QCOMPARE(recorder_->names().mid(recorder_->names().indexOf(QStringLiteral("DevConn")) - 2, 3),
                 (QStringList{"readingInfo", "NoDevConn", "DevConn"}));
    }

    void download_then_read_again()
    {
        start_worker("older-revision");
        QVERIFY(reaches(QStringLiteral("DevConn")));
        worker_->set_command(SM_A::Download);
        QVERIFY(reaches(QStringLiteral("DevConn"), 2));

        QCOMPARE(after(recorder_->names(), QStringLiteral("A5"), 4),
                 (QStringList{"FwDownloading", "FwDownloaded", "A0", "A1"}));
        QCOMPARE(recorder_->infos().last().FW_revision, carried_revision());
        QCOMPARE(worker_->get_command(), SM_A::None);
    }

    void verify_data()
    {
        QTest::addColumn<QString>("configuration");
        QTest::addColumn<QString>("result");
        QTest::newRow("carried revision matches") << "carried-revision" << "FwUploadedMatches";
        QTest::newRow("older revision differs") << "older-revision" << "FwUploadedDiffers";
    }

    void verify()
    {
        QFETCH(QString, configuration);
        QFETCH(QString, result);
        start_worker(qPrintable(configuration));
        QVERIFY(reaches(QStringLiteral("DevConn")));
        worker_->set_command(SM_A::UploadVerify);
        QVERIFY(reaches(result));
        const int result_at = recorder_->names().indexOf(result);
        QVERIFY(reaches(QStringLiteral("A4"), recorder_->names().mid(0, result_at).count(QStringLiteral("A4")) + 1));

        const QStringList names = recorder_->names();
        QCOMPARE(names.mid(result_at - 3, 6), (QStringList{"A4", "A6", "FwUploading", result, "A2", "scanning"}));
        QCOMPARE(names.count(QStringLiteral("FwUploadedMatches")) + names.count(QStringLiteral("FwUploadedDiffers")), 1);
        QCOMPARE(names.count(QStringLiteral("readingInfo")), 1);
    }

    // One device takes another's place between two scans (the listing never shows none):
    // the newcomer is read into a fresh record, so nothing of the earlier device, like
    // its firmware revision, is reported as the newcomer's.
    void replacing_device_is_read_into_a_fresh_record()
    {
        const QString serial_file = work_dir_.filePath(QStringLiteral("serial"));
        auto write_serial = [&serial_file](QByteArray serial) {
            QFile file(serial_file);
            return file.open(QIODevice::WriteOnly) && file.write(serial) == serial.size();
        };
        QVERIFY(write_serial("3276365D3133"));
        const QString relabel = work_dir_.filePath(QStringLiteral("relabel.sh"));
        {
            QFile script(relabel);
            QVERIFY(script.open(QIODevice::WriteOnly));
            // Lists what the simulator lists, under the serial number held in a file.
            script.write("#!/bin/sh\nserial=$(cat \"$1\")\nshift\n\"$@\" | sed \"s/3276365D3133/$serial/\"\n");
            script.close();
            script.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        }
        const DFU::Command listing = DFU::commands[DFU::list];
        DFU::commands[DFU::list] = {relabel, QStringList{serial_file, listing.program} + listing.args};

        start_worker("carried-revision");
        QVERIFY(reaches(QStringLiteral("DevConn")));
        use_configuration("firmware-of-other-product");
        QVERIFY(write_serial("2059386B4E31"));
        QVERIFY(reaches(QStringLiteral("DevConn"), 2));
        worker_.reset();
        DFU::commands[DFU::list] = listing;

        QCOMPARE(recorder_->count(QStringLiteral("A0")), 1);
        QCOMPARE(recorder_->infos().at(0).FW_revision, carried_revision());
        QCOMPARE(recorder_->infos().at(1).FW_revision, QString());
        QVERIFY(!recorder_->infos().at(1).FW_info.valid);
    }

    // The user clicks just before the device is unplugged: the download must not reach
    // the next device read.
    void command_of_a_device_that_went_is_discarded()
    {
        use_configuration("older-revision");
        worker_.reset(new SM_A(QString(), simulator::dfu_util_path(QStringLiteral("firmware.bin")),
                               work_dir_.filePath(QStringLiteral("uploaded_FW.bin")), nullptr));
        worker_->rescan_delay_ms = short_pause_ms;
        worker_->poll_interval_ms = short_pause_ms;
        recorder_.reset(new Recorder(worker_.get()));
        SM_A* worker = worker_.get();
        Recorder* recorder = recorder_.get();
        bool unplugged = false;
        // Runs in the worker thread after A4 has looked for a command and before the scan
        // that finds the device gone.
        connect(worker, &SM_A::sig_A2_entered, worker, [worker, recorder, &unplugged]() {
            if (unplugged || recorder->count(QStringLiteral("DevConn")) == 0)
                return;
            unplugged = true;
            simulator::sim_setup_prepared_config(QStringLiteral("no-device"));
            worker->set_command(SM_A::Download);
        }, Qt::DirectConnection);
        worker_->start();

        QVERIFY(reaches(QStringLiteral("A0"), 2));
        use_configuration("older-revision");
        QVERIFY(reaches(QStringLiteral("DevConn"), 2));
        const int passes = recorder_->count(QStringLiteral("A4"));
        QVERIFY(reaches(QStringLiteral("A4"), passes + 3));
        QCOMPARE(recorder_->count(QStringLiteral("FwDownloading")), 0);
        // Dropped when the device went, not later as a command of an earlier connection.
        QCOMPARE(recorder_->count(QStringLiteral("readingInfo")), 2);
        QCOMPARE(worker_->get_command(), SM_A::None);
    }

    // A command the flow gave for an earlier connection of the device is not carried
    // out; the worker announces the device afresh, and a verification reports failure.
    void command_for_an_earlier_connection_is_discarded_data()
    {
        QTest::addColumn<int>("command");
        QTest::addColumn<int>("differs");
        QTest::newRow("download") << int(SM_A::Download) << 0;
        QTest::newRow("verification") << int(SM_A::UploadVerify) << 1;
    }

    void command_for_an_earlier_connection_is_discarded()
    {
        QFETCH(int, command);
        QFETCH(int, differs);
        start_worker("older-revision");
        QVERIFY(reaches(QStringLiteral("DevConn")));
        use_configuration("no-device");
        QVERIFY(reaches(QStringLiteral("A0"), 2));
        use_configuration("older-revision");
        QVERIFY(reaches(QStringLiteral("DevConn"), 2));

        worker_->set_command(SM_A::Command(command), recorder_->numbers().first());
        QVERIFY(reaches(QStringLiteral("DevConn"), 3));
        QCOMPARE(recorder_->count(QStringLiteral("FwDownloading")) + recorder_->count(QStringLiteral("FwUploading")), 0);
        QCOMPARE(recorder_->count(QStringLiteral("FwUploadedDiffers")), differs);
        QCOMPARE(recorder_->count(QStringLiteral("readingInfo")), 3);
    }

    // The whole flow against the simulated device: the image is "Done" only when the
    // read-back equals it, whatever dfu-util said about the download.
    void upgrade_outcome_data()
    {
        QTest::addColumn<QString>("configuration");
        QTest::addColumn<QString>("final_state");
        QTest::newRow("good download") << "older-revision" << "B6";
        QTest::newRow("write error: offered again") << "write-error" << "B2";
        QTest::newRow("stored wrongly: differs") << "read-back-differs" << "B7";
        QTest::newRow("error after a good write: read-back decides") << "leave-error" << "B6";
    }

    void upgrade_outcome()
    {
        QFETCH(QString, configuration);
        QFETCH(QString, final_state);
        use_configuration(qPrintable(configuration));
        worker_.reset(new SM_A(QString(), simulator::dfu_util_path(QStringLiteral("firmware.bin")),
                               work_dir_.filePath(QStringLiteral("uploaded_FW.bin")), nullptr));
        worker_->rescan_delay_ms = short_pause_ms;
        worker_->poll_interval_ms = short_pause_ms;
        recorder_.reset(new Recorder(worker_.get()));
        SM_B flow(worker_.get(), carried_type(), carried_revision());
        QSignalSpy matches(&flow, &SM_B::sig_FwMatches);
        QSignalSpy offered(&flow, &SM_B::sig_UpgradePossible);
        auto state = [&flow]() {
            const auto active = flow.configuration();
            return active.size() == 1 ? (*active.begin())->objectName().left(2) : QString();
        };
        connect(&flow, &QStateMachine::started, worker_.get(), [this]() { worker_->start(); });
        flow.start();

        QTRY_COMPARE_WITH_TIMEOUT(state(), QStringLiteral("B2"), sequence_timeout_ms);
        flow.do_download();
        QTRY_VERIFY_WITH_TIMEOUT(recorder_->count(QStringLiteral("DevConn")) == 2, sequence_timeout_ms);
        if (final_state != QLatin1String("B2"))
            QTRY_COMPARE_WITH_TIMEOUT(state(), final_state, sequence_timeout_ms);
        else
            QTRY_COMPARE_WITH_TIMEOUT(offered.count(), 2, sequence_timeout_ms);
        QCOMPARE(state(), final_state);
        QCOMPARE(matches.count(), final_state == QLatin1String("B6") ? 1 : 0);
        flow.stop();
        worker_.reset();
    }

    // Each case runs in a process of its own: a stop ends dfu-util listings and uploads
    // for the rest of the process.
    void stop_ends_worker_data()
    {
        QTest::addColumn<QString>("configuration");
        QTest::addColumn<QString>("until");
        QTest::addColumn<int>("times");
        QTest::addColumn<QString>("hanging");
        QTest::addColumn<int>("command");
        QTest::addColumn<int>("bound_ms");

        QTest::newRow("A1 pause") << "no-device" << "NoDevConn" << 2 << "" << int(SM_A::None) << stop_bound_ms;
        QTest::newRow("A4 pause") << "older-revision" << "A4" << 1 << "" << int(SM_A::None) << stop_bound_ms;
        QTest::newRow("A7 waiting for a failing device")
            << "otp-read-fails" << "A7" << 1 << "" << int(SM_A::None) << stop_bound_ms;
        QTest::newRow("A2 hanging listing") << "older-revision" << "A2" << 1 << "list" << int(SM_A::None)
                                            << stop_bound_ms;
        QTest::newRow("A6 hanging read-back")
            << "carried-revision" << "FwUploading" << 1 << "upload_FW" << int(SM_A::UploadVerify) << stop_bound_ms;
        QTest::newRow("A5 download is finished first")
            << "older-revision" << "FwDownloading" << 1 << "" << int(SM_A::Download) << download_stop_bound_ms;
    }

    void stop_ends_worker()
    {
        QFETCH(QString, configuration);
        QFETCH(QString, until);
        QFETCH(int, times);
        QFETCH(QString, hanging);
        QFETCH(int, command);
        QFETCH(int, bound_ms);

        if (qEnvironmentVariableIsEmpty(stop_child_variable)) {
            QProcess child;
            QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
            environment.insert(QLatin1String(stop_child_variable), QStringLiteral("1"));
            child.setProcessEnvironment(environment);
            child.setProcessChannelMode(QProcess::MergedChannels);
            child.start(QCoreApplication::applicationFilePath(),
                        {QStringLiteral("stop_ends_worker:") + QLatin1String(QTest::currentDataTag())});
            QVERIFY(child.waitForFinished(child_timeout_ms));
            const QByteArray output = child.readAll();
            if (child.exitStatus() != QProcess::NormalExit || child.exitCode() != 0)
                qWarning().noquote() << output;
            QCOMPARE(child.exitStatus(), QProcess::NormalExit);
            QCOMPARE(child.exitCode(), 0);
            QVERIFY2(output.contains("PASS   : TestSmA::stop_ends_worker"), output.constData());
            return;
        }

        const QString marker = work_dir_.filePath(QStringLiteral("hanging-started"));
        if (!hanging.isEmpty()) {
            const QString program = write_hanging_program(work_dir_);
            QVERIFY(!program.isEmpty());
            DFU::commands[hanging == QLatin1String("list") ? DFU::list : DFU::upload_FW] = {program, {marker}};
        }
        if (command == SM_A::Download) {
            // A download that takes a few seconds, as a real one does.
            DFU::commands[DFU::download_FW].args.removeAll(QStringLiteral("--fast-progress"));
        }
        LogCapture log;
        // A command is given as soon as the device is known; the worker then runs into
        // the hanging or slow dfu-util run, and the pauses need not be long.
        start_worker(qPrintable(configuration), command == SM_A::None ? long_pause_ms : short_pause_ms);
        if (command != SM_A::None) {
            QVERIFY(reaches(QStringLiteral("DevConn")));
            worker_->set_command(SM_A::Command(command));
        }
        QVERIFY(reaches(until, times));
        if (!hanging.isEmpty())
            QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(marker), sequence_timeout_ms);

        worker_->do_stop();
        QVERIFY2(worker_->wait(bound_ms), qPrintable(QStringLiteral("still running after %1 ms").arg(bound_ms)));
        QVERIFY(worker_->isFinished());

        if (command == SM_A::Download) {
            QCOMPARE(log.lines_starting_with(QStringLiteral("SM_A: Stop requested during the firmware download")).size(), 1);
            QCOMPARE(recorder_->count(QStringLiteral("FwDownloaded")), 1);
            QCOMPARE(log.lines_starting_with(QStringLiteral("Abandoned")), QStringList());
            QCOMPARE(log.lines_starting_with(QStringLiteral("Exit with")), QStringList());
        } else {
            QCOMPARE(log.lines_starting_with(QStringLiteral("SM_A: Stop requested during")), QStringList());
        }
        QCOMPARE(recorder_->count(QStringLiteral("FwDownloading")), command == SM_A::Download ? 1 : 0);
    }
};

QTEST_GUILESS_MAIN(TestSmA)
#include "test_sm_a.moc"
