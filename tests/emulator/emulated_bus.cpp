// Plugging the emulated devices in and out of the umockdev testbed.
#include "emulated_bus.h"

#include "usb_descriptors.h"

namespace Emulator {

namespace {

QString dec3(int v)
{
    return QStringLiteral("%1").arg(v, 3, 10, QLatin1Char('0'));
}

QString hex4(int v)
{
    return QStringLiteral("%1").arg(v, 4, 16, QLatin1Char('0'));
}

} // namespace

QString testbed_description(UsbIdentity const& id, QString const& sysfs_path)
{
    const QByteArray descriptors = device_descriptor(id) + configuration_descriptor(id);
    QStringList lines;
    lines << QStringLiteral("P: ") + sysfs_path.mid(QStringLiteral("/sys").size())
          << QStringLiteral("N: bus/usb/%1/%2").arg(dec3(id.busnum), dec3(id.devnum))
          << QStringLiteral("E: DEVNAME=/dev/bus/usb/%1/%2").arg(dec3(id.busnum), dec3(id.devnum))
          << QStringLiteral("E: SUBSYSTEM=usb")
          << QStringLiteral("E: DEVTYPE=usb_device")
          << QStringLiteral("E: DRIVER=usb")
          << QStringLiteral("E: PRODUCT=%1/%2/%3")
                 .arg(QString::number(id.vendor, 16), QString::number(id.product, 16),
                      QString::number(id.bcd_device, 16))
          << QStringLiteral("E: BUSNUM=") + dec3(id.busnum)
          << QStringLiteral("E: DEVNUM=") + dec3(id.devnum)
          << QStringLiteral("A: busnum=%1").arg(id.busnum)
          << QStringLiteral("A: devnum=%1").arg(id.devnum)
          << QStringLiteral("A: speed=12")
          << QStringLiteral("A: bConfigurationValue=1")
          << QStringLiteral("A: bNumConfigurations=1")
          << QStringLiteral("A: bNumInterfaces= 1")
          << QStringLiteral("A: bDeviceClass=00")
          << QStringLiteral("A: bMaxPacketSize0=64")
          << QStringLiteral("A: idVendor=") + hex4(id.vendor)
          << QStringLiteral("A: idProduct=") + hex4(id.product)
          << QStringLiteral("A: bcdDevice=") + hex4(id.bcd_device)
          << QStringLiteral("A: manufacturer=") + id.manufacturer
          << QStringLiteral("A: product=") + id.product_name
          << QStringLiteral("A: serial=") + id.serial
          << QStringLiteral("H: descriptors=") + QString::fromLatin1(descriptors.toHex().toUpper());
    return lines.join(QLatin1Char('\n')) + QStringLiteral("\n\n");
}

EmulatedBus::EmulatedBus(StateFolder state) : state_(std::move(state)), testbed_(umockdev_testbed_new())
{
    bootloader_.device = std::make_unique<DfuseDevice>(stm32_dfuse_bootloader(state_.serial()), state_);
    foreign_.device = std::make_unique<DfuseDevice>(foreign_dfu_device(), StateFolder(QString()));
    for (Slot* slot : {&bootloader_, &foreign_}) {
        slot->handler = std::make_unique<UsbdevfsHandler>(slot->device.get());
        // The device's lock is held here: only hand the news to the main loop.
        slot->device->set_disconnect_handler([this]() { g_idle_add(on_device_disconnected, this); });
    }
}

EmulatedBus::~EmulatedBus()
{
    if (poll_source_)
        g_source_remove(poll_source_);
    if (reattach_source_)
        g_source_remove(reattach_source_);
    // The bus goes away with the harness: not an unplugging worth a log line.
    for (Slot* slot : {&bootloader_, &foreign_})
        if (slot->plugged)
            unplug(*slot, false);
    g_object_unref(testbed_);
}

QString EmulatedBus::root_dir() const
{
    gchar* dir = umockdev_testbed_get_root_dir(testbed_);
    const QString result = QString::fromUtf8(dir);
    g_free(dir);
    return result;
}

QString EmulatedBus::sysfs_path(UsbIdentity const& id) const
{
    return QStringLiteral("/sys/devices/pci0000:00/0000:00:14.0/usb%1/%2").arg(id.busnum).arg(id.sysfs_name);
}

QString EmulatedBus::device_node(UsbIdentity const& id) const
{
    return QStringLiteral("/dev/bus/usb/%1/%2").arg(dec3(id.busnum), dec3(id.devnum));
}

void EmulatedBus::start()
{
    sync();
    if (!poll_source_)
        poll_source_ = g_timeout_add(attach_poll_interval_ms, on_poll, this);
}

gboolean EmulatedBus::on_poll(gpointer self)
{
    static_cast<EmulatedBus*>(self)->sync();
    return G_SOURCE_CONTINUE;
}

gboolean EmulatedBus::on_device_disconnected(gpointer self)
{
    static_cast<EmulatedBus*>(self)->sync();
    return G_SOURCE_REMOVE;
}

gboolean EmulatedBus::on_reattach(gpointer self)
{
    auto* bus = static_cast<EmulatedBus*>(self);
    bus->reattach_source_ = 0;
    const QByteArray flash = bus->state_.reattach_flash();
    if (!flash.isEmpty()) {
        MemoryRegion const& region = bus->bootloader_.device->identity().alts[flash_alt].region;
        bus->state_.store_memory(region, bus->state_.load_memory(region).replace(0, flash.size(), flash));
        bus->state_.set_reattach_flash(QByteArray());
    }
    bus->state_.set_attached(true);
    bus->sync();
    return G_SOURCE_REMOVE;
}

void EmulatedBus::sync()
{
    if (bootloader_.plugged && !bootloader_.device->present()) {
        // Left DFU mode or vanished: gone from the bus, perhaps back later.
        unplug(bootloader_);
        const int delay = state_.reattach_after_ms();
        if (delay >= 0 && !reattach_source_)
            reattach_source_ = g_timeout_add(guint(delay), on_reattach, this);
    }
    const bool want_bootloader = state_.attached();
    if (want_bootloader && !bootloader_.plugged)
        plug(bootloader_);
    else if (!want_bootloader && bootloader_.plugged)
        unplug(bootloader_);

    const bool want_foreign = state_.second_device();
    if (want_foreign && !foreign_.plugged)
        plug(foreign_);
    else if (!want_foreign && foreign_.plugged)
        unplug(foreign_);
}

void EmulatedBus::plug(Slot& slot)
{
    slot.device->power_on();
    UsbIdentity const& id = slot.device->identity();
    GError* error = nullptr;
    const QByteArray description = testbed_description(id, sysfs_path(id)).toUtf8();
    if (!umockdev_testbed_add_from_string(testbed_, description.constData(), &error)) {
        g_printerr("emulator: cannot add %s: %s\n", qPrintable(id.sysfs_name), error->message);
        g_error_free(error);
        return;
    }
    if (!umockdev_testbed_attach_ioctl(testbed_, qPrintable(device_node(id)), slot.handler->ioctl_base(), &error)) {
        g_printerr("emulator: cannot serve %s: %s\n", qPrintable(device_node(id)), error->message);
        g_error_free(error);
    }
    slot.plugged = true;
    if (&slot == &bootloader_)
        state_.append_log(QStringLiteral("attach serial=") + id.serial);
}

void EmulatedBus::unplug(Slot& slot, bool logged)
{
    slot.device->power_off();
    UsbIdentity const& id = slot.device->identity();
    umockdev_testbed_detach_ioctl(testbed_, qPrintable(device_node(id)), nullptr);
    umockdev_testbed_remove_device(testbed_, qPrintable(sysfs_path(id)));
    slot.plugged = false;
    if (logged && &slot == &bootloader_)
        state_.append_log(QStringLiteral("detach"));
}

} // namespace Emulator
