// The umockdev testbed with the emulated devices plugged in and out as the state folder says.
//
// The bootloader is attached while the state folder says "attached"; it disconnects by
// itself at leave or when it vanishes, and comes back after the re-attach delay when
// one is set. The other vendor's device is attached while "second_device" says so.
// Everything here runs on the harness's main loop; the devices' ioctls are served on
// umockdev's worker thread.
#pragma once

#include "dfuse_device.h"
#include "usbdevfs_handler.h"

#include <umockdev.h>

#include <memory>

namespace Emulator {

// How often the state folder is looked at for plugging and unplugging from outside.
constexpr int attach_poll_interval_ms = 50;

class EmulatedBus {
public:
    explicit EmulatedBus(StateFolder state);
    ~EmulatedBus();
    EmulatedBus(EmulatedBus const&) = delete;
    EmulatedBus& operator=(EmulatedBus const&) = delete;

    // The testbed's root; programs see the emulated devices with it as UMOCKDEV_DIR.
    QString root_dir() const;
    // Attaches or detaches devices to match the state folder; starts the poll timer.
    void start();

private:
    struct Slot {
        std::unique_ptr<DfuseDevice> device;
        std::unique_ptr<UsbdevfsHandler> handler;
        bool plugged = false;
        // The device disconnected by itself; a re-attach may be pending.
        bool went_away = false;
    };

    static gboolean on_poll(gpointer self);
    static gboolean on_reattach(gpointer self);
    static gboolean on_device_disconnected(gpointer self);
    void sync();
    void plug(Slot& slot);
    void unplug(Slot& slot, bool logged = true);
    QString sysfs_path(UsbIdentity const& id) const;
    QString device_node(UsbIdentity const& id) const;

    StateFolder state_;
    UMockdevTestbed* testbed_;
    Slot bootloader_;
    Slot foreign_;
    guint poll_source_ = 0;
    guint reattach_source_ = 0;
};

// The testbed description (umockdev's P:/N:/E:/A:/H: lines) of a device.
QString testbed_description(UsbIdentity const& id, QString const& sysfs_path);

} // namespace Emulator
