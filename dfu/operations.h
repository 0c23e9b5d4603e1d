// Device operations: read identity, write the image, read flash back and compare.
#pragma once

#include "device/fw_info.h"
#include "dfu/command.h"
#include "dfu/device_info.h"

#include <QString>

// Build switch defined by the application (false in the standard build): a service
// build accepts whatever firmware a device with a blank OTP area carries.
bool have_service_build();

namespace DFU {

CommandResult read_device_info(DeviceItem const* item, DeviceInfo* info);
Device::FW_Info read_FW_Info(DeviceItem const* item);
int download_FW_to_device(QString file);
int upload_FW_from_device(QString file, int length);
bool upload_and_compare_FW_bin(QString desired_file, QString uploaded_file);
bool compare_FW_bin_files(QString first, QString second);
// The size as a 32-bit count; -1 when the file cannot be opened or is too large to count.
int size_of_binary_file(QString file);
Device::FW_Info read_FW_Info_from_desired_FW();
Device::FW_Info const& desired_FW_Info();

} // namespace DFU
