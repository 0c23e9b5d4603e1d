// Collects the log lines written while it lives, so tests can check what was logged.
#pragma once

#include <QList>
#include <QMutex>
#include <QString>
#include <QStringList>
#include <QtGlobal>

class LogCapture {
public:
    struct Entry {
        QtMsgType type;
        QString text;
    };

    LogCapture();
    ~LogCapture();
    LogCapture(LogCapture const&) = delete;
    LogCapture& operator=(LogCapture const&) = delete;

    QList<Entry> entries() const;
    // The texts of all lines, in order.
    QStringList lines() const;
    // The texts of the lines that start with `prefix`.
    QStringList lines_starting_with(QString const& prefix) const;
    void clear();

private:
    static void handler(QtMsgType type, QMessageLogContext const& context, QString const& text);

    mutable QMutex mutex_;
    QList<Entry> entries_;
    QtMessageHandler previous_ = nullptr;
};
