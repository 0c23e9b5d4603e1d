// Reading and writing the files of the state folder.
#include "state_folder.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

namespace Emulator {

StateFolder::StateFolder(QString path) : path_(std::move(path)) {}

QString StateFolder::file(QString const& name) const
{
    return path_ + QLatin1Char('/') + name;
}

QByteArray StateFolder::read(QString const& name) const
{
    if (!persistent())
        return QByteArray();
    QFile f(file(name));
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

bool StateFolder::exists(QString const& name) const
{
    return persistent() && QFile::exists(file(name));
}

// Whole files are replaced atomically: the harness polls some of them while tests write.
void StateFolder::write(QString const& name, QByteArray const& bytes) const
{
    if (!persistent())
        return;
    QSaveFile f(file(name));
    if (f.open(QIODevice::WriteOnly)) {
        f.write(bytes);
        f.commit();
    }
}

void StateFolder::remove(QString const& name) const
{
    if (persistent())
        QFile::remove(file(name));
}

bool StateFolder::ensure_created() const
{
    if (!persistent())
        return true;
    const bool is_new = !QFileInfo::exists(path_);
    if (!QDir().mkpath(path_))
        return false;
    if (is_new) {
        set_serial(QString::fromLatin1(default_serial));
        set_attached(true);
    }
    return true;
}

QByteArray StateFolder::load_memory(MemoryRegion const& region) const
{
    QByteArray bytes = region.file.isEmpty() ? QByteArray() : read(region.file);
    const int size = int(region.size());
    if (bytes.size() > size)
        bytes.truncate(size);
    if (bytes.size() < size)
        bytes.append(QByteArray(size - bytes.size(), char(region.fill)));
    return bytes;
}

void StateFolder::store_memory(MemoryRegion const& region, QByteArray const& contents) const
{
    if (!region.file.isEmpty())
        write(region.file, contents);
}

void StateFolder::store_memory_range(MemoryRegion const& region, std::uint32_t offset, QByteArray const& bytes) const
{
    if (!persistent() || region.file.isEmpty())
        return;
    QFile f(file(region.file));
    if (!f.exists() || f.size() != qint64(region.size())) {
        QByteArray whole = load_memory(region);
        whole.replace(int(offset), bytes.size(), bytes);
        write(region.file, whole);
        return;
    }
    if (f.open(QIODevice::ReadWrite) && f.seek(offset))
        f.write(bytes);
}

QString StateFolder::serial() const
{
    const QString s = QString::fromUtf8(read(QStringLiteral("serial"))).trimmed();
    return s.isEmpty() ? QString::fromLatin1(default_serial) : s;
}

void StateFolder::set_serial(QString const& serial) const
{
    write(QStringLiteral("serial"), serial.toUtf8() + '\n');
}

bool StateFolder::attached() const
{
    if (!persistent())
        return true;
    return read(QStringLiteral("attached")).trimmed() != "no";
}

void StateFolder::set_attached(bool attached) const
{
    write(QStringLiteral("attached"), attached ? "yes\n" : "no\n");
}

Faults StateFolder::faults() const
{
    return parse_faults(QString::fromUtf8(read(QStringLiteral("faults"))));
}

void StateFolder::set_faults(Faults const& faults) const
{
    write(QStringLiteral("faults"), format_faults(faults).toUtf8());
}

int StateFolder::reattach_after_ms() const
{
    bool ok = false;
    const int ms = read(QStringLiteral("reattach_after_ms")).trimmed().toInt(&ok);
    return ok ? ms : -1;
}

void StateFolder::set_reattach_after_ms(int ms) const
{
    if (ms < 0)
        remove(QStringLiteral("reattach_after_ms"));
    else
        write(QStringLiteral("reattach_after_ms"), QByteArray::number(ms) + '\n');
}

QByteArray StateFolder::reattach_flash() const
{
    return read(QStringLiteral("reattach_flash.bin"));
}

void StateFolder::set_reattach_flash(QByteArray const& contents) const
{
    if (contents.isEmpty())
        remove(QStringLiteral("reattach_flash.bin"));
    else
        write(QStringLiteral("reattach_flash.bin"), contents);
}

bool StateFolder::second_device() const
{
    return read(QStringLiteral("second_device")).trimmed() == "yes";
}

void StateFolder::set_second_device(bool present) const
{
    write(QStringLiteral("second_device"), present ? "yes\n" : "no\n");
}

void StateFolder::append_log(QString const& line) const
{
    if (!persistent())
        return;
    QFile f(file(QStringLiteral("log")));
    if (f.open(QIODevice::WriteOnly | QIODevice::Append))
        f.write(line.toUtf8() + '\n');
}

QStringList StateFolder::log() const
{
    return QString::fromUtf8(read(QStringLiteral("log"))).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
}

QStringList StateFolder::log_lines_starting(QString const& prefix) const
{
    QStringList lines;
    for (QString const& line : log())
        if (line.startsWith(prefix))
            lines << line;
    return lines;
}

} // namespace Emulator
