// The upgrade flow driven by a worker that is never started: the test emits its signals.
#include "log_capture.h"
#include "sm/sm_a.h"
#include "sm/sm_b.h"

#include <QFile>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QThread>
#include <QtTest>

#include <cstdio>
#include <fcntl.h>
#include <memory>
#include <unistd.h>

namespace {

bool service_build = false;

} // namespace

bool have_service_build()
{
    return service_build;
}

namespace {

const Device::Type desired_type = Device::Halkora;
const QString desired_rev = QStringLiteral("3.2.0-rc1");

DFU::DeviceInfo make_info(bool valid, Device::Type type, QString revision, bool blank = false)
{
    DFU::DeviceInfo info;
    info.valid = valid;
    info.type = type;
    info.FW_revision = revision;
    info.OTP_info.blank = blank;
    info.OTP_info.product.type = type;
    return info;
}

// The devices the flow is shown, by the name the tables use.
DFU::DeviceInfo device(QString const& kind)
{
    if (kind == QLatin1String("same"))
        return make_info(true, desired_type, desired_rev);
    if (kind == QLatin1String("other_rev"))
        return make_info(true, desired_type, QStringLiteral("3.1.0"));
    if (kind == QLatin1String("case_only"))
        return make_info(true, desired_type, QStringLiteral("3.2.0-RC1"));
    if (kind == QLatin1String("no_rev"))
        return make_info(true, desired_type, QString());
    if (kind == QLatin1String("other_product"))
        return make_info(true, Device::Korvath, desired_rev);
    if (kind == QLatin1String("blank"))
        return make_info(true, desired_type, desired_rev, true);
    if (kind == QLatin1String("blank_other_product"))
        return make_info(true, Device::Korvath, QStringLiteral("1.0"), true);
    if (kind == QLatin1String("not_read"))
        return make_info(false, Device::Invalid, QString());
    qFatal("unknown device kind");
    return {};
}

// Standard output, fd 1, goes to a file while the capture lives; the guard trace is
// written there with printf, not through the log.
class StdoutCapture {
public:
    StdoutCapture()
    {
        std::fflush(stdout);
        saved_ = ::dup(1);
        const QByteArray path = QFile::encodeName(dir_.filePath(QStringLiteral("stdout")));
        const int fd = ::open(path.constData(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        ::dup2(fd, 1);
        ::close(fd);
    }
    ~StdoutCapture() { restore(); }

    // The guard trace lines only: QTest writes its own report to standard output too.
    QStringList guard_lines()
    {
        restore();
        QFile file(dir_.filePath(QStringLiteral("stdout")));
        if (!file.open(QIODevice::ReadOnly))
            return {QStringLiteral("<no capture>")};
        return QString::fromUtf8(file.readAll())
            .split(QLatin1Char('\n'))
            .filter(QRegularExpression(QStringLiteral("^device_has_valid_type")));
    }

private:
    void restore()
    {
        if (saved_ < 0)
            return;
        std::fflush(stdout);
        ::dup2(saved_, 1);
        ::close(saved_);
        saved_ = -1;
    }

    QTemporaryDir dir_;
    int saved_ = -1;
};

QString trace(int valid, int type)
{
    return QStringLiteral("device_has_valid_type(%1): valid %2, device_type: %3").arg(int(desired_type)).arg(valid).arg(type);
}

} // namespace

class TestSmB : public QObject {
    Q_OBJECT

    std::unique_ptr<SM_A> worker_;
    std::unique_ptr<SM_B> flow_;
    QStringList emitted_;
    quint64 connection_ = 0;

    QString state() const
    {
        const auto active = flow_->configuration();
        return active.size() == 1 ? (*active.begin())->objectName().left(2) : QStringLiteral("none");
    }

    void record(void (SM_B::*signal)(), char const* name)
    {
        connect(flow_.get(), signal, this, [this, name]() { emitted_ << QLatin1String(name); });
    }

    void start_flow(Device::Type id = desired_type, QString revision = desired_rev)
    {
        worker_.reset(new SM_A(QString(), QString(), QString(), nullptr));
        flow_.reset(new SM_B(worker_.get(), id, revision));
        record(&SM_B::sig_UpgradeImpossible, "UpgradeImpossible");
        record(&SM_B::sig_UpgradePossible, "UpgradePossible");
        record(&SM_B::sig_DifferingRevision, "DifferingRevision");
        record(&SM_B::sig_DoDownload, "DoDownload");
        record(&SM_B::sig_UploadingVerifying, "UploadingVerifying");
        record(&SM_B::sig_FwMatches, "FwMatches");
        record(&SM_B::sig_FwDiffers, "FwDiffers");
        record(&SM_B::sig_DeviceConnected, "DeviceConnected");
        record(&SM_B::sig_InvalidProduct, "InvalidProduct");
        QSignalSpy started(flow_.get(), &QStateMachine::started);
        flow_->start();
        QVERIFY(started.wait());
    }

