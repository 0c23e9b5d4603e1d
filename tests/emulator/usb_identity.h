// What an emulated DFU device presents on the bus: ids, strings, alternate settings and their memories.
#pragma once

#include "memory_region.h"

#include <QString>

#include <cstdint>
#include <vector>

namespace Emulator {

struct AltSetting {
    QString name;
    MemoryRegion region;
};

struct UsbIdentity {
    std::uint16_t bcd_usb = 0x0100;
    std::uint16_t vendor = 0;
    std::uint16_t product = 0;
    std::uint16_t bcd_device = 0;
    QString manufacturer;
    QString product_name;
    QString serial;
    std::vector<AltSetting> alts;
    // DFU functional descriptor.
    std::uint8_t dfu_attributes = 0x0B;
    std::uint16_t detach_timeout_ms = 255;
    std::uint16_t transfer_size = 2048;
    std::uint16_t bcd_dfu = 0x011A;
    // Place on the bus: /dev/bus/usb/BUS/DEV and the sysfs name (bus-port).
    int busnum = 1;
    int devnum = 5;
    QString sysfs_name;
};

// The STM32F4 ROM DfuSe bootloader: 1 MiB of flash, option bytes, 512 + 16 bytes of OTP.
UsbIdentity stm32_dfuse_bootloader(QString const& serial);
// A DFU device of another vendor, for the case of two devices attached at once.
UsbIdentity foreign_dfu_device();

constexpr std::uint32_t flash_base = 0x08000000;
constexpr std::uint32_t otp_base = 0x1FFF7800;
constexpr std::uint32_t option_bytes_base = 0x1FFFC000;
constexpr std::uint32_t device_feature_base = 0xFFFF0000;
constexpr int flash_alt = 0;
constexpr int otp_alt = 2;

} // namespace Emulator
