// What must hold for the window layout read from any settings text, raw control characters included.
#include "tests/fuzz/settings_invariants.h"

#include "gui/json_reader.h"
#include "gui/settings.h"

#include <QJsonDocument>
#include <QJsonParseError>

namespace FuzzChecks {

namespace {

// Lookups scan the labels linearly; checking this many ids keeps one input quick.
constexpr int looked_up_labels = 64;

void check_lookups(Settings::GUI const& gui, QStringList& faults)
{
    const int count = qMin(int(gui.labels.size()), looked_up_labels);
    for (int i = 0; i < count; ++i) {
        QString const& id = gui.labels[std::size_t(i)].id;
        std::size_t first = 0;
        while (gui.labels[first].id != id)
            ++first;
        if (gui.label(id) != &gui.labels[first] || gui.text(id) != gui.labels[first].text)
            faults << QStringLiteral("lookup of id \"%1\" does not give its first label").arg(id);
    }
}

// Escaping is done once and for all: what it wrote has no raw control character left
// inside a string, and a text that Qt's own reader accepts is read the same either way.
void check_escaping(QByteArray const& utf8, QStringList& faults)
{
    const QByteArray escaped = Settings::escape_raw_control_characters(utf8);
    if (Settings::escape_raw_control_characters(escaped) != escaped)
        faults << QStringLiteral("escaping an escaped text changes it again");
    QJsonParseError error;
    const QJsonDocument direct = QJsonDocument::fromJson(utf8, &error);
    if (error.error == QJsonParseError::NoError && direct.isObject()
        && Settings::parse_lenient_json_object(QString::fromUtf8(utf8)) != direct.object())
        faults << QStringLiteral("the lenient reader reads a text that Qt accepts differently");
}

// Any valid UTF-8 text, control characters and all, written raw between the quotes of a
// label's "text" (only quote and backslash escaped), comes back as it was.
void check_raw_string(QByteArray const& bytes, QStringList& faults)
{
    const QString original = QString::fromUtf8(bytes);
    if (original.toUtf8() != bytes)
        return;
    QByteArray literal;
    for (char c : bytes) {
        if (c == '"' || c == '\\')
            literal.append('\\');
        literal.append(c);
    }
    const QByteArray document = "{\"labels\": [{\"id\": \"raw\", \"text\": \"" + literal + "\"}]}";
    const Settings::GUI gui(QString::fromUtf8(document));
    if (gui.labels.size() != 1 || gui.labels.front().text != original)
        faults << QStringLiteral("a raw string value does not come back unchanged (%1 labels)").arg(gui.labels.size());
}

} // namespace

QStringList check_settings(QByteArray const& bytes)
{
    QStringList faults;
    const QString text = QString::fromUtf8(bytes);
    const Settings::GUI gui(text);
    if (!gui.valid)
        faults << QStringLiteral("a read text gives an invalid record");
    const QString form = gui;
    if (!form.startsWith(QStringLiteral("GUI settings:\n")) || !form.endsWith(QLatin1Char('\n')))
        faults << QStringLiteral("text form has the wrong frame");
    check_lookups(gui, faults);
    check_escaping(text.toUtf8(), faults);
    check_raw_string(bytes, faults);

    const Settings::GUI again(text);
    if (QString(again) != form)
        faults << QStringLiteral("reading the same text twice gives two layouts");
    return faults;
}

} // namespace FuzzChecks
