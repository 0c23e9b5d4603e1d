// The DfuSe bootloader's behaviour, request by request.
#include "dfuse_device.h"

#include "usb_descriptors.h"

namespace Emulator {

namespace {

QString hex32(std::uint32_t v)
{
    return QStringLiteral("0x") + QStringLiteral("%1").arg(v, 8, 16, QLatin1Char('0')).toUpper();
}

std::uint32_t le32(QByteArray const& bytes, int at)
{
    std::uint32_t v = 0;
    for (int i = 3; i >= 0; --i)
        v = (v << 8) | std::uint8_t(bytes[at + i]);
    return v;
}

// What the bootloader answers to "get commands" (an upload of block 0).
const QByteArray supported_commands = QByteArray::fromHex("00214192");

} // namespace

SetupPacket parse_setup_packet(QByteArray const& b)
{
    SetupPacket s;
    if (b.size() < 8)
        return s;
    auto u8 = [&](int i) { return std::uint8_t(b[i]); };
    s.request_type = u8(0);
    s.request = u8(1);
    s.value = std::uint16_t(u8(2) | (u8(3) << 8));
    s.index = std::uint16_t(u8(4) | (u8(5) << 8));
    s.length = std::uint16_t(u8(6) | (u8(7) << 8));
    return s;
}

DfuseDevice::DfuseDevice(UsbIdentity identity, StateFolder state)
    : identity_(std::move(identity)), state_(std::move(state))
{
    load_memories();
}

void DfuseDevice::load_memories()
{
    memories_.clear();
    for (AltSetting const& alt : identity_.alts)
        memories_.push_back(state_.load_memory(alt.region));
}

void DfuseDevice::power_on()
{
    std::lock_guard<std::mutex> lock(mutex_);
    if (state_.persistent())
        identity_.serial = state_.serial();
    load_memories();
    present_ = true;
    alt_ = 0;
    dfu_state_ = dfu_idle;
    dfu_status_ = status_ok;
    address_pointer_ = flash_base;
    leaving_ = false;
}

void DfuseDevice::power_off()
{
    std::lock_guard<std::mutex> lock(mutex_);
    present_ = false;
}

void DfuseDevice::opened()
{
    std::lock_guard<std::mutex> lock(mutex_);
    if (state_.persistent())
        load_memories();
}

bool DfuseDevice::present() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return present_;
}

void DfuseDevice::set_disconnect_handler(std::function<void()> handler)
{
    std::lock_guard<std::mutex> lock(mutex_);
    on_disconnect_ = std::move(handler);
}

DfuState DfuseDevice::dfu_state() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return dfu_state_;
}

DfuStatus DfuseDevice::dfu_status() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return dfu_status_;
}

bool DfuseDevice::set_alt_setting(int alt)
{
    std::lock_guard<std::mutex> lock(mutex_);
    if (!present_ || alt < 0 || alt >= int(identity_.alts.size()))
        return false;
    alt_ = alt;
    return true;
}

void DfuseDevice::usb_reset()
{
    std::lock_guard<std::mutex> lock(mutex_);
    if (present_ && dfu_state_ != dfu_error)
        dfu_state_ = dfu_idle;
}

MemoryRegion const& DfuseDevice::region() const
{
    return identity_.alts[size_t(alt_)].region;
}

QByteArray& DfuseDevice::memory()
{
    return memories_[size_t(alt_)];
}

void DfuseDevice::log(QString const& line) const
{
    state_.append_log(line);
}

ControlResult DfuseDevice::control(SetupPacket const& setup, QByteArray const& out_data)
{
    std::lock_guard<std::mutex> lock(mutex_);
    if (!present_)
        return {ControlResult::gone, {}};
    const std::uint8_t type = setup.request_type & 0x60;
    if (type == 0x00)
        return standard_request(setup);
    if (type == 0x20 && (setup.request_type & 0x1F) == 0x01)
        return class_request(setup, out_data);
    return {ControlResult::stalled, {}};
}

ControlResult DfuseDevice::standard_request(SetupPacket const& setup)
{
    if (setup.request_type != request_type_standard_in || setup.request != request_get_descriptor)
        return {ControlResult::stalled, {}};
    const int type = setup.value >> 8;
    const int index = setup.value & 0xFF;
    QByteArray d;
    if (type == descriptor_type_device)
        d = device_descriptor(identity_);
    else if (type == descriptor_type_configuration && index == 0)
        d = configuration_descriptor(identity_);
    else if (type == descriptor_type_string)
        d = string_descriptor(identity_, index);
    if (d.isEmpty())
        return {ControlResult::stalled, {}};
    return {ControlResult::done, d.left(setup.length)};
}

