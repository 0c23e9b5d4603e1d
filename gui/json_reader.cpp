// A lenient JSON reader that accepts raw control characters inside string values.
#include "gui/json_reader.h"

#include <QJsonDocument>

namespace Settings {

QByteArray escape_raw_control_characters(QByteArray const& json)
{
    static const char hex_digits[] = "0123456789abcdef";
    QByteArray out;
    out.reserve(json.size() + json.size() / 8);
    bool in_string = false;
    bool after_backslash = false;
    for (char c : json) {
        const auto byte = static_cast<unsigned char>(c);
        if (!in_string) {
            if (c == '"')
                in_string = true;
            out.append(c);
            continue;
        }
        if (after_backslash) {
            after_backslash = false;
            out.append(c);
            continue;
        }
        if (c == '\\') {
            after_backslash = true;
            out.append(c);
        } else if (c == '"') {
            in_string = false;
            out.append(c);
        } else if (byte < 0x20) {
            switch (c) {
            case '\n': out.append("\\n"); break;
            case '\t': out.append("\\t"); break;
            case '\r': out.append("\\r"); break;
            default:
                out.append("\\u00");
                out.append(hex_digits[byte >> 4]);
                out.append(hex_digits[byte & 0x0f]);
            }
        } else {
            out.append(c);
        }
    }
    return out;
}

QJsonObject parse_lenient_json_object(QString const& text)
{
    return QJsonDocument::fromJson(escape_raw_control_characters(text.toUtf8())).object();
}

} // namespace Settings
