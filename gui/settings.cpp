// The window layout read from the GUI settings file, and the carried image's identity.
#include "gui/settings.h"

#include "files/support_misc.h"
#include "gui/json_reader.h"

#include <QJsonArray>
#include <QJsonValue>

#include <cmath>
#include <limits>

namespace Settings {

namespace {

// A whole JSON number within the int range; anything else reads as 0.
int to_int(QJsonValue const& value)
{
    if (!value.isDouble())
        return 0;
    const double d = value.toDouble();
    if (!std::isfinite(d) || d != std::trunc(d) || d < std::numeric_limits<int>::min()
        || d > std::numeric_limits<int>::max())
        return 0;
    return static_cast<int>(d);
}

bool to_bool(QJsonValue const& value)
{
    return value.isBool() && value.toBool();
}

QString to_string(QJsonValue const& value)
{
    return value.isString() ? value.toString() : QString();
}

QJsonObject to_object(QJsonValue const& value)
{
    return value.isObject() ? value.toObject() : QJsonObject();
}

QJsonArray to_array(QJsonValue const& value)
{
    return value.isArray() ? value.toArray() : QJsonArray();
}

} // namespace

LabelData LabelData_factory(QJsonObject object)
{
    LabelData label;
    if (object.contains(QLatin1String("id")))
        label.id = to_string(object.value(QLatin1String("id")));
    if (object.contains(QLatin1String("position"))) {
        const QJsonObject position = to_object(object.value(QLatin1String("position")));
        if (position.contains(QLatin1String("x")))
            label.position.setX(to_int(position.value(QLatin1String("x"))));
        if (position.contains(QLatin1String("y")))
            label.position.setY(to_int(position.value(QLatin1String("y"))));
    }
    if (object.contains(QLatin1String("size")))
        label.size = to_int(object.value(QLatin1String("size")));
    if (object.contains(QLatin1String("font")))
        label.font = to_string(object.value(QLatin1String("font")));
    if (object.contains(QLatin1String("create")))
        label.create = to_bool(object.value(QLatin1String("create")));
    if (object.contains(QLatin1String("white")))
        label.white = to_bool(object.value(QLatin1String("white")));
    if (object.contains(QLatin1String("text")))
        label.text = to_string(object.value(QLatin1String("text")));
    return label;
}

CircleData CircleData_factory(QJsonObject object)
{
    CircleData circle;
    circle.name = to_string(object.value(QLatin1String("name")));
    const QJsonObject center = to_object(object.value(QLatin1String("center")));
    circle.center = QPoint(to_int(center.value(QLatin1String("x"))), to_int(center.value(QLatin1String("y"))));
    circle.radius = to_int(object.value(QLatin1String("radius")));
    circle.pen_width = to_int(object.value(QLatin1String("pen_width")));
    circle.color.setNamedColor(to_string(object.value(QLatin1String("color"))));
    return circle;
}

GUI::GUI(QString jsonText)
{
    const QJsonObject top = parse_lenient_json_object(jsonText);
    for (QJsonValue const& element : to_array(top.value(QLatin1String("circles"))))
        circles.push_back(CircleData_factory(element.toObject()));
    for (QJsonValue const& element : to_array(top.value(QLatin1String("labels"))))
        labels.push_back(LabelData_factory(element.toObject()));
    valid = true;
}

LabelData const* GUI::label(QString const& id) const
{
    for (LabelData const& entry : labels) {
        if (entry.id == id)
            return &entry;
    }
    qWarning() << "No matching label with id" << id << "found";
    return nullptr;
}

QString GUI::text(QString const& id) const
{
    LabelData const* entry = label(id);
    return entry ? entry->text : QString();
}

CircleData::operator QString() const
{
    return QStringLiteral("Circle '%1': (%2,%3), r=%4, w=%5, color=%6")
        .arg(name)
        .arg(center.x())
        .arg(center.y())
        .arg(radius)
        .arg(pen_width)
        .arg(color.name(QColor::HexArgb).toLower());
}

LabelData::operator QString() const
{
    return QStringLiteral("Label '%1': (%2,%3) {%4%5%6} font='%7':%8: '%9'")
        .arg(id)
        .arg(position.x())
        .arg(position.y())
        .arg(white ? QString() : QStringLiteral("not-white"))
        .arg(!white && !create ? QStringLiteral(" ") : QString())
        .arg(create ? QString() : QStringLiteral("no-create"))
        .arg(font)
        .arg(size)
        .arg(text);
}

GUI::operator QString() const
{
    QString out = QStringLiteral("GUI settings:\n");
    if (!valid)
        return out + QStringLiteral("\tInvalid\n");
    for (CircleData const& circle : circles)
        out += QLatin1Char('\t') + QString(circle) + QLatin1Char('\n');
    for (LabelData const& label : labels)
        out += QLatin1Char('\t') + QString(label) + QLatin1Char('\n');
    return out;
}

QString load_settings_file(QString fileName)
{
    return support_misc::load_text_file(support_misc::maybe_use_file_instead_of_resource(fileName));
}

GUI make_GUI(QString fileName)
{
    return GUI(load_settings_file(fileName));
}

QDebug operator<<(QDebug dbg, CircleData const& circle)
{
    QDebugStateSaver saver(dbg);
    dbg.noquote() << QString(circle);
    return dbg;
}

QDebug operator<<(QDebug dbg, LabelData const& label)
{
    QDebugStateSaver saver(dbg);
    dbg.noquote() << QString(label);
    return dbg;
}

QDebug operator<<(QDebug dbg, GUI const& gui)
{
    QDebugStateSaver saver(dbg);
    dbg.noquote() << QString(gui);
    return dbg;
}

} // namespace Settings
