// Program entry: start-up, the event loop, shutdown.
#include "app/startup.h"

#include <QApplication>

int main(int argc, char** argv)
{
    int status = 0;
    {
        QApplication app(argc, argv);
        GUI_init();
        if (startup_failure_status != 0)
            return startup_failure_status;
        status = GUI_cleanup(app.exec());
    }
    return status;
}
