// Fuzz target: the OTP record decoder on any dump.
#include "tests/fuzz/fuzz_target.h"
#include "tests/fuzz/otp_info_invariants.h"

extern "C" int LLVMFuzzerTestOneInput(std::uint8_t const* data, std::size_t size)
{
    FuzzChecks::silence_messages_once();
    FuzzChecks::stop_on_faults(FuzzChecks::check_otp_info(FuzzChecks::input_bytes(data, size)));
    return 0;
}
