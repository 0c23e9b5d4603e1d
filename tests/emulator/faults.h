// Faults the emulated device shows on demand, and their text form in the state folder.
#pragma once

#include <QString>

namespace Emulator {

struct Faults {
    // The write of the 2048-byte flash block with this index (from the start of flash)
    // fails with errWRITE, every time; -1: none.
    int write_error_block = -1;
    // The device disappears when the download reaches this flash block; -1: none.
    // Once it has happened it is cleared, so that the device comes back healthy.
    int vanish_at_block = -1;
    // The device disappears instead of answering the status request after the leave
    // request, as a real part that resets at once; cleared once it has happened.
    bool vanish_at_leave = false;
    // Reading the OTP area is refused (the request stalls), every time.
    bool otp_read_error = false;

    bool operator==(Faults const& o) const;
};

// One "key=value" line per fault that is set; unknown keys are ignored when parsing.
QString format_faults(Faults const& faults);
Faults parse_faults(QString const& text);
// Sets one fault from its command-line form ("write-error-block=3", "vanish-at-leave",
// "none" clears all); false when the text names no fault.
bool apply_fault_option(Faults& faults, QString const& option);

} // namespace Emulator
