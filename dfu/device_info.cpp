// Display text and log output of the record of what was read from the connected device.
#include "dfu/device_info.h"

namespace DFU {

DeviceInfo::operator QString() const
{
    QString text = QStringLiteral("DeviceInfo:\n");
    if (!valid)
        return text + QStringLiteral("Invalid");
    text += QStringLiteral("\tDevice type:\t") + QString::number(int(type)) + QLatin1Char('\n');
    text += QStringLiteral("\tFW_revision:\t") + FW_revision + QLatin1Char('\n');
    return text;
}

QDebug operator<<(QDebug dbg, DeviceInfo const& info)
{
    QDebugStateSaver saver(dbg);
    dbg.noquote() << QString(info);
    return dbg;
}

} // namespace DFU
