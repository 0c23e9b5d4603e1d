// Small shared utilities: platform of the build, file permissions and deletion, text files.
#pragma once

#include <QChar>
#include <QDebug>
#include <QString>

namespace support_misc {

enum class Platform { Linux = 0, macOS = 1, Windows = 2, Unknown = 3 };

extern const bool compiled_w_DEBUG;

Platform compiled_for_platform();
bool compiled_for_platform(Platform p);
QDebug operator<<(QDebug dbg, Platform p);

void ensure_file_is_deleted(QString path);
bool mark_file_executable(QString path);
QString maybe_use_file_instead_of_resource(QString name);
QString load_text_file(QString path);
QString remove_carriage_returns(QString text, QChar c);
void show_resources();

} // namespace support_misc
