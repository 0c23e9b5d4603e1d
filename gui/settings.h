// The window layout read from the GUI settings file, and the carried image's identity.
#pragma once

#include "device/product.h"

#include <QColor>
#include <QDebug>
#include <QJsonObject>
#include <QPoint>
#include <QString>

#include <vector>

namespace Settings {

// One ring drawn over the background picture; positions and sizes in design pixels.
struct CircleData {
    QString name;
    QPoint center;
    int radius = 0;
    int pen_width = 0;
    QColor color;

    operator QString() const;
};

// One label entry; the defaults are what a member holds when its key is absent.
struct LabelData {
    QString id;
    QPoint position{-1, -1};
    int size = -1;
    QString font;
    QString text;
    bool create = true;
    bool white = true;

    operator QString() const;
};

class GUI {
public:
    GUI() = default;
    explicit GUI(QString jsonText);

    // The first label with exactly this id, or null (with a warning) when there is none.
    LabelData const* label(QString const& id) const;
    // The text of that label, or an empty string (with the same warning).
    QString text(QString const& id) const;

    operator QString() const;

    bool valid = false;
    std::vector<CircleData> circles;
    std::vector<LabelData> labels;
};

struct Settings {
    GUI gui;
    Device::Type desired_ID = Device::Invalid;
    QString desired_revision;
};

LabelData LabelData_factory(QJsonObject object);
CircleData CircleData_factory(QJsonObject object);

QString load_settings_file(QString fileName);
GUI make_GUI(QString fileName);

QDebug operator<<(QDebug dbg, CircleData const& circle);
QDebug operator<<(QDebug dbg, LabelData const& label);
QDebug operator<<(QDebug dbg, GUI const& gui);

} // namespace Settings
