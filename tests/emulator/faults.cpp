// The text form of the fault settings.
#include "faults.h"

#include <QStringList>

namespace Emulator {

bool Faults::operator==(Faults const& o) const
{
    return write_error_block == o.write_error_block && vanish_at_block == o.vanish_at_block
        && vanish_at_leave == o.vanish_at_leave && otp_read_error == o.otp_read_error;
}

QString format_faults(Faults const& f)
{
    QStringList lines;
    if (f.write_error_block >= 0)
        lines << QStringLiteral("write-error-block=%1").arg(f.write_error_block);
    if (f.vanish_at_block >= 0)
        lines << QStringLiteral("vanish-at-block=%1").arg(f.vanish_at_block);
    if (f.vanish_at_leave)
        lines << QStringLiteral("vanish-at-leave");
    if (f.otp_read_error)
        lines << QStringLiteral("otp-read-error");
    return lines.isEmpty() ? QString() : lines.join(QLatin1Char('\n')) + QLatin1Char('\n');
}

bool apply_fault_option(Faults& f, QString const& option)
{
    const QString text = option.trimmed();
    const int eq = text.indexOf(QLatin1Char('='));
    const QString key = eq < 0 ? text : text.left(eq);
    bool ok = true;
    const int number = eq < 0 ? -1 : text.mid(eq + 1).toInt(&ok, 0);
    if (!ok)
        return false;
    if (key == QLatin1String("none"))
        f = Faults();
    else if (key == QLatin1String("write-error-block") && number >= 0)
        f.write_error_block = number;
    else if (key == QLatin1String("vanish-at-block") && number >= 0)
        f.vanish_at_block = number;
    else if (key == QLatin1String("vanish-at-leave"))
        f.vanish_at_leave = true;
    else if (key == QLatin1String("otp-read-error"))
        f.otp_read_error = true;
    else
        return false;
    return true;
}

Faults parse_faults(QString const& text)
{
    Faults f;
    for (QString const& line : text.split(QLatin1Char('\n'), Qt::SkipEmptyParts))
        apply_fault_option(f, line);
    return f;
}

} // namespace Emulator