    // One event as the tables name it: a worker signal, or the user's click.
    void apply(QString const& event)
    {
        if (event.startsWith(QLatin1String("DevConn:")))
            emit worker_->sig_DevConn(device(event.mid(8)), ++connection_);
        else if (event == QLatin1String("NoDevConn"))
            emit worker_->sig_NoDevConn();
        else if (event == QLatin1String("Matches"))
            emit worker_->sig_FwUploadedMatches();
        else if (event == QLatin1String("Differs"))
            emit worker_->sig_FwUploadedDiffers();
        else if (event == QLatin1String("DeviceError"))
            emit worker_->sig_DeviceError(QStringLiteral("dfu-util: No DFU capable USB device available"));
        else if (event == QLatin1String("DoDownload"))
            flow_->do_download();
        else
            QFAIL(qPrintable(QStringLiteral("unknown event ") + event));
        QCoreApplication::processEvents();
    }

private slots:
    void cleanup()
    {
        flow_.reset();
        worker_.reset();
        emitted_.clear();
        service_build = false;
    }

    void start_enters_B1()
    {
        start_flow();
        QCOMPARE(state(), QStringLiteral("B1"));
        QCOMPARE(emitted_, QStringList{QStringLiteral("UpgradeImpossible")});
        QCOMPARE(flow_->B1->objectName(), QStringLiteral("B1: No (DFU-SE) dev. conn."));
    }

