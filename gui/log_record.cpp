// One log message with its context copied, so that it can be written later on another thread.
#include "gui/log_record.h"

namespace {

QByteArray copy_of(char const* text)
{
    return text ? QByteArray(text) : QByteArray();
}

char const* pointer_to(QByteArray const& copy)
{
    return copy.isNull() ? nullptr : copy.constData();
}

} // namespace

LogRecord LogRecord::from(QtMsgType type, QMessageLogContext const& context, QString const& message)
{
    LogRecord record;
    record.type = type;
    record.file = copy_of(context.file);
    record.function = copy_of(context.function);
    record.category = copy_of(context.category);
    record.line = context.line;
    record.message = message;
    return record;
}

QMessageLogContext LogRecord::context() const
{
    return QMessageLogContext(pointer_to(file), line, pointer_to(function), pointer_to(category));
}
