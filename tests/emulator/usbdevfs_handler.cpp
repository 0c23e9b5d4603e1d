// The usbdevfs requests: capabilities, claim and release, alternate setting, reset and URBs.
#include "usbdevfs_handler.h"

#include <linux/usbdevice_fs.h>
#include <sys/ioctl.h>

#include <cerrno>
#include <cstddef>
#include <cstring>
#include <memory>

namespace Emulator {

namespace {

constexpr int setup_packet_size = 8;
constexpr std::uint32_t capabilities =
    USBDEVFS_CAP_ZERO_PACKET | USBDEVFS_CAP_BULK_CONTINUATION | USBDEVFS_CAP_NO_PACKET_SIZE_LIM;

struct ObjectUnref {
    void operator()(gpointer object) const { g_object_unref(object); }
};
// A resolved block of client memory; changes are copied back when the ioctl completes,
// so it is released only after completion.
using Resolved = std::unique_ptr<UMockdevIoctlData, ObjectUnref>;

Resolved resolve(UMockdevIoctlData* data, gsize offset, gsize length)
{
    GError* error = nullptr;
    Resolved resolved(umockdev_ioctl_data_resolve(data, offset, length, &error));
    if (error)
        g_error_free(error);
    return resolved;
}

} // namespace

UsbdevfsHandler::UsbdevfsHandler(DfuseDevice* device) : device_(device), base_(umockdev_ioctl_base_new())
{
    g_signal_connect(base_, "handle-ioctl", G_CALLBACK(on_handle_ioctl), this);
    g_signal_connect(base_, "client-connected", G_CALLBACK(on_client_connected), this);
    g_signal_connect(base_, "client-vanished", G_CALLBACK(on_client_vanished), this);
}

UsbdevfsHandler::~UsbdevfsHandler()
{
    g_signal_handlers_disconnect_by_data(base_, this);
    g_object_unref(base_);
}

gboolean UsbdevfsHandler::on_handle_ioctl(UMockdevIoctlBase*, UMockdevIoctlClient* client, gpointer self)
{
    static_cast<UsbdevfsHandler*>(self)->handle(client);
    return TRUE;
}

void UsbdevfsHandler::on_client_connected(UMockdevIoctlBase*, UMockdevIoctlClient*, gpointer self)
{
    static_cast<UsbdevfsHandler*>(self)->device_->opened();
}

void UsbdevfsHandler::on_client_vanished(UMockdevIoctlBase*, UMockdevIoctlClient* client, gpointer self)
{
    auto* handler = static_cast<UsbdevfsHandler*>(self);
    std::lock_guard<std::mutex> lock(handler->mutex_);
    handler->completed_.erase(client);
}

void UsbdevfsHandler::handle(UMockdevIoctlClient* client)
{
    const gulong request = umockdev_ioctl_client_get_request(client);
    UMockdevIoctlData* arg = umockdev_ioctl_client_get_arg(client);

    if (request == USBDEVFS_REAPURB || request == USBDEVFS_REAPURBNDELAY) {
        reap_urb(client, arg);
        return;
    }
    if (!device_->present()) {
        umockdev_ioctl_client_complete(client, -1, ENODEV);
        return;
    }
    switch (request) {
    case USBDEVFS_GET_CAPABILITIES: {
        Resolved caps = resolve(arg, 0, sizeof(std::uint32_t));
        if (!caps) {
            umockdev_ioctl_client_complete(client, -1, EFAULT);
            return;
        }
        std::memcpy(caps->data, &capabilities, sizeof capabilities);
        umockdev_ioctl_client_complete(client, 0, 0);
        return;
    }
    case USBDEVFS_CLAIMINTERFACE:
    case USBDEVFS_RELEASEINTERFACE: {
        Resolved number = resolve(arg, 0, sizeof(unsigned int));
        unsigned int interface = 1;
        if (number)
            std::memcpy(&interface, number->data, sizeof interface);
        umockdev_ioctl_client_complete(client, interface == 0 ? 0 : -1, interface == 0 ? 0 : EINVAL);
        return;
    }
    case USBDEVFS_SETINTERFACE: {
        Resolved data = resolve(arg, 0, sizeof(usbdevfs_setinterface));
        usbdevfs_setinterface setting{1, 0};
        if (data)
            std::memcpy(&setting, data->data, sizeof setting);
        const bool ok = setting.interface == 0 && device_->set_alt_setting(int(setting.altsetting));
        umockdev_ioctl_client_complete(client, ok ? 0 : -1, ok ? 0 : EINVAL);
        return;
    }
    case USBDEVFS_RESET:
        device_->usb_reset();
        umockdev_ioctl_client_complete(client, 0, 0);
        return;
    case USBDEVFS_CLEAR_HALT:
    case USBDEVFS_SETCONFIGURATION:
        umockdev_ioctl_client_complete(client, 0, 0);
        return;
    case USBDEVFS_DISCARDURB: // every URB completes at once: nothing is left to discard
        umockdev_ioctl_client_complete(client, -1, EINVAL);
        return;
    case USBDEVFS_SUBMITURB:
        submit_urb(client, arg);
        return;
    default:
        umockdev_ioctl_client_complete(client, -1, ENOTTY);
        return;
    }
}

void UsbdevfsHandler::submit_urb(UMockdevIoctlClient* client, UMockdevIoctlData* arg)
{
    Resolved urb_data = resolve(arg, 0, sizeof(usbdevfs_urb));
    if (!urb_data) {
        umockdev_ioctl_client_complete(client, -1, EFAULT);
        return;
    }
    auto* urb = reinterpret_cast<usbdevfs_urb*>(urb_data->data);
    if (urb->type != USBDEVFS_URB_TYPE_CONTROL || urb->buffer_length < setup_packet_size) {
        umockdev_ioctl_client_complete(client, -1, EINVAL);
        return;
    }
    Resolved buffer = resolve(urb_data.get(), offsetof(usbdevfs_urb, buffer), gsize(urb->buffer_length));
    if (!buffer) {
        umockdev_ioctl_client_complete(client, -1, EFAULT);
        return;
    }
    const QByteArray setup_bytes(reinterpret_cast<char const*>(buffer->data), setup_packet_size);
    const SetupPacket setup = parse_setup_packet(setup_bytes);
    const bool device_to_host = setup.request_type & 0x80;
    const int room = urb->buffer_length - setup_packet_size;
    QByteArray out_data;
    if (!device_to_host)
        out_data = QByteArray(reinterpret_cast<char const*>(buffer->data) + setup_packet_size,
                              qMin(int(setup.length), room));

    const ControlResult result = device_->control(setup, out_data);
    if (result.outcome == ControlResult::gone) {
        umockdev_ioctl_client_complete(client, -1, ENODEV);
        return;
    }
    if (result.outcome == ControlResult::stalled) {
        urb->status = -EPIPE;
        urb->actual_length = 0;
    } else if (device_to_host) {
        const int n = qMin(result.data.size(), room);
        std::memcpy(buffer->data + setup_packet_size, result.data.constData(), size_t(n));
        urb->status = 0;
        urb->actual_length = n;
    } else {
        urb->status = 0;
        urb->actual_length = out_data.size();
    }
    {
        std::lock_guard<std::mutex> lock(mutex_);
        completed_[client].push_back(urb_data->client_addr);
    }
    umockdev_ioctl_client_complete(client, 0, 0);
}

void UsbdevfsHandler::reap_urb(UMockdevIoctlClient* client, UMockdevIoctlData* arg)
{
    gulong address = 0;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        auto it = completed_.find(client);
        if (it == completed_.end() || it->second.empty()) {
            umockdev_ioctl_client_complete(client, -1, device_->present() ? EAGAIN : ENODEV);
            return;
        }
        address = it->second.front();
        it->second.pop_front();
    }
    Resolved slot = resolve(arg, 0, sizeof(void*));
    if (!slot) {
        umockdev_ioctl_client_complete(client, -1, EFAULT);
        return;
    }
    std::memcpy(slot->data, &address, sizeof(void*));
    umockdev_ioctl_client_complete(client, 0, 0);
}

} // namespace Emulator
