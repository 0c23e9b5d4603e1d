// The application fonts: the maker's typeface, registered once and made the default.
#include "gui/fonts.h"

#include <QApplication>
#include <QDebug>
#include <QFont>
#include <QFontDatabase>

namespace support {

namespace {

constexpr int default_font_point_size = 11;

} // namespace

QString vantrel_font_name;

void setup_fonts()
{
    vantrel_font_name = load_vantrel_fonts();
    if (!vantrel_font_name.isEmpty()) {
        set_default_font(vantrel_font_name);
        qInfo() << "Load/set default font:" << vantrel_font_name;
    } else {
        qWarning() << "Unable to load/set the Vantrel font as default";
    }
}

QString load_vantrel_fonts()
{
    static const QString regular_file = QStringLiteral(":resources/VantrelSans-Regular.otf");
    static const QString bold_file = QStringLiteral(":resources/VantrelSans-Bold.otf");
    static bool loaded = false;
    if (!loaded) {
        loaded = true;
        vantrel_font_name = load_font(regular_file);
        load_font(bold_file);
    }
    return vantrel_font_name;
}

QString load_font(QString fileName)
{
    const int id = QFontDatabase::addApplicationFont(fileName);
    if (id < 0)
        qWarning() << "Unable to load font from " << fileName;
    const QStringList families = QFontDatabase::applicationFontFamilies(id);
    return families.isEmpty() ? QString() : families.first();
}

void set_default_font(QString family)
{
    if (family.isEmpty())
        return;
    QApplication::setFont(QFont(family, default_font_point_size));
}

} // namespace support
