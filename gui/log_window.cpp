// The log window controller, the application-wide pointer to it and the message handler.
#include "gui/log_window.h"

#include "gui/log_window_dialog.h"

#include <QMainWindow>
#include <QCoreApplication>
#include <QMutexLocker>
#include <QThread>

#include <cstdlib>

QPointer<LogWindow> logWindow;

void logWindowMessageHandler(QtMsgType type, const QMessageLogContext& context, const QString& msg)
{
    if (LogWindow* window = logWindow.data())
        window->post_message(type, context, msg);
}

LogWindow::LogWindow(QObject* parent)
    : QObject(parent)
    , dialog(new LogWindowDialog(nullptr))
{
    connect(this, &LogWindow::sendMessage, dialog, &LogWindowDialog::outputMessage);
    static bool exit_routine_added = false;
    if (!exit_routine_added) {
        exit_routine_added = true;
        qAddPostRoutine(&LogWindow::write_pending_at_exit);
    }
}

LogWindow::~LogWindow()
{
    delete dialog;
}

void LogWindow::outputMessage(QtMsgType type, const QMessageLogContext& context, const QString& msg)
{
    emit sendMessage(type, context, msg);
}

void LogWindow::toggle_visibility(QMainWindow* mainWindow)
{
    if (dialog->isVisible()) {
        dialog->hide();
        return;
    }
    dialog->show();
    if (mainWindow) {
        const QRect main = mainWindow->geometry();
        // Left edge on the main window's last pixel column, tops level.
        dialog->setGeometry(main.x() + main.width() - 1, main.y(), dialog->width(), dialog->height());
    }
}

void LogWindow::post_message(QtMsgType type, const QMessageLogContext& context, const QString& msg)
{
    // The context's strings do not outlive the logging call: copy them now.
    LogRecord record = LogRecord::from(type, context, msg);
    const bool onOwnThread = QThread::currentThread() == thread();
    if (type == QtFatalMsg && (!onOwnThread || delivering)) {
        // The process ends when this call returns, before the queue could be written:
        // put what is waiting and this message on standard error now.
        write_pending_to_stderr(&record);
        std::abort();
    }
    {
        QMutexLocker lock(&pending_mutex);
        pending.push_back(std::move(record));
    }
    if (onOwnThread)
        deliver_pending();
    else
        QMetaObject::invokeMethod(this, [this] { deliver_pending(); }, Qt::QueuedConnection);
}

void LogWindow::deliver_pending()
{
    // A message logged while one is being written joins the queue; the loop below
    // writes it next, so the order stays that of logging.
    if (delivering)
        return;
    delivering = true;
    for (;;) {
        LogRecord record;
        {
            QMutexLocker lock(&pending_mutex);
            if (pending.empty())
                break;
            record = std::move(pending.front());
            pending.pop_front();
        }
        emit sendMessage(record.type, record.context(), record.message);
    }
    delivering = false;
}

void LogWindow::write_pending_to_stderr(LogRecord const* last)
{
    QMutexLocker lock(&pending_mutex);
    for (LogRecord const& record : pending)
        LogWindowDialog::write_stderr_line(record.type, record.context(), record.message.toLocal8Bit());
    pending.clear();
    if (last)
        LogWindowDialog::write_stderr_line(last->type, last->context(), last->message.toLocal8Bit());
}

void LogWindow::write_pending_at_exit()
{
    // Messages the event loop did not get to (for instance those of the worker while it
    // was being stopped) still reach standard error.
    if (LogWindow* window = logWindow.data())
        window->write_pending_to_stderr(nullptr);
}
