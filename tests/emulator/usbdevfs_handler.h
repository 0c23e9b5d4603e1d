// Serves the usbdevfs requests that libusb makes on an emulated device node.
//
// umockdev hands every ioctl on the node to this handler, on its own worker thread.
// Control transfers arrive as URBs: they are run on the device model when submitted
// and handed back when reaped.
#pragma once

#include "dfuse_device.h"

#include <umockdev.h>

#include <deque>
#include <map>
#include <mutex>

namespace Emulator {

class UsbdevfsHandler {
public:
    explicit UsbdevfsHandler(DfuseDevice* device);
    ~UsbdevfsHandler();
    UsbdevfsHandler(UsbdevfsHandler const&) = delete;
    UsbdevfsHandler& operator=(UsbdevfsHandler const&) = delete;

    UMockdevIoctlBase* ioctl_base() const { return base_; }

private:
    static gboolean on_handle_ioctl(UMockdevIoctlBase*, UMockdevIoctlClient* client, gpointer self);
    static void on_client_connected(UMockdevIoctlBase*, UMockdevIoctlClient* client, gpointer self);
    static void on_client_vanished(UMockdevIoctlBase*, UMockdevIoctlClient* client, gpointer self);

    void handle(UMockdevIoctlClient* client);
    void submit_urb(UMockdevIoctlClient* client, UMockdevIoctlData* arg);
    void reap_urb(UMockdevIoctlClient* client, UMockdevIoctlData* arg);

    DfuseDevice* device_;
    UMockdevIoctlBase* base_;
    std::mutex mutex_;
    // Client addresses of completed URBs, per open file of a client program.
    std::map<UMockdevIoctlClient*, std::deque<gulong>> completed_;
};

} // namespace Emulator
