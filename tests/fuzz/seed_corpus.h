// The seed inputs of every fuzz target that are made in code: records and blocks written
// by the shared writer, listings and settings texts for the cases that matter.
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
