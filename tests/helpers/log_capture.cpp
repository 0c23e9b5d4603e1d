// Collects log lines through a message handler; lines may come from any thread.
#include "log_capture.h"

#include <QMutexLocker>

#include <atomic>

namespace {
std::atomic<LogCapture*> current{nullptr};
}

LogCapture::LogCapture()
{
    current = this;
    previous_ = qInstallMessageHandler(&LogCapture::handler);
}

LogCapture::~LogCapture()
{
    qInstallMessageHandler(previous_);
    current = nullptr;
}

void LogCapture::handler(QtMsgType type, QMessageLogContext const&, QString const& text)
{
    LogCapture* capture = current;
    if (!capture)
        return;
    QMutexLocker lock(&capture->mutex_);
    capture->entries_.append({type, text});
}

QList<LogCapture::Entry> LogCapture::entries() const
{
    QMutexLocker lock(&mutex_);
    return entries_;
}

QStringList LogCapture::lines() const
{
    QStringList texts;
    for (auto const& entry : entries())
        texts << entry.text;
    return texts;
}

QStringList LogCapture::lines_starting_with(QString const& prefix) const
{
    QStringList texts;
    for (auto const& text : lines())
        if (text.startsWith(prefix))
            texts << text;
    return texts;
}

void LogCapture::clear()
{
    QMutexLocker lock(&mutex_);
    entries_.clear();
}
