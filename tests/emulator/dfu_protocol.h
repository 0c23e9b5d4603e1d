// USB DFU 1.1 requests, states and status codes, and the DfuSe command bytes.
#pragma once

#include <cstdint>

namespace Emulator {

enum DfuRequest : std::uint8_t {
    dfu_detach = 0,
    dfu_dnload = 1,
    dfu_upload = 2,
    dfu_getstatus = 3,
    dfu_clrstatus = 4,
    dfu_getstate = 5,
    dfu_abort = 6,
};

enum DfuState : std::uint8_t {
    app_idle = 0,
    app_detach = 1,
    dfu_idle = 2,
    dfu_dnload_sync = 3,
    dfu_dnbusy = 4,
    dfu_dnload_idle = 5,
    dfu_manifest_sync = 6,
    dfu_manifest = 7,
    dfu_manifest_wait_reset = 8,
    dfu_upload_idle = 9,
    dfu_error = 10,
};

enum DfuStatus : std::uint8_t {
    status_ok = 0,
    err_target = 1,
    err_file = 2,
    err_write = 3,
    err_erase = 4,
    err_check_erased = 5,
    err_prog = 6,
    err_verify = 7,
    err_address = 8,
    err_notdone = 9,
    err_firmware = 10,
    err_vendor = 11,
    err_usbr = 12,
    err_por = 13,
    err_unknown = 14,
    err_stalledpkt = 15,
};

// The first byte of a DfuSe command, sent as a download of block 0.
enum DfuseCommand : std::uint8_t {
    dfuse_get_commands = 0x00,
    dfuse_set_address = 0x21,
    dfuse_erase = 0x41,
    dfuse_read_unprotect = 0x92,
};

// Data blocks start at this block number; block n addresses (n - 2) * transfer size
// past the address pointer.
constexpr std::uint16_t dfuse_first_data_block = 2;

// bmRequestType of class requests to the interface, host to device and back.
constexpr std::uint8_t request_type_class_out = 0x21;
constexpr std::uint8_t request_type_class_in = 0xA1;
constexpr std::uint8_t request_type_standard_in = 0x80;
constexpr std::uint8_t request_get_descriptor = 6;

constexpr std::uint8_t descriptor_type_device = 1;
constexpr std::uint8_t descriptor_type_configuration = 2;
constexpr std::uint8_t descriptor_type_string = 3;
constexpr std::uint8_t descriptor_type_interface = 4;
constexpr std::uint8_t descriptor_type_dfu_functional = 0x21;

} // namespace Emulator