ControlResult DfuseDevice::stall()
{
    dfu_state_ = dfu_error;
    dfu_status_ = err_stalledpkt;
    return {ControlResult::stalled, {}};
}

ControlResult DfuseDevice::vanish(QString const& why)
{
    present_ = false;
    state_.set_attached(false);
    log(QStringLiteral("vanish ") + why);
    if (on_disconnect_)
        on_disconnect_();
    return {ControlResult::gone, {}};
}

ControlResult DfuseDevice::class_request(SetupPacket const& setup, QByteArray const& out_data)
{
    switch (setup.request) {
    case dfu_dnload:
        return download(setup, out_data);
    case dfu_upload:
        return upload(setup);
    case dfu_getstatus:
        return get_status();
    case dfu_getstate:
        return {ControlResult::done, QByteArray(1, char(dfu_state_)).left(setup.length)};
    case dfu_clrstatus:
        if (dfu_state_ != dfu_error)
            return stall();
        dfu_state_ = dfu_idle;
        dfu_status_ = status_ok;
        return {ControlResult::done, {}};
    case dfu_abort:
        if (dfu_state_ == dfu_idle || dfu_state_ == dfu_dnload_sync || dfu_state_ == dfu_dnload_idle
            || dfu_state_ == dfu_manifest_sync || dfu_state_ == dfu_upload_idle) {
            dfu_state_ = dfu_idle;
            leaving_ = false;
            return {ControlResult::done, {}};
        }
        return stall();
    default: // DETACH has no meaning for a device already in DFU mode
        return stall();
    }
}

ControlResult DfuseDevice::download(SetupPacket const& setup, QByteArray const& data)
{
    if (dfu_state_ != dfu_idle && dfu_state_ != dfu_dnload_idle)
        return stall();
    if (data.isEmpty()) {
        // The leave request: manifestation, then the device runs its firmware.
        if (dfu_state_ != dfu_dnload_idle)
            return stall();
        leaving_ = true;
        dfu_state_ = dfu_manifest_sync;
        return {ControlResult::done, {}};
    }
    if (setup.value == 1 || data.size() > identity_.transfer_size)
        return stall();
    if (setup.value >= dfuse_first_data_block) {
        const std::uint32_t address =
            address_pointer_ + std::uint32_t(setup.value - dfuse_first_data_block) * identity_.transfer_size;
        const Faults faults = state_.faults();
        if (alt_ == flash_alt && faults.vanish_at_block >= 0
            && address == flash_base + std::uint32_t(faults.vanish_at_block) * identity_.transfer_size) {
            Faults cleared = faults;
            cleared.vanish_at_block = -1;
            state_.set_faults(cleared);
            return vanish(QStringLiteral("during download at ") + hex32(address));
        }
    }
    pending_is_command_ = setup.value == 0;
    pending_block_ = setup.value;
    pending_data_ = data;
    dfu_state_ = dfu_dnload_sync;
    return {ControlResult::done, {}};
}

ControlResult DfuseDevice::get_status()
{
    QByteArray answer(6, '\0');
    if (dfu_state_ == dfu_dnload_sync) {
        run_pending_download();
        dfu_state_ = dfu_dnbusy;
        answer[1] = char(busy_poll_timeout_ms);
    } else if (dfu_state_ == dfu_dnbusy) {
        if (pending_result_ == status_ok) {
            dfu_state_ = dfu_dnload_idle;
        } else {
            dfu_state_ = dfu_error;
            dfu_status_ = pending_result_;
        }
    } else if (dfu_state_ == dfu_manifest_sync) {
        const Faults faults = state_.faults();
        if (faults.vanish_at_leave) {
            Faults cleared = faults;
            cleared.vanish_at_leave = false;
            state_.set_faults(cleared);
            return vanish(QStringLiteral("at leave"));
        }
        // The answer still goes out; then the device resets into its firmware.
        dfu_state_ = dfu_manifest;
        answer[0] = char(dfu_status_);
        answer[4] = char(dfu_state_);
        log(QStringLiteral("leave"));
        present_ = false;
        state_.set_attached(false);
        if (on_disconnect_)
            on_disconnect_();
        return {ControlResult::done, answer};
    }
    answer[0] = char(dfu_status_);
    answer[4] = char(dfu_state_);
    return {ControlResult::done, answer};
}

