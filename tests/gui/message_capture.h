// Collects the log messages written while it lives, for tests that check log lines.
#pragma once

#include <QMessageLogContext>
#include <QString>
#include <QStringList>
#include <QtGlobal>

#include <utility>
#include <vector>

class MessageCapture {
public:
    MessageCapture()
    {
        messages().clear();
        previous = qInstallMessageHandler(&MessageCapture::handler);
    }
    ~MessageCapture() { qInstallMessageHandler(previous); }
    MessageCapture(MessageCapture const&) = delete;
    MessageCapture& operator=(MessageCapture const&) = delete;

    // The messages of one level, in the order written.
    QStringList of(QtMsgType type) const
    {
        QStringList out;
        for (auto const& m : messages())
            if (m.first == type)
                out << m.second;
        return out;
    }
    QStringList all() const
    {
        QStringList out;
        for (auto const& m : messages())
            out << m.second;
        return out;
    }
    void clear() { messages().clear(); }

private:
    static std::vector<std::pair<QtMsgType, QString>>& messages()
    {
        static std::vector<std::pair<QtMsgType, QString>> list;
        return list;
    }
    static void handler(QtMsgType type, QMessageLogContext const&, QString const& msg)
    {
        messages().emplace_back(type, msg);
    }

    QtMessageHandler previous;
};
