// Fuzz target: the GUI settings reader on any text, raw control characters inside strings included.
#include "tests/fuzz/fuzz_target.h"
#include "tests/fuzz/settings_invariants.h"

extern "C" int LLVMFuzzerTestOneInput(std::uint8_t const* data, std::size_t size)
{
    FuzzChecks::silence_messages_once();
    FuzzChecks::stop_on_faults(FuzzChecks::check_settings(FuzzChecks::input_bytes(data, size)));
    return 0;
}
