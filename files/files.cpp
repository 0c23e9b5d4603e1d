// The working directory, the working file names, the resource bundles and extraction.
#include "files/files.h"

#include <QDebug>
#include <QDir>
#include <QFile>

// The bundles live in a static library: referencing their registration functions here
// keeps them linked, and registers them before main runs.
static int register_bundles()
{
    Q_INIT_RESOURCE(fonts);
    Q_INIT_RESOURCE(dfu_util_linux);
    Q_INIT_RESOURCE(resources);
    return 0;
}
static const int bundles_registered = register_bundles();

namespace Files {

const std::map<ID, QString> basename = {
    {dfu_util, QStringLiteral("dfu-util")},
    {libusb, QStringLiteral("libusb-1.0.so.0")},
    {desired_FW_dfu, QStringLiteral("firmware.dfu")},
    {desired_FW_bin, QStringLiteral("firmware.bin")},
    {uploaded_FW_bin, QStringLiteral("uploaded_FW.bin")},
    {uploaded_FW_info_bin, QStringLiteral("uploaded_FW_info.bin")},
    {uploaded_OTP_bin, QStringLiteral("uploaded_OTP.bin")},
};

const QString desired_FW_fileName_dfu = QStringLiteral("firmware.dfu");
const QString desired_FW_fileName_bin = QStringLiteral("firmware.bin");
const QString uploaded_FW_fileName_bin = QStringLiteral("uploaded_FW.bin");
const QString uploaded_FW_info_fileName_bin = QStringLiteral("uploaded_FW_info.bin");
const QString uploaded_OTP_fileName_bin = QStringLiteral("uploaded_OTP.bin");
const QString dfu_util_executable_fileName = QStringLiteral("dfu-util");

QTemporaryDir external_dir(QDir::tempPath() + QStringLiteral("/upgrade_XXXXXX"));

QString path_of(QString const& name)
{
    return external_dir.path() + QLatin1Char('/') + name;
}

bool extract_resources(std::vector<ID> ids, bool strict)
{
    if (!external_dir.isValid()) {
        qInfo() << "Failed to create temporary directory:" << external_dir.errorString();
        return false;
    }
    bool success = true;
    for (ID id : ids) {
        auto it = basename.find(id);
        const QString name = it != basename.end() ? it->second : QString();
        const QString source = QStringLiteral(":resources/") + name;
        if (QFile::copy(source, path_of(name))) {
            qDebug() << "Extracted " << name;
        } else {
            qInfo() << "Failed to extract " << name;
            success = false;
        }
    }
    return success || !strict;
}

} // namespace Files
