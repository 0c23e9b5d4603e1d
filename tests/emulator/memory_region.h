// One memory of the emulated device (flash, OTP, option bytes…): where it lies and how it is erased.
#pragma once

#include <QString>

#include <cstdint>
#include <vector>

namespace Emulator {

struct MemoryRegion {
    // File of the state folder that keeps the contents; empty: kept in memory only.
    QString file;
    std::uint32_t base = 0;
    // Erase units in address order; their sum is the size of the region.
    std::vector<std::uint32_t> sector_sizes;
    bool erasable = false;
    bool writable = false;
    // Programming can only clear bits (flash and OTP); otherwise a write replaces bytes.
    bool programs_by_clearing_bits = false;
    // What never-programmed memory reads as.
    std::uint8_t fill = 0xFF;

    std::uint32_t size() const;
    // True when [address, address + length) lies wholly inside the region.
    bool contains(std::uint64_t address, std::uint64_t length = 1) const;
    // The erase unit holding `address`: its start and size; false when outside.
    bool sector_of(std::uint32_t address, std::uint32_t* start, std::uint32_t* length) const;
};

} // namespace Emulator
