// Fuzz target: the `dfu-util -l` parser and the scan verdict on any listing.
#include "tests/fuzz/fuzz_target.h"
#include "tests/fuzz/listing_invariants.h"

extern "C" int LLVMFuzzerTestOneInput(std::uint8_t const* data, std::size_t size)
{
    FuzzChecks::silence_messages_once();
    FuzzChecks::stop_on_faults(FuzzChecks::check_listing(FuzzChecks::input_bytes(data, size)));
    return 0;
}
