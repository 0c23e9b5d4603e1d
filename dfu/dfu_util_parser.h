// Parser of the `dfu-util -l` listing: is exactly one usable DFU device connected?
#pragma once

#include <QString>
#include <QStringList>

class DfuUtilParser {
public:
    enum Status : int { no_dfu_device = 0, one_dfu_device = 1, invalid_dfu_device = 2, multiple_dfu_devices = 3 };

    static const QString prefix_RE;
    static const QString extract_serial_RE;

    explicit DfuUtilParser(QString const& output);

    QString status_as_string() const;

    Status status = no_dfu_device;
    QStringList serials;
    int nr_of_devices = 0;
};