    // Each transition row, the signals in the order the flow emits them, and the events
    // that a state does not name, which change nothing.
    void events_data()
    {
        QTest::addColumn<QStringList>("events");
        QTest::addColumn<QStringList>("states");
        QTest::addColumn<QStringList>("signals_");
        QTest::addColumn<int>("command");

        auto row = [](char const* name, QStringList events, QStringList states, QStringList signals_,
                      SM_A::Command command = SM_A::None) {
            QTest::newRow(name) << events << states << signals_ << int(command);
        };
        row("B1 ignores everything but DevConn", {"NoDevConn", "DoDownload", "Matches", "Differs", "DeviceError"},
            {"B1", "B1", "B1", "B1", "B1"}, {"DoDownload"});
        row("blank OTP -> B9", {"DevConn:blank"}, {"B9"}, {"DeviceConnected", "UpgradeImpossible", "DifferingRevision"});
        row("blank OTP of another product -> B9", {"DevConn:blank_other_product"}, {"B9"},
            {"DeviceConnected", "UpgradeImpossible", "DifferingRevision"});
        row("other product -> B8", {"DevConn:other_product"}, {"B8"}, {"DeviceConnected", "InvalidProduct"});
        row("other revision -> B2", {"DevConn:other_rev"}, {"B2"},
            {"DeviceConnected", "UpgradePossible", "DifferingRevision"});
        row("revision differing in case -> B2", {"DevConn:case_only"}, {"B2"},
            {"DeviceConnected", "UpgradePossible", "DifferingRevision"});
        row("firmware of another product (no revision) -> B2", {"DevConn:no_rev"}, {"B2"},
            {"DeviceConnected", "UpgradePossible", "DifferingRevision"});
        row("same revision -> B4", {"DevConn:same"}, {"B4"}, {"DeviceConnected", "UploadingVerifying"},
            SM_A::UploadVerify);
        row("record not read: no guard holds", {"DevConn:not_read"}, {"B1"}, {});

        row("B2 download -> B3, gone -> B1", {"DevConn:other_rev", "DoDownload", "NoDevConn"}, {"B2", "B3", "B1"},
            {"DeviceConnected", "UpgradePossible", "DifferingRevision", "DoDownload", "UpgradeImpossible"},
            SM_A::Download);
        row("B2 gone -> B1", {"DevConn:other_rev", "NoDevConn"}, {"B2", "B1"},
            {"DeviceConnected", "UpgradePossible", "DifferingRevision", "UpgradeImpossible"});
        row("B2 ignores results and a second DevConn", {"DevConn:other_rev", "Matches", "Differs", "DevConn:same"},
            {"B2", "B2", "B2", "B2"}, {"DeviceConnected", "UpgradePossible", "DifferingRevision"});
        row("B3 ignores all but NoDevConn", {"DevConn:other_rev", "DoDownload", "DoDownload", "Matches", "DevConn:same"},
            {"B2", "B3", "B3", "B3", "B3"},
            {"DeviceConnected", "UpgradePossible", "DifferingRevision", "DoDownload", "DoDownload"}, SM_A::Download);
        row("B4 matches -> B6, gone -> B1", {"DevConn:same", "Matches", "NoDevConn"}, {"B4", "B6", "B1"},
            {"DeviceConnected", "UploadingVerifying", "FwMatches", "UpgradeImpossible"}, SM_A::UploadVerify);
        row("B4 differs -> B7", {"DevConn:same", "Differs"}, {"B4", "B7"},
            {"DeviceConnected", "UploadingVerifying", "UpgradePossible", "FwDiffers"}, SM_A::UploadVerify);
        row("B4 waits for the result", {"DevConn:same", "NoDevConn", "DoDownload", "DevConn:other_rev", "Matches"},
            {"B4", "B4", "B4", "B4", "B6"}, {"DeviceConnected", "UploadingVerifying", "DoDownload", "FwMatches"},
            SM_A::UploadVerify);
        row("B6 ignores a download", {"DevConn:same", "Matches", "DoDownload", "Differs"}, {"B4", "B6", "B6", "B6"},
            {"DeviceConnected", "UploadingVerifying", "FwMatches", "DoDownload"}, SM_A::UploadVerify);
        row("B7 download -> B3", {"DevConn:same", "Differs", "DoDownload"}, {"B4", "B7", "B3"},
            {"DeviceConnected", "UploadingVerifying", "UpgradePossible", "FwDiffers", "DoDownload"}, SM_A::Download);
        row("B7 gone -> B1", {"DevConn:same", "Differs", "NoDevConn"}, {"B4", "B7", "B1"},
            {"DeviceConnected", "UploadingVerifying", "UpgradePossible", "FwDiffers", "UpgradeImpossible"},
            SM_A::UploadVerify);
        row("B8 leaves only when gone", {"DevConn:other_product", "DoDownload", "Matches", "NoDevConn"},
            {"B8", "B8", "B8", "B1"}, {"DeviceConnected", "InvalidProduct", "DoDownload", "UpgradeImpossible"});
        row("B9 download -> B3", {"DevConn:blank", "DoDownload"}, {"B9", "B3"},
            {"DeviceConnected", "UpgradeImpossible", "DifferingRevision", "DoDownload"}, SM_A::Download);
        row("B9 gone -> B1", {"DevConn:blank", "NoDevConn"}, {"B9", "B1"},
            {"DeviceConnected", "UpgradeImpossible", "DifferingRevision", "UpgradeImpossible"});

        // A download that failed leaves either the old revision, or a new info block over
        // a broken image: only a read-back equal to the image leads to B6.
        row("failed download, old revision -> B2 again",
            {"DevConn:other_rev", "DoDownload", "NoDevConn", "DevConn:other_rev"}, {"B2", "B3", "B1", "B2"},
            {"DeviceConnected", "UpgradePossible", "DifferingRevision", "DoDownload", "UpgradeImpossible",
             "DeviceConnected", "UpgradePossible", "DifferingRevision"},
            SM_A::Download);
        row("failed download, new info block -> B7",
            {"DevConn:other_rev", "DoDownload", "NoDevConn", "DevConn:same", "Differs"}, {"B2", "B3", "B1", "B4", "B7"},
            {"DeviceConnected", "UpgradePossible", "DifferingRevision", "DoDownload", "UpgradeImpossible",
             "DeviceConnected", "UploadingVerifying", "UpgradePossible", "FwDiffers"},
            SM_A::UploadVerify);
    }

    void events()
    {
        QFETCH(QStringList, events);
        QFETCH(QStringList, states);
        QFETCH(QStringList, signals_);
        QFETCH(int, command);

        start_flow();
        emitted_.clear();
        QStringList visited;
        for (QString const& event : events) {
            apply(event);
            visited << state();
        }
        QCOMPARE(visited, states);
        QCOMPARE(emitted_, signals_);
        QCOMPARE(int(worker_->get_command()), command);
    }

    void service_build_offers_blank_device()
    {
        service_build = true;
        start_flow();
        emitted_.clear();
        apply(QStringLiteral("DevConn:blank"));
        QCOMPARE(state(), QStringLiteral("B9"));
        QCOMPARE(emitted_, (QStringList{"DeviceConnected", "UpgradePossible", "DifferingRevision"}));
    }

