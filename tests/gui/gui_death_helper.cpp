// Child program for the tests whose outcome is the end of the process (fatal messages).
//
//   gui_death_helper no_status_text     builds the main window from settings without a status text
//   gui_death_helper fatal_log          logs an info and a fatal message through the log window
//   gui_death_helper fatal_from_thread  the same, both logged on a second thread
#include "gui/log_window.h"
#include "gui/main_window.h"

#include <QApplication>
#include <QThread>

#include <cstdio>
#include <cstring>

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    if (argc != 2)
        return 2;
    const QMessageLogContext noContext;

    if (std::strcmp(argv[1], "no_status_text") == 0) {
        Settings::Settings settings;
        settings.gui = Settings::GUI(QStringLiteral(R"({"labels":[{"id":"5","text":"Follow"}]})"));
        MainWindow_factory(&settings, nullptr, false);
        std::fprintf(stderr, "window created\n");
        return 0;
    }

    logWindow = new LogWindow(nullptr);
    if (std::strcmp(argv[1], "fatal_log") == 0) {
        logWindowMessageHandler(QtInfoMsg, noContext, QStringLiteral("before"));
        logWindowMessageHandler(QtFatalMsg, noContext, QStringLiteral("boom"));
    } else if (std::strcmp(argv[1], "fatal_from_thread") == 0) {
        QThread* worker = QThread::create([&noContext] {
            logWindowMessageHandler(QtInfoMsg, noContext, QStringLiteral("before"));
            logWindowMessageHandler(QtFatalMsg, noContext, QStringLiteral("boom"));
        });
        worker->start();
        worker->wait();
    } else {
        return 2;
    }
    std::fprintf(stderr, "returned\n");
    return 0;
}
