// SM_B: states, guarded transitions, entry and exit actions and the debug trace of the upgrade flow.
#include "sm/sm_b.h"

#include "sm/guarded_transition.h"
#include "sm/service_build.h"
#include "sm/worker_events.h"

#include <QDebug>
#include <QSignalTransition>

#include <cstdio>
#include <utility>

Device::Type SM_B::desired_ID = Device::Invalid;
QString SM_B::desired_revision;

namespace {

QState* make_state(QStateMachine* machine, char const* name)
{
    auto* state = new QState(machine);
    state->setObjectName(QString::fromLatin1(name));
    return state;
}

} // namespace

SM_B::SM_B(SM_A* worker_, Device::Type desired_id, QString desired_revision_)
    : QStateMachine(nullptr), worker(worker_), events(new WorkerEvents(worker_, this))
{
    desired_ID = desired_id;
    desired_revision = std::move(desired_revision_);
    device_info = DFU::DeviceInfo();

    B1 = make_state(this, "B1: No (DFU-SE) dev. conn.");
    B2 = make_state(this, "B2: Conn. to (DFU-SE) dev. with diff. FW rev.");
    B3 = make_state(this, "B3: Upgrading FW");
    B4 = make_state(this, "B4: Uploading and verifying FW");
    B6 = make_state(this, "B6: FW in dev. matches");
    B7 = make_state(this, "B7: FW in dev. differs");
    B8 = make_state(this, "B8: Invalid (DFU-SE) dev. conn.");
    B9 = make_state(this, "B9: Conn. to (DFU-SE) dev. with Empty OTP.");
    setInitialState(B1);

    // B1's transitions are tried in this order: a blank OTP wins over every other
    // test, a wrong product over the revision tests.
    auto add_guarded = [this](QState* target, bool (SM_B::*guard)() const) {
        auto* transition = new GuardedTransition(events, &WorkerEvents::DevConn, [this, guard]() { return (this->*guard)(); });
        transition->setTargetState(target);
        B1->addTransition(transition);
    };
    add_guarded(B9, &SM_B::guard_otp_blank);
    add_guarded(B8, &SM_B::guard_invalid_product);
    add_guarded(B2, &SM_B::guard_differing_revision);
    add_guarded(B4, &SM_B::guard_same_revision);

    B2->addTransition(this, &SM_B::sig_DoDownload, B3);
    B2->addTransition(events, &WorkerEvents::NoDevConn, B1);
    B3->addTransition(events, &WorkerEvents::NoDevConn, B1);
    B4->addTransition(events, &WorkerEvents::FwUploadedMatches, B6);
    B4->addTransition(events, &WorkerEvents::FwUploadedDiffers, B7);
    B6->addTransition(events, &WorkerEvents::NoDevConn, B1);
    B7->addTransition(this, &SM_B::sig_DoDownload, B3);
    B7->addTransition(events, &WorkerEvents::NoDevConn, B1);
    B8->addTransition(events, &WorkerEvents::NoDevConn, B1);
    B9->addTransition(this, &SM_B::sig_DoDownload, B3);
    B9->addTransition(events, &WorkerEvents::NoDevConn, B1);

    add_connections();
}

void SM_B::do_download()
{
    emit sig_DoDownload();
}

void SM_B::beginSelectTransitions(QEvent* event)
{
    if (event->type() != QEvent::StateMachineSignal)
        return;
    auto* signal_event = static_cast<QStateMachine::SignalEvent*>(event);
    if (signal_event->sender() != events)
        return;
    QList<QVariant> const arguments = signal_event->arguments();
    if (arguments.size() == 2 && arguments.at(0).userType() == qMetaTypeId<DFU::DeviceInfo>()) {
        event_device_info = arguments.at(0).value<DFU::DeviceInfo>();
        event_connection = arguments.at(1).value<quint64>();
    }
}

bool SM_B::device_has_valid_type() const
{
    std::printf("device_has_valid_type(%i): valid %i, device_type: %i\n", int(desired_ID),
                int(event_device_info.valid), int(event_device_info.type));
    std::fflush(stdout);
    return event_device_info.valid && event_device_info.type == desired_ID;
}

bool SM_B::guard_otp_blank() const
{
    return event_device_info.OTP_info.blank;
}

bool SM_B::guard_invalid_product() const
{
    return event_device_info.valid && !device_has_valid_type();
}

bool SM_B::guard_differing_revision() const
{
    return device_has_valid_type() && event_device_info.FW_revision != desired_revision;
}

bool SM_B::guard_same_revision() const
{
    return device_has_valid_type() && event_device_info.FW_revision == desired_revision;
}

void SM_B::add_connections()
{
    connect(B1, &QState::entered, this, [this]() {
        emit sig_UpgradeImpossible();
        device_info = DFU::DeviceInfo();
        device_connection = 0;
    });
    connect(B1, &QState::exited, this, [this]() {
        device_info = event_device_info;
        device_connection = event_connection;
        qInfo().nospace() << "Device connected with:\n" << device_info;
        emit sig_DeviceConnected();
    });
    connect(B2, &QState::entered, this, [this]() {
        emit sig_UpgradePossible();
        emit sig_DifferingRevision();
    });
    connect(B3, &QState::entered, this, [this]() { worker->set_command(SM_A::Download, device_connection); });
    connect(B4, &QState::entered, this, [this]() {
        emit sig_UploadingVerifying();
        worker->set_command(SM_A::UploadVerify, device_connection);
    });
    connect(B6, &QState::entered, this, [this]() { emit sig_FwMatches(); });
    connect(B7, &QState::entered, this, [this]() {
        emit sig_UpgradePossible();
        emit sig_FwDiffers();
    });
    connect(B8, &QState::entered, this, [this]() { emit sig_InvalidProduct(); });
    connect(B9, &QState::entered, this, [this]() {
        if (have_service_build())
            emit sig_UpgradePossible();
        else
            emit sig_UpgradeImpossible();
        emit sig_DifferingRevision();
    });
}

void SM_B::enable_debug_output()
{
    qInfo() << "SM_B: Add connections to show emitted signals";
    const std::pair<void (SM_B::*)(), char const*> traced[] = {
        {&SM_B::sig_UpgradeImpossible, "UpgradeImpossible"},
        {&SM_B::sig_UpgradePossible, "UpgradePossible"},
        {&SM_B::sig_DifferingRevision, "DifferingRevision"},
        {&SM_B::sig_DoDownload, "DoDownload"},
        {&SM_B::sig_UploadingVerifying, "UploadingVerifying"},
        {&SM_B::sig_FwMatches, "FwMatches"},
        {&SM_B::sig_FwDiffers, "FwDiffers"},
        {&SM_B::sig_DeviceConnected, "DeviceConnected"},
        {&SM_B::sig_InvalidProduct, "InvalidProduct"},
    };
    for (auto const& entry : traced) {
        const QString line = QStringLiteral("SM_B: /sig_%1").arg(QLatin1String(entry.second));
        connect(this, entry.first, this, [line]() { qDebug().noquote() << line; });
    }
    for (QState* state : {B1, B2, B3, B4, B6, B7, B8, B9}) {
        const QString line = QStringLiteral("SM_B: entered %1").arg(state->objectName());
        connect(state, &QState::entered, this, [line]() { qDebug().noquote() << line; });
    }
}
