// The application fonts: the maker's typeface, registered once and made the default.
#pragma once

#include <QString>

namespace support {

// Family name of the loaded regular font; empty until loaded, and if loading failed.
extern QString vantrel_font_name;

void setup_fonts();
QString load_vantrel_fonts();
QString load_font(QString fileName);
void set_default_font(QString family);

} // namespace support
