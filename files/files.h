// The private working directory, the names of the working files and their extraction.
#pragma once

#include <QString>
#include <QTemporaryDir>

#include <map>
#include <vector>

namespace Files {

enum ID {
    dfu_util = 0,
    libusb = 1,
    desired_FW_dfu = 2,
    desired_FW_bin = 3,
    uploaded_FW_bin = 4,
    uploaded_FW_info_bin = 5,
    uploaded_OTP_bin = 6,
};

extern const std::map<ID, QString> basename;

extern const QString desired_FW_fileName_dfu;
extern const QString desired_FW_fileName_bin;
extern const QString uploaded_FW_fileName_bin;
extern const QString uploaded_FW_info_fileName_bin;
extern const QString uploaded_OTP_fileName_bin;
extern const QString dfu_util_executable_fileName;

// Created before main runs as "upgrade_XXXXXX" in the temporary directory (mode 0700);
// removed with everything in it when the program ends.
extern QTemporaryDir external_dir;

// The working directory's path, "/", and `name`.
QString path_of(QString const& name);

bool extract_resources(std::vector<ID> ids, bool strict);

} // namespace Files
