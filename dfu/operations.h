// Device operations: read identity, write the image, read flash back and compare.
#pragma once

#include "device/fw_info.h"
#include "dfu/command.h"
#include "dfu/device_info.h"

#include <QString>

namespace DFU {

CommandResult read_device_info(DeviceItem const* item, DeviceInfo* info);
Device::FW_Info read_FW_Info(DeviceItem const* item);
int download_FW_to_device(QString file);
int upload_FW_from_device(QString file, int length);
bool upload_and_compare_FW_bin(QString desired_file, QString uploaded_file);
bool compare_FW_bin_files(QString first, QString second);
int size_of_binary_file(QString file);
Device::FW_Info read_FW_Info_from_desired_FW();
Device::FW_Info const& desired_FW_Info();

} // namespace DFU