    void guard_trace_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QStringList>("lines");
        QTest::newRow("blank OTP: none") << "blank" << QStringList();
        QTest::newRow("other product: one") << "other_product" << QStringList{trace(1, Device::Korvath)};
        QTest::newRow("other revision: two") << "other_rev" << QStringList{trace(1, desired_type), trace(1, desired_type)};
        QTest::newRow("same revision: three")
            << "same" << QStringList{trace(1, desired_type), trace(1, desired_type), trace(1, desired_type)};
        QTest::newRow("not read: the revision guards only") << "not_read" << QStringList{trace(0, 0), trace(0, 0)};
    }

    void guard_trace()
    {
        QFETCH(QString, kind);
        QFETCH(QStringList, lines);
        start_flow();
        StdoutCapture capture;
        apply(QStringLiteral("DevConn:") + kind);
        QCOMPARE(capture.guard_lines(), lines);
    }

    void embedded_firmware_without_info_block_refuses_every_product()
    {
        start_flow(Device::Invalid, QString());
        emitted_.clear();
        apply(QStringLiteral("DevConn:no_rev"));
        QCOMPARE(state(), QStringLiteral("B8"));
        QCOMPARE(emitted_, (QStringList{"DeviceConnected", "InvalidProduct"}));
    }

    // The guards and B1's exit judge the record sent with the signal, not the worker's
    // own record, which may already hold the next device.
    void each_devconn_is_judged_by_its_own_record()
    {
        start_flow();
        emitted_.clear();
        worker_->device_info = device(QStringLiteral("same"));
        std::unique_ptr<QThread> sender(QThread::create([this]() {
            emit worker_->sig_DevConn(device(QStringLiteral("other_product")), 1);
            emit worker_->sig_NoDevConn();
            emit worker_->sig_DevConn(device(QStringLiteral("other_rev")), 2);
        }));
        sender->start();
        QVERIFY(sender->wait(5000));
        QVERIFY(emitted_.isEmpty());

        QTRY_COMPARE(state(), QStringLiteral("B2"));
        QCOMPARE(emitted_, (QStringList{"DeviceConnected", "InvalidProduct", "UpgradeImpossible", "DeviceConnected",
                                        "UpgradePossible", "DifferingRevision"}));
        QCOMPARE(flow_->device_info.FW_revision, QStringLiteral("3.1.0"));
        QCOMPARE(flow_->device_info.type, desired_type);
    }

    void device_info_is_kept_until_B1()
    {
        start_flow();
        apply(QStringLiteral("DevConn:other_rev"));
        QCOMPARE(flow_->device_info.valid, true);
        QCOMPARE(flow_->device_info.FW_revision, QStringLiteral("3.1.0"));
        apply(QStringLiteral("NoDevConn"));
        QCOMPARE(flow_->device_info.valid, false);
        QCOMPARE(flow_->device_info.FW_revision, QString());
    }

    void stopping_emits_nothing()
    {
        start_flow();
        emitted_.clear();
        QSignalSpy stopped(flow_.get(), &QStateMachine::stopped);
        flow_->stop();
        QVERIFY(stopped.wait());
        apply(QStringLiteral("DevConn:other_rev"));
        QCOMPARE(emitted_, QStringList());
    }

    void debug_trace_follows_the_actions()
    {
        LogCapture log;
        worker_.reset(new SM_A(QString(), QString(), QString(), nullptr));
        flow_.reset(new SM_B(worker_.get(), desired_type, desired_rev));
        flow_->enable_debug_output();
        QSignalSpy started(flow_.get(), &QStateMachine::started);
        flow_->start();
        QVERIFY(started.wait());
        emit worker_->sig_DevConn(device(QStringLiteral("other_rev")), 1);
        QCoreApplication::processEvents();

        const QStringList expected{
            "SM_A created",
            "SM_B: Add connections to show emitted signals",
            "SM_B: /sig_UpgradeImpossible",
            "SM_B: entered B1: No (DFU-SE) dev. conn.",
            "Device connected with:\nDeviceInfo:\n\tDevice type:\t140\n\tFW_revision:\t3.1.0\n",
            "SM_B: /sig_DeviceConnected",
            "SM_B: /sig_UpgradePossible",
            "SM_B: /sig_DifferingRevision",
            "SM_B: entered B2: Conn. to (DFU-SE) dev. with diff. FW rev.",
        };
        QCOMPARE(log.lines(), expected);
    }
};

QTEST_GUILESS_MAIN(TestSmB)
#include "test_sm_b.moc"
