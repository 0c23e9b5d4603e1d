// A lenient JSON reader that accepts raw control characters inside string values.
#pragma once

#include <QByteArray>
#include <QJsonObject>
#include <QString>

namespace Settings {

// Rewrites every raw control character (below 0x20) that stands inside a JSON string
// literal as its escape sequence, so that a strict parser accepts it and the decoded
// value still holds the character. Text outside string literals is left unchanged.
QByteArray escape_raw_control_characters(QByteArray const& json);

// Parses `text` leniently; a text that is not a JSON object gives an empty object.
QJsonObject parse_lenient_json_object(QString const& text);

} // namespace Settings
