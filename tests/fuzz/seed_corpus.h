// The seed inputs made in code for every fuzz target: written records, listings and settings texts.
#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

namespace FuzzChecks {

struct Seed {
    QString name;
    QByteArray bytes;
};

// The seeds of `target` (see target_names()); `carried_image` adds the head of the
// carried firmware image to the seeds of fw_info when it is not empty.
QList<Seed> generated_seeds(QString const& target, QByteArray const& carried_image = QByteArray());

} // namespace FuzzChecks
