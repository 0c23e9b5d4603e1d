// One log message with its context copied, so that it can be written later on another thread.
#pragma once

#include <QByteArray>
#include <QMessageLogContext>
#include <QString>
#include <QtGlobal>

struct LogRecord {
    QtMsgType type = QtDebugMsg;
    // Null where the original context had no such item.
    QByteArray file;
    QByteArray function;
    QByteArray category;
    int line = 0;
    QString message;

    static LogRecord from(QtMsgType type, QMessageLogContext const& context, QString const& message);

    // A context whose pointers refer to this record's copies; valid while the record lives.
    QMessageLogContext context() const;
};
