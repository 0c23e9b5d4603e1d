// Platform of the build, file permissions and deletion, text file loading.
#include "files/support_misc.h"

#include <QDirIterator>
#include <QFile>
#include <QFileInfo>

namespace support_misc {

#ifdef DEBUG
const bool compiled_w_DEBUG = true;
#else
const bool compiled_w_DEBUG = false;
#endif

Platform compiled_for_platform()
{
#if defined(Q_OS_MACOS)
    return Platform::macOS;
#elif defined(Q_OS_WIN)
    return Platform::Windows;
#elif defined(Q_OS_LINUX)
    return Platform::Linux;
#else
    return Platform::Unknown;
#endif
}

bool compiled_for_platform(Platform p)
{
    return p == compiled_for_platform();
}

QDebug operator<<(QDebug dbg, Platform p)
{
    QString name;
    switch (p) {
    case Platform::Linux: name = QStringLiteral("Linux"); break;
    case Platform::macOS: name = QStringLiteral("macOS"); break;
    case Platform::Windows: name = QStringLiteral("windows"); break;
    case Platform::Unknown: name = QStringLiteral("unknown"); break;
    }
    QDebugStateSaver saver(dbg);
    dbg.noquote() << name;
    return dbg;
}

void ensure_file_is_deleted(QString path)
{
    QFileInfo info(path);
    if (info.exists() && info.isFile())
        QFile::remove(path);
}

bool mark_file_executable(QString path)
{
    QFile file(path);
    if (!file.exists()) {
        qWarning() << "Failed to mark file (doesn't exist) as executable:" << path;
        return false;
    }
    qDebug() << "Changing file permissions to make it executable:" << path;
    // The User flags say what this process may do with the file, not the owner's bits
    // (as root they are all set), yet setPermissions writes them as owner bits: keep
    // the file's own bits by leaving them out.
    const QFileDevice::Permissions own = file.permissions()
        & ~(QFileDevice::ReadUser | QFileDevice::WriteUser | QFileDevice::ExeUser);
    return file.setPermissions(own | QFileDevice::ExeUser | QFileDevice::ExeGroup | QFileDevice::ExeOther);
}

QString maybe_use_file_instead_of_resource(QString name)
{
    return name;
}

QString load_text_file(QString path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw QStringLiteral("Couldn't open file: %1").arg(path);
    QByteArray bytes = file.readAll();
    const int nul = bytes.indexOf('\0');
    if (nul >= 0)
        bytes.truncate(nul);
    return QString::fromUtf8(bytes);
}

QString remove_carriage_returns(QString text, QChar c)
{
    return text.remove(c);
}

void show_resources()
{
    QDirIterator it(QStringLiteral(":resources"), QDirIterator::Subdirectories);
    while (it.hasNext())
        qDebug() << it.next();
}

} // namespace support_misc
