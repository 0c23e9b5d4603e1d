// SM_B: the upgrade flow state machine that judges the connected device and commands the worker.
#pragma once

#include "device/product.h"
#include "dfu/device_info.h"
#include "sm/sm_a.h"

#include <QState>
#include <QStateMachine>
#include <QString>

class WorkerEvents;

class SM_B : public QStateMachine {
    Q_OBJECT

public:
    SM_B(SM_A* worker, Device::Type desired_id, QString desired_revision);

    void enable_debug_output();

    QState* B1 = nullptr;
    QState* B2 = nullptr;
    QState* B3 = nullptr;
    QState* B4 = nullptr;
    QState* B6 = nullptr;
    QState* B7 = nullptr;
    QState* B8 = nullptr;
    QState* B9 = nullptr;
    // The connected device as reported with the sig_DevConn that took the flow out of B1.
    DFU::DeviceInfo device_info;
    SM_A* worker = nullptr;

    static Device::Type desired_ID;
    static QString desired_revision;

public slots:
    void do_download();

signals:
    void sig_UpgradeImpossible();
    void sig_UpgradePossible();
    void sig_DifferingRevision();
    void sig_DoDownload();
    void sig_UploadingVerifying();
    void sig_FwMatches();
    void sig_FwDiffers();
    void sig_DeviceConnected();
    void sig_InvalidProduct();

protected:
    // Takes the device record carried by a sig_DevConn before B1's guards look at it.
    void beginSelectTransitions(QEvent* event) override;

private:
    void add_connections();

    bool guard_otp_blank() const;
    bool guard_invalid_product() const;
    bool guard_differing_revision() const;
    bool guard_same_revision() const;
    // Writes the guard trace line and tells whether the device is of the desired product.
    bool device_has_valid_type() const;

    // The worker's reports that drive the transitions, re-emitted in this thread.
    WorkerEvents* events = nullptr;
    // The record and connection number of the sig_DevConn being processed.
    DFU::DeviceInfo event_device_info;
    quint64 event_connection = 0;
    // The connection that `device_info` belongs to; commands are given for it only.
    quint64 device_connection = 0;
};
