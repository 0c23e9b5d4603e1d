// Redirects file descriptor 2 into a temporary file while it lives, to read what was written there.
#pragma once

#include <QByteArray>
#include <QFile>
#include <QTemporaryFile>

#include <cstdio>
#include <unistd.h>

class StderrCapture {
public:
    StderrCapture()
    {
        file.open();
        std::fflush(stderr);
        saved_fd = ::dup(2);
        ::dup2(file.handle(), 2);
    }
    ~StderrCapture() { restore(); }
    StderrCapture(StderrCapture const&) = delete;
    StderrCapture& operator=(StderrCapture const&) = delete;

    // Stops the redirection and returns everything written to standard error meanwhile.
    QByteArray take()
    {
        restore();
        QFile in(file.fileName());
        in.open(QIODevice::ReadOnly);
        return in.readAll();
    }

private:
    void restore()
    {
        if (saved_fd < 0)
            return;
        std::fflush(stderr);
        ::dup2(saved_fd, 2);
        ::close(saved_fd);
        saved_fd = -1;
    }

    QTemporaryFile file;
    int saved_fd = -1;
};
