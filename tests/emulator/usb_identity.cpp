// The two device identities the emulator can present.
#include "usb_identity.h"

namespace Emulator {

namespace {

constexpr std::uint32_t KiB = 1024;

MemoryRegion internal_flash()
{
    MemoryRegion r;
    r.file = QStringLiteral("flash.bin");
    r.base = flash_base;
    r.sector_sizes = {16 * KiB, 16 * KiB, 16 * KiB, 16 * KiB, 64 * KiB,
                      128 * KiB, 128 * KiB, 128 * KiB, 128 * KiB, 128 * KiB, 128 * KiB, 128 * KiB};
    r.erasable = true;
    r.writable = true;
    r.programs_by_clearing_bits = true;
    return r;
}

MemoryRegion plain_memory(QString const& file, std::uint32_t base, std::vector<std::uint32_t> sizes,
                          std::uint8_t fill, bool by_clearing_bits)
{
    MemoryRegion r;
    r.file = file;
    r.base = base;
    r.sector_sizes = std::move(sizes);
    r.writable = true;
    r.programs_by_clearing_bits = by_clearing_bits;
    r.fill = fill;
    return r;
}

} // namespace

UsbIdentity stm32_dfuse_bootloader(QString const& serial)
{
    UsbIdentity id;
    id.vendor = 0x0483;
    id.product = 0xDF11;
    id.bcd_device = 0x2200;
    id.manufacturer = QStringLiteral("STMicroelectronics");
    id.product_name = QStringLiteral("STM32  BOOTLOADER");
    id.serial = serial;
    id.alts = {
        {QStringLiteral("@Internal Flash  /0x08000000/04*016Kg,01*064Kg,07*128Kg"), internal_flash()},
        {QStringLiteral("@Option Bytes  /0x1FFFC000/01*016 e"),
         plain_memory(QStringLiteral("option_bytes.bin"), option_bytes_base, {16}, 0xFF, false)},
        {QStringLiteral("@OTP Memory /0x1FFF7800/01*512 e,01*016 e"),
         plain_memory(QStringLiteral("otp.bin"), otp_base, {512, 16}, 0xFF, true)},
        {QStringLiteral("@Device Feature/0xFFFF0000/01*004 e"),
         plain_memory(QStringLiteral("device_feature.bin"), device_feature_base, {4}, 0x00, false)},
    };
    id.busnum = 1;
    id.devnum = 5;
    id.sysfs_name = QStringLiteral("1-1");
    return id;
}

UsbIdentity foreign_dfu_device()
{
    UsbIdentity id;
    id.bcd_usb = 0x0200;
    id.vendor = 0x1209;
    id.product = 0x2444;
    id.bcd_device = 0x0100;
    id.manufacturer = QStringLiteral("Generic");
    id.product_name = QStringLiteral("DFU Bootloader");
    id.serial = QStringLiteral("0000A1B2C3D4");
    MemoryRegion flash = internal_flash();
    flash.file.clear();
    flash.sector_sizes = std::vector<std::uint32_t>(64, 2 * KiB);
    id.alts = {{QStringLiteral("@Internal Flash  /0x08000000/64*002Kg"), flash}};
    id.transfer_size = 1024;
    id.busnum = 1;
    id.devnum = 7;
    id.sysfs_name = QStringLiteral("1-2");
    return id;
}

} // namespace Emulator
