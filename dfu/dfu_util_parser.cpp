// Parser of the `dfu-util -l` listing: counts the bootloader lines and collects serial numbers.
#include "dfu/dfu_util_parser.h"

#include <QDebug>
#include <QRegularExpression>

#include <map>

const QString DfuUtilParser::prefix_RE = QStringLiteral("^Found DFU: \\[0483:df11\\] ver=2200");
const QString DfuUtilParser::extract_serial_RE = QStringLiteral("serial=\"([0-9a-fA-F]+)\"");

namespace {

// The supported bootloader shows exactly this many alternate settings per device.
constexpr int lines_per_device = 4;

QRegularExpression const& prefix_expression()
{
    static const QRegularExpression expression(DfuUtilParser::prefix_RE);
    return expression;
}

QRegularExpression const& serial_expression()
{
    static const QRegularExpression expression(DfuUtilParser::extract_serial_RE);
    return expression;
}

} // namespace

DfuUtilParser::DfuUtilParser(QString const& output)
{
    QStringList kept;
    for (QString const& line : output.split(QLatin1Char('\n')))
        if (prefix_expression().match(line).hasMatch())
            kept.append(line);

    int lines_counted = 0;
    for (QString const& line : kept) {
        const QRegularExpressionMatch match = serial_expression().match(line);
        if (!match.hasMatch()) {
            // A bootloader line without a readable serial cannot be told apart from
            // another device's: the whole listing is unusable.
            qDebug() << line;
            status = no_dfu_device;
            return;
        }
        const QString serial = match.captured(1);
        if (serials.isEmpty() || serials.last() != serial)
            serials.append(serial);
        ++lines_counted;
    }

    nr_of_devices = serials.size();
    if (nr_of_devices == 0)
        status = no_dfu_device;
    else if (nr_of_devices == 1)
        status = lines_counted == lines_per_device ? one_dfu_device : invalid_dfu_device;
    else
        status = multiple_dfu_devices;
}

QString DfuUtilParser::status_as_string() const
{
    static const std::map<Status, QString> names = {
        {no_dfu_device, QStringLiteral("no_dfu_device")},
        {one_dfu_device, QStringLiteral("one_dfu_device")},
        {invalid_dfu_device, QStringLiteral("invalid_dfu_device")},
        {multiple_dfu_devices, QStringLiteral("multiple_dfu_devices")},
    };
    const auto it = names.find(status);
    return it != names.end() ? it->second : QString();
}
