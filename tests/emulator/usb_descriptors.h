// The USB descriptors of an emulated device, as bytes on the wire.
#pragma once

#include "usb_identity.h"

#include <QByteArray>

namespace Emulator {

constexpr std::uint16_t language_id_en_us = 0x0409;
// String indices: 1 manufacturer, 2 product, 3 serial, 4 + n name of alternate setting n.
constexpr int string_index_manufacturer = 1;
constexpr int string_index_product = 2;
constexpr int string_index_serial = 3;
constexpr int string_index_first_alt = 4;

QByteArray device_descriptor(UsbIdentity const& id);
// The configuration with its interface descriptors (one per alternate setting) and the
// DFU functional descriptor after the last of them.
QByteArray configuration_descriptor(UsbIdentity const& id);
// String descriptor `index`; index 0 is the list of languages. Empty when there is none.
QByteArray string_descriptor(UsbIdentity const& id, int index);

} // namespace Emulator
