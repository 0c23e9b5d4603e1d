// WorkerEvents: the lasting connections from the worker's reports to their re-emission in the flow's thread.
#include "sm/worker_events.h"

#include "sm/sm_a.h"

WorkerEvents::WorkerEvents(SM_A* worker, QObject* parent) : QObject(parent)
{
    connect(worker, &SM_A::sig_DevConn, this, &WorkerEvents::DevConn);
    connect(worker, &SM_A::sig_NoDevConn, this, &WorkerEvents::NoDevConn);
    connect(worker, &SM_A::sig_FwUploadedMatches, this, &WorkerEvents::FwUploadedMatches);
    connect(worker, &SM_A::sig_FwUploadedDiffers, this, &WorkerEvents::FwUploadedDiffers);
}
