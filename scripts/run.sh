#!/usr/bin/env bash
# Installs what is missing, builds the tool and starts it with the options given.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
# Lets a normal user at the seat reach the device in its bootloader.
rule=resources/udev/70-vantrel-dfu.rules
if [[ -d /etc/udev/rules.d ]] && ! cmp -s "$rule" "/etc/udev/rules.d/$(basename "$rule")"; then
    install -m 0644 "$rule" /etc/udev/rules.d/ \
        && { udevadm control --reload-rules && udevadm trigger; } 2>/dev/null || true
fi
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build --target vantrel-upgrade-tool
if [[ -z "${DISPLAY:-}" && -z "${WAYLAND_DISPLAY:-}" ]]; then
    echo "No display found: starting the tool on a virtual display (Xvfb)." >&2
    exec xvfb-run -a -s "-screen 0 1280x1024x24" build/app/vantrel-upgrade-tool "$@"
fi
exec build/app/vantrel-upgrade-tool "$@"
