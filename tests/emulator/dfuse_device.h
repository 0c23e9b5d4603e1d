// The emulated STM32 DfuSe bootloader: answers control transfers as the real ROM does.
//
// The DFU state machine (idle, download sync/busy/idle, manifest, upload idle, error),
// the DfuSe commands (set address, sector erase by the flash layout, mass erase, read
// unprotect, which this device refuses), block reads and writes, and leave (the device
// then disconnects). Memories live in the state folder; faults are read from it.
#pragma once

#include "dfu_protocol.h"
#include "state_folder.h"
#include "usb_identity.h"

#include <QByteArray>

#include <functional>
#include <mutex>
#include <vector>

namespace Emulator {

struct SetupPacket {
    std::uint8_t request_type = 0;
    std::uint8_t request = 0;
    std::uint16_t value = 0;
    std::uint16_t index = 0;
    std::uint16_t length = 0;
};

SetupPacket parse_setup_packet(QByteArray const& eight_bytes);

struct ControlResult {
    enum Outcome { done, stalled, gone };
    Outcome outcome = done;
    // The data stage of a device-to-host request.
    QByteArray data;
};

// How long the device asks the host to wait before the next status request.
constexpr int busy_poll_timeout_ms = 1;

class DfuseDevice {
public:
    DfuseDevice(UsbIdentity identity, StateFolder state);

    UsbIdentity const& identity() const { return identity_; }
    StateFolder const& state_folder() const { return state_; }

    // The device powers up in its bootloader: memories from the state folder, dfuIDLE.
    void power_on();
    // A program opened the device: memories are read again from the state folder,
    // which tests may change between two runs.
    void opened();
    // Pulled from the bus: every later request fails as on a vanished device.
    void power_off();
    // False once the device has left DFU mode or vanished, until the next power_on().
    bool present() const;
    // Called, with the device's lock held, when the device disconnects by itself.
    void set_disconnect_handler(std::function<void()> handler);

    bool set_alt_setting(int alt);
    void usb_reset();
    ControlResult control(SetupPacket const& setup, QByteArray const& out_data);

    DfuState dfu_state() const;
    DfuStatus dfu_status() const;

private:
    ControlResult standard_request(SetupPacket const& setup);
    ControlResult class_request(SetupPacket const& setup, QByteArray const& out_data);
    ControlResult download(SetupPacket const& setup, QByteArray const& data);
    ControlResult upload(SetupPacket const& setup);
    ControlResult get_status();
    ControlResult stall();
    ControlResult vanish(QString const& why);
    void run_pending_download();
    DfuStatus run_command(QByteArray const& command);
    DfuStatus write_block(std::uint32_t address, QByteArray const& data);
    DfuStatus erase_sector(std::uint32_t address);
    void mass_erase();
    void load_memories();
    MemoryRegion const& region() const;
    QByteArray& memory();
    void log(QString const& line) const;

    mutable std::mutex mutex_;
    UsbIdentity identity_;
    StateFolder state_;
    std::vector<QByteArray> memories_;
    std::function<void()> on_disconnect_;
    bool present_ = true;
    int alt_ = 0;
    DfuState dfu_state_ = dfu_idle;
    DfuStatus dfu_status_ = status_ok;
    std::uint32_t address_pointer_ = flash_base;
    // A download waits in dfuDNLOAD-SYNC until the next status request runs it.
    bool pending_is_command_ = false;
    std::uint16_t pending_block_ = 0;
    QByteArray pending_data_;
    DfuStatus pending_result_ = status_ok;
    bool leaving_ = false;
};

} // namespace Emulator
