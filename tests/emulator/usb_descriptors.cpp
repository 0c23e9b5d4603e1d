// Builds device, configuration and string descriptors from an identity.
#include "usb_descriptors.h"

#include "dfu_protocol.h"

namespace Emulator {

namespace {

void append16(QByteArray& out, std::uint16_t v)
{
    out.append(char(v & 0xFF));
    out.append(char(v >> 8));
}

constexpr std::uint8_t dfu_interface_class = 0xFE;
constexpr std::uint8_t dfu_interface_subclass = 0x01;
constexpr std::uint8_t dfu_mode_protocol = 0x02;
constexpr std::uint8_t max_packet_size0 = 64;
constexpr std::uint8_t self_powered_attributes = 0xC0;
constexpr std::uint8_t max_power_2ma_units = 50;

} // namespace

QByteArray device_descriptor(UsbIdentity const& id)
{
    QByteArray d;
    d.append(char(18));
    d.append(char(descriptor_type_device));
    append16(d, id.bcd_usb);
    d.append(char(0)); // class, subclass, protocol: per interface
    d.append(char(0));
    d.append(char(0));
    d.append(char(max_packet_size0));
    append16(d, id.vendor);
    append16(d, id.product);
    append16(d, id.bcd_device);
    d.append(char(string_index_manufacturer));
    d.append(char(string_index_product));
    d.append(char(string_index_serial));
    d.append(char(1)); // configurations
    return d;
}

QByteArray configuration_descriptor(UsbIdentity const& id)
{
    QByteArray body;
    for (size_t alt = 0; alt < id.alts.size(); ++alt) {
        body.append(char(9));
        body.append(char(descriptor_type_interface));
        body.append(char(0)); // interface number
        body.append(char(alt));
        body.append(char(0)); // endpoints
        body.append(char(dfu_interface_class));
        body.append(char(dfu_interface_subclass));
        body.append(char(dfu_mode_protocol));
        body.append(char(string_index_first_alt + alt));
    }
    body.append(char(9));
    body.append(char(descriptor_type_dfu_functional));
    body.append(char(id.dfu_attributes));
    append16(body, id.detach_timeout_ms);
    append16(body, id.transfer_size);
    append16(body, id.bcd_dfu);

    QByteArray d;
    d.append(char(9));
    d.append(char(descriptor_type_configuration));
    append16(d, std::uint16_t(9 + body.size()));
    d.append(char(1)); // interfaces
    d.append(char(1)); // configuration value
    d.append(char(0)); // no string
    d.append(char(self_powered_attributes));
    d.append(char(max_power_2ma_units));
    return d + body;
}

QByteArray string_descriptor(UsbIdentity const& id, int index)
{
    QByteArray d;
    if (index == 0) {
        d.append(char(4));
        d.append(char(descriptor_type_string));
        append16(d, language_id_en_us);
        return d;
    }
    QString text;
    if (index == string_index_manufacturer)
        text = id.manufacturer;
    else if (index == string_index_product)
        text = id.product_name;
    else if (index == string_index_serial)
        text = id.serial;
    else if (index >= string_index_first_alt && index < string_index_first_alt + int(id.alts.size()))
        text = id.alts[size_t(index - string_index_first_alt)].name;
    else
        return d;
    d.append(char(2 + 2 * text.size()));
    d.append(char(descriptor_type_string));
    for (QChar c : text)
        append16(d, c.unicode());
    return d;
}

} // namespace Emulator
