// Fuzz target: the firmware info block decoder on any image or read-back.
#include "tests/fuzz/fuzz_target.h"
#include "tests/fuzz/fw_info_invariants.h"

extern "C" int LLVMFuzzerTestOneInput(std::uint8_t const* data, std::size_t size)
{
    FuzzChecks::silence_messages_once();
    FuzzChecks::stop_on_faults(FuzzChecks::check_fw_info(FuzzChecks::input_bytes(data, size)));
    return 0;
}
