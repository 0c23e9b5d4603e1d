// Address arithmetic of one emulated memory.
#include "memory_region.h"

namespace Emulator {

std::uint32_t MemoryRegion::size() const
{
    std::uint32_t total = 0;
    for (std::uint32_t s : sector_sizes)
        total += s;
    return total;
}

bool MemoryRegion::contains(std::uint64_t address, std::uint64_t length) const
{
    return address >= base && address + length <= std::uint64_t(base) + size();
}

bool MemoryRegion::sector_of(std::uint32_t address, std::uint32_t* start, std::uint32_t* length) const
{
    std::uint64_t at = base;
    for (std::uint32_t s : sector_sizes) {
        if (address >= at && address < at + s) {
            *start = std::uint32_t(at);
            *length = s;
            return true;
        }
        at += s;
    }
    return false;
}

} // namespace Emulator
