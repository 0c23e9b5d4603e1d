// WorkerEvents: carries the worker's reports into the flow's thread, every one of them, in the order they were emitted.
#pragma once

#include "dfu/device_info.h"
#include "sm/device_info_metatype.h"

#include <QObject>

class SM_A;

// A state machine listens to a signal only while a state that names it is active, so a
// report queued from the worker thread while the flow was still catching up would be
// lost. These connections last as long as the flow, and the flow's transitions follow
// the signals re-emitted here, in its own thread and in the worker's order.
class WorkerEvents : public QObject {
    Q_OBJECT

public:
    WorkerEvents(SM_A* worker, QObject* parent);

signals:
    void DevConn(DFU::DeviceInfo info, quint64 connection_number);
    void NoDevConn();
    void FwUploadedMatches();
    void FwUploadedDiffers();
};