void DfuseDevice::run_pending_download()
{
    if (pending_is_command_) {
        pending_result_ = run_command(pending_data_);
        return;
    }
    const std::uint32_t address =
        address_pointer_ + std::uint32_t(pending_block_ - dfuse_first_data_block) * identity_.transfer_size;
    pending_result_ = write_block(address, pending_data_);
}

DfuStatus DfuseDevice::run_command(QByteArray const& command)
{
    const std::uint8_t code = std::uint8_t(command[0]);
    if (code == dfuse_set_address && command.size() == 5) {
        const std::uint32_t address = le32(command, 1);
        if (!region().contains(address))
            return err_target;
        address_pointer_ = address;
        return status_ok;
    }
    if (code == dfuse_erase && command.size() == 5)
        return erase_sector(le32(command, 1));
    if (code == dfuse_erase && command.size() == 1) {
        mass_erase();
        return status_ok;
    }
    if (code == dfuse_read_unprotect && command.size() == 1) {
        log(QStringLiteral("read-unprotect refused"));
        return err_target;
    }
    return err_target;
}

DfuStatus DfuseDevice::erase_sector(std::uint32_t address)
{
    std::uint32_t start = 0, length = 0;
    if (!region().erasable || !region().sector_of(address, &start, &length))
        return err_target;
    const std::uint32_t offset = start - region().base;
    memory().replace(int(offset), int(length), QByteArray(int(length), char(region().fill)));
    state_.store_memory_range(region(), offset, memory().mid(int(offset), int(length)));
    log(QStringLiteral("erase %1 %2").arg(hex32(start)).arg(length));
    return status_ok;
}

void DfuseDevice::mass_erase()
{
    const int flash = flash_alt;
    MemoryRegion const& r = identity_.alts[size_t(flash)].region;
    memories_[size_t(flash)] = QByteArray(int(r.size()), char(r.fill));
    state_.store_memory(r, memories_[size_t(flash)]);
    log(QStringLiteral("mass-erase"));
}

DfuStatus DfuseDevice::write_block(std::uint32_t address, QByteArray const& data)
{
    if (!region().writable || !region().contains(address, std::uint64_t(data.size())))
        return err_address;
    const Faults faults = state_.faults();
    if (alt_ == flash_alt && faults.write_error_block >= 0
        && address == flash_base + std::uint32_t(faults.write_error_block) * identity_.transfer_size) {
        log(QStringLiteral("write-error %1 %2").arg(hex32(address)).arg(data.size()));
        return err_write;
    }
    const int offset = int(address - region().base);
    QByteArray& mem = memory();
    bool programmed_as_asked = true;
    for (int i = 0; i < data.size(); ++i) {
        const char wanted = data[i];
        const char result = region().programs_by_clearing_bits ? char(mem[offset + i] & wanted) : wanted;
        mem[offset + i] = result;
        programmed_as_asked = programmed_as_asked && result == wanted;
    }
    state_.store_memory_range(region(), std::uint32_t(offset), mem.mid(offset, data.size()));
    log(QStringLiteral("write %1 %2").arg(hex32(address)).arg(data.size()));
    return programmed_as_asked ? status_ok : err_prog;
}

ControlResult DfuseDevice::upload(SetupPacket const& setup)
{
    if (dfu_state_ != dfu_idle && dfu_state_ != dfu_upload_idle)
        return stall();
    if (setup.value == 0) {
        dfu_state_ = dfu_upload_idle;
        return {ControlResult::done, supported_commands.left(setup.length)};
    }
    if (setup.value == 1)
        return stall();
    const std::uint64_t address =
        address_pointer_ + std::uint64_t(setup.value - dfuse_first_data_block) * identity_.transfer_size;
    if (!region().contains(address))
        return stall();
    if (alt_ == otp_alt && state_.faults().otp_read_error) {
        log(QStringLiteral("read-error %1").arg(hex32(std::uint32_t(address))));
        return stall();
    }
    const int offset = int(address - region().base);
    const QByteArray data = memory().mid(offset, setup.length);
    log(QStringLiteral("read %1 %2").arg(hex32(std::uint32_t(address))).arg(data.size()));
    // A short block ends the upload.
    dfu_state_ = data.size() < setup.length ? dfu_idle : dfu_upload_idle;
    return {ControlResult::done, data};
}

} // namespace Emulator
