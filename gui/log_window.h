// The log window controller, the application-wide pointer to it and the message handler.
#pragma once

#include "gui/log_record.h"

#include <QMessageLogContext>
#include <QMutex>
#include <QObject>
#include <QPointer>
#include <QString>

#include <deque>

class LogWindowDialog;
class QMainWindow;

class LogWindow : public QObject {
    Q_OBJECT
public:
    explicit LogWindow(QObject* parent);
    ~LogWindow() override;

    // Takes a message from any thread. Messages are written by this object's thread in
    // the order they were posted: at once when posted there (after any still waiting),
    // otherwise as soon as that thread's event loop runs.
    void post_message(QtMsgType type, const QMessageLogContext& context, const QString& msg);

    LogWindowDialog* dialog;

signals:
    void sendMessage(QtMsgType type, const QMessageLogContext& context, const QString& msg);

public slots:
    void outputMessage(QtMsgType type, const QMessageLogContext& context, const QString& msg);
    void toggle_visibility(QMainWindow* mainWindow);

private:
    void deliver_pending();
    // Writes the waiting messages, then `last` if given, to standard error only.
    void write_pending_to_stderr(LogRecord const* last);
    static void write_pending_at_exit();

    QMutex pending_mutex;
    std::deque<LogRecord> pending;
    bool delivering = false;
};

// Set at start-up; the message handler writes through it while it refers to a live object.
extern QPointer<LogWindow> logWindow;

void logWindowMessageHandler(QtMsgType type, const QMessageLogContext& context, const QString& msg);
