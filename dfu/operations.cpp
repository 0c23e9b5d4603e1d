// Device operations: read identity, write the image, read flash back and compare it with the image.
#include "dfu/operations.h"

#include "device/otp_info.h"
#include "files/files.h"
#include "files/support_misc.h"

#include <QDebug>
#include <QFile>

#include <limits>

namespace DFU {

namespace {

// Flash is read back from here, and the image written here.
const QString flash_start_address = QStringLiteral("0x08000000:%1");
// The comparison reads both files in pieces of this size, so that memory stays small
// whatever dfu-util left in the read-back file.
constexpr qint64 compare_chunk_size_bytes = 64 * 1024;

bool desired_FW_Info_read = false;

Device::FW_Info& desired_FW_Info_cache()
{
    static Device::FW_Info cache;
    return cache;
}

// A file too large to count in 32 bits is not decoded: it is no dump that the
// device could have delivered, and reading it whole could exhaust memory.
Device::OTP_Info decode_OTP_file(QString const& path)
{
    if (size_of_binary_file(path) < 0)
        return Device::OTP_Info{};
    return Device::make_OTP_Info(path);
}

Device::FW_Info decode_FW_Info_file(QString const& path)
{
    if (size_of_binary_file(path) < 0)
        return Device::FW_Info{};
    return Device::make_FW_Info(path);
}

// What upload_FW_info asks for: the first 2048 bytes of flash.
constexpr int fw_info_area_bytes = 2048;

// One read of the info area: the run's result, and the block when the run delivered
// the whole area.
struct FW_Info_read {
    CommandResult result;
    bool complete = false;
    Device::FW_Info block;
};

FW_Info_read read_FW_Info_area()
{
    FW_Info_read read;
    const QString target = Files::path_of(Files::uploaded_FW_info_fileName_bin);
    support_misc::ensure_file_is_deleted(target);
    read.result = run_command(upload_FW_info, {target});
    if (read.result.exit_code != 0)
        return read;
    read.complete = size_of_binary_file(target) == fw_info_area_bytes;
    read.block = decode_FW_Info_file(target);
    return read;
}

QString product_mismatch_text(DeviceInfo const& info)
{
    return QStringLiteral("FW assumed invalid because of product type mismatch.") + QStringLiteral("\nOTP contains")
           + QString(info.OTP_info.product) + QStringLiteral("\nwhereas FW contains\n") + QString(info.FW_info);
}

} // namespace

// The item is not consulted: every command selects the device by its vendor alone.
Device::FW_Info read_FW_Info(DeviceItem const* /*item*/)
{
    const FW_Info_read read = read_FW_Info_area();
    return read.result.exit_code == 0 ? read.block : Device::FW_Info{};
}

CommandResult read_device_info(DeviceItem const* /*item*/, DeviceInfo* info)
{
    DeviceInfo scratch;
    if (info == nullptr)
        info = &scratch;

    const QString target = Files::path_of(Files::uploaded_OTP_fileName_bin);
    support_misc::ensure_file_is_deleted(target);
    CommandResult result = run_command(upload_OTP, {target});
    if (result.exit_code != 0)
        return result;

    info->OTP_info = decode_OTP_file(target);
    if (info->OTP_info.blank)
        qInfo().noquote() << result.output + QStringLiteral("OTP is blank.\n");
    // The area was read, whatever it holds; whether it names a product is the OTP record's own verdict.
    info->type = info->OTP_info.product.type;
    info->valid = true;
    qInfo() << QString(info->OTP_info);

    // A device whose flash could not be read is not judged on an empty revision: that
    // would offer an upgrade to a device that cannot be read (for example when another
    // vendor's DFU device makes dfu-util refuse to choose). The read is reported as
    // failed, and the device is left alone until it goes away.
    const FW_Info_read fw = read_FW_Info_area();
    if (fw.result.exit_code != 0 || !fw.complete) {
        info->FW_info = Device::FW_Info{};
        result.exit_code = fw.result.exit_code != 0 ? fw.result.exit_code : exit_code_missing_data;
        result.output += fw.result.output + QStringLiteral("Reading the firmware info block failed.");
        qInfo().noquote() << result.output;
        return result;
    }
    info->FW_info = fw.block;
    const bool accepted = info->FW_info.product == info->OTP_info.product
                          || (info->OTP_info.blank && have_service_build());
    if (accepted) {
        info->FW_revision = info->FW_info.revision;
        qInfo().noquote() << *info;
        qInfo().noquote() << info->FW_info;
    } else {
        result.output += product_mismatch_text(*info);
        qInfo().noquote() << result.output;
        info->FW_info.valid = false;
    }
    return result;
}

int download_FW_to_device(QString file)
{
    return run_command(download_FW, {file}).exit_code;
}

int upload_FW_from_device(QString file, int length)
{
    support_misc::ensure_file_is_deleted(file);
    return run_command(upload_FW, {QStringLiteral("-s"), flash_start_address.arg(length), QStringLiteral("-U"), file})
        .exit_code;
}

bool upload_and_compare_FW_bin(QString desired_file, QString uploaded_file)
{
    const int length = size_of_binary_file(desired_file);
    if (length <= 0)
        return false;
    if (upload_FW_from_device(uploaded_file, length) != 0)
        return false;
    return compare_FW_bin_files(desired_file, uploaded_file);
}

bool compare_FW_bin_files(QString first, QString second)
{
    const int size = size_of_binary_file(first);
    if (size <= 0)
        return false;
    if (size_of_binary_file(second) != size)
        return false;

    QFile a(first);
    QFile b(second);
    if (!a.open(QIODevice::ReadOnly) || !b.open(QIODevice::ReadOnly))
        return false;
    // Read to the end of both, not just `size` bytes: a file that grew since it was
    // measured differs in length.
    for (;;) {
        const QByteArray piece_a = a.read(compare_chunk_size_bytes);
        const QByteArray piece_b = b.read(compare_chunk_size_bytes);
        if (piece_a != piece_b)
            return false;
        if (piece_a.isEmpty())
            return a.atEnd() && b.atEnd();
    }
}

int size_of_binary_file(QString file)
{
    QFile f(file);
    if (!f.open(QIODevice::ReadOnly))
        return -1;
    const qint64 size = f.size();
    if (size > std::numeric_limits<int>::max()) {
        qInfo() << "File too large to be handled:" << file << "size" << size;
        return -1;
    }
    return int(size);
}

Device::FW_Info read_FW_Info_from_desired_FW()
{
    const QString path = Files::path_of(Files::desired_FW_fileName_bin);
    qDebug() << "Reading desired FW_Info from " << path;
    return decode_FW_Info_file(path);
}

Device::FW_Info const& desired_FW_Info()
{
    if (desired_FW_Info_read)
        return desired_FW_Info_cache();
    // Set first: the file is read at most once, even when what it holds is unusable.
    desired_FW_Info_read = true;
    desired_FW_Info_cache() = read_FW_Info_from_desired_FW();
    return desired_FW_Info_cache();
}

} // namespace DFU
