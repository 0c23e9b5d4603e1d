// bare-window: the least a Qt Widgets program does to put a window of the tool's size on
// screen; start-up times of the tool are set against it. On standard error it reports
// "ready" when its event loop runs (where the tool logs "Starting sm_A") and "shown" when
// the window is first painted, and then exits.
#include <QApplication>
#include <QEvent>
#include <QWidget>

#include <cstdio>

namespace {

// The tool's main window in design pixels.
constexpr int window_width = 665;
constexpr int window_height = 517;

class BareWindow : public QWidget {
protected:
    bool event(QEvent* e) override
    {
        const bool handled = QWidget::event(e);
        if (e->type() == QEvent::Paint && !reported_) {
            reported_ = true;
            std::fputs("shown\n", stderr);
            std::fflush(stderr);
            QMetaObject::invokeMethod(qApp, &QCoreApplication::quit, Qt::QueuedConnection);
        }
        return handled;
    }

private:
    bool reported_ = false;
};

} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    BareWindow window;
    window.setWindowTitle(QStringLiteral("bare window"));
    window.setFixedSize(window_width, window_height);
    window.show();
    QMetaObject::invokeMethod(
        &app,
        [] {
            std::fputs("ready\n", stderr);
            std::fflush(stderr);
        },
        Qt::QueuedConnection);
    return app.exec();
}
