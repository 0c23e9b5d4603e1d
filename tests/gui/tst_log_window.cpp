// Tests of the log window: line formats on both outputs, messages from other threads, save, keys, placement.
#include "gui/dialogs.h"
#include "gui/log_window.h"
#include "gui/log_window_dialog.h"
#include "stderr_capture.h"

#include <QMainWindow>
#include <QProcess>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTextBrowser>
#include <QThread>
#include <QtTest>

#include <cstring>

namespace {

QMessageLogContext const no_context;

// Not one of the five levels, yet a value the level type can hold.
constexpr int unknown_level = 7;

// The dialog's paragraphs.
QStringList shown(LogWindow const& window)
{
    const QString text = window.dialog->textBrowser->toPlainText();
    return text.isEmpty() ? QStringList() : text.split(QLatin1Char('\n'));
}

} // namespace

class TestLogWindow : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();

    void dialog_lines_data();
    void dialog_lines();
    void both_outputs_data();
    void both_outputs();
    void fatal_writes_then_aborts_data();
    void fatal_writes_then_aborts();
    void without_live_window_messages_are_dropped();
    void messages_from_another_thread_keep_their_order();
    void queued_message_keeps_its_context();
    void layout_and_buttons();
    void save_writes_the_text();
    void save_cancelled_does_nothing();
    void save_to_unwritable_file_shows_error();
    void escape_does_not_close_and_close_hides();
    void toggle_places_at_right_edge();

private:
    LogWindow* window = nullptr;
    QTemporaryDir dir;
    QStringList warnings;
};

void TestLogWindow::init()
{
    window = new LogWindow(nullptr);
    logWindow = window;
    warnings.clear();
    Dialogs::show_warning = [this](QWidget*, QString const& title, QString const& text) {
        warnings << title << text;
    };
    Dialogs::get_save_file_name = [](QWidget*, QString const&, QString const&, QString const&) { return QString(); };
}

void TestLogWindow::cleanup()
{
    delete window;
    window = nullptr;
}

void TestLogWindow::dialog_lines_data()
{
    QTest::addColumn<int>("type");
    QTest::addColumn<QString>("expected");
    QTest::newRow("debug") << int(QtDebugMsg) << "Debug: m %1";
    QTest::newRow("info") << int(QtInfoMsg) << "m %1";
    QTest::newRow("warning") << int(QtWarningMsg) << "Warning: m %1";
    QTest::newRow("critical") << int(QtCriticalMsg) << "CRITICAL: m %1";
    QTest::newRow("fatal") << int(QtFatalMsg) << "FATAL: m %1";
    QTest::newRow("unknown level") << unknown_level << QString();
}

void TestLogWindow::dialog_lines()
{
    QFETCH(int, type);
    QTEST(LogWindowDialog::dialog_line(QtMsgType(type), QStringLiteral("m %1")), "expected");
}

void TestLogWindow::both_outputs_data()
{
    QTest::addColumn<int>("type");
    QTest::addColumn<bool>("withContext");
    QTest::addColumn<QString>("dialog");
    QTest::addColumn<QByteArray>("stderrLine");
    QTest::newRow("info, no context") << int(QtInfoMsg) << false << "Install clicked"
                                      << QByteArray("Info: Install clicked (:0, )\n");
    QTest::newRow("debug") << int(QtDebugMsg) << true << "Debug: Install clicked"
                           << QByteArray("Debug: Install clicked (src/a.cpp:42, void f())\n");
    QTest::newRow("info") << int(QtInfoMsg) << true << "Install clicked"
                          << QByteArray("Info: Install clicked (src/a.cpp:42, void f())\n");
    QTest::newRow("warning") << int(QtWarningMsg) << true << "Warning: Install clicked"
                             << QByteArray("Warning: Install clicked (src/a.cpp:42, void f())\n");
    QTest::newRow("critical") << int(QtCriticalMsg) << true << "CRITICAL: Install clicked"
                              << QByteArray("Critical: Install clicked (src/a.cpp:42, void f())\n");
    QTest::newRow("unknown level: nothing") << unknown_level << true << QString() << QByteArray();
}

void TestLogWindow::both_outputs()
{
    QFETCH(int, type);
    QFETCH(bool, withContext);
    QFETCH(QString, dialog);
    const QMessageLogContext context("src/a.cpp", 42, "void f()", "default");
    StderrCapture err;
    logWindowMessageHandler(QtMsgType(type), withContext ? context : no_context, QStringLiteral("Install clicked"));
    QTEST(err.take(), "stderrLine");
    QCOMPARE(shown(*window), dialog.isNull() ? QStringList() : QStringList(dialog));
}

void TestLogWindow::fatal_writes_then_aborts_data()
{
    QTest::addColumn<QString>("mode");
    QTest::addColumn<QByteArray>("expected");
    QTest::newRow("GUI thread") << "fatal_log" << QByteArray("Info: before (:0, )\nFatal: boom (:0, )\n");
    // The worker's earlier message is still waiting for the GUI thread: it is written first.
    QTest::newRow("other thread, earlier message waiting")
        << "fatal_from_thread" << QByteArray("Info: before (:0, )\nFatal: boom (:0, )\n");
}

void TestLogWindow::fatal_writes_then_aborts()
{
    QFETCH(QString, mode);
    QFETCH(QByteArray, expected);
    QProcess helper;
    helper.start(QStringLiteral(GUI_DEATH_HELPER), {mode});
    QVERIFY(helper.waitForFinished(60000));
    const QByteArray err = helper.readAllStandardError();
    QCOMPARE(helper.exitStatus(), QProcess::CrashExit);
    QVERIFY2(err.contains(expected), err.constData());
    QVERIFY2(!err.contains("returned"), err.constData());
}

void TestLogWindow::without_live_window_messages_are_dropped()
{
    delete window;
    window = nullptr;
    QVERIFY(logWindow.isNull());
    StderrCapture err;
    logWindowMessageHandler(QtWarningMsg, no_context, QStringLiteral("lost"));
    QCOMPARE(err.take(), QByteArray());
}

void TestLogWindow::messages_from_another_thread_keep_their_order()
{
    constexpr int worker_messages = 200;
    StderrCapture err;
    logWindowMessageHandler(QtInfoMsg, no_context, QStringLiteral("g1"));
    QThread* worker = QThread::create([] {
        for (int i = 0; i < worker_messages; ++i)
            logWindowMessageHandler(QtInfoMsg, no_context, QStringLiteral("t%1").arg(i));
    });
    worker->start();
    // The GUI thread logs meanwhile; its lines stay in the order of logging with the worker's.
    QStringList guiLines;
    for (int i = 0; worker->isRunning() || i < 3; ++i) {
        const QString line = QStringLiteral("g-during-%1").arg(i);
        logWindowMessageHandler(QtInfoMsg, no_context, line);
        guiLines << line;
        QThread::yieldCurrentThread();
    }
    QVERIFY(worker->wait(60000));
    delete worker;
    logWindowMessageHandler(QtInfoMsg, no_context, QStringLiteral("g2"));

    // A message logged on the GUI thread writes everything logged before it at once.
    const QStringList lines = shown(*window);
    QCOMPARE(lines.size(), worker_messages + guiLines.size() + 2);
    QCOMPARE(lines.first(), QStringLiteral("g1"));
    QCOMPARE(lines.last(), QStringLiteral("g2"));
    QStringList workerLines;
    QStringList guiSeen;
    for (QString const& line : lines) {
        if (line.startsWith(QLatin1Char('t')))
            workerLines << line;
        else if (line.startsWith(QLatin1String("g-during")))
            guiSeen << line;
    }
    QCOMPARE(guiSeen, guiLines);
    for (int i = 0; i < worker_messages; ++i)
        QCOMPARE(workerLines.at(i), QStringLiteral("t%1").arg(i));

    QStringList stderrLines;
    for (QString const& line : QString::fromLocal8Bit(err.take()).split(QLatin1Char('\n'), Qt::SkipEmptyParts))
        stderrLines << line.section(QStringLiteral("Info: "), 1).section(QStringLiteral(" (:0, )"), 0, 0);
    QCOMPARE(stderrLines, lines);
}

void TestLogWindow::queued_message_keeps_its_context()
{
    StderrCapture err;
    QThread* worker = QThread::create([] {
        char file[] = "worker.cpp";
        char function[] = "void run()";
        {
            const QMessageLogContext context(file, 7, function, "sm");
            logWindowMessageHandler(QtWarningMsg, context, QStringLiteral("from worker"));
        }
        // The caller's context memory is gone once the call has returned.
        std::memset(file, 'X', sizeof file - 1);
        std::memset(function, 'X', sizeof function - 1);
    });
    worker->start();
    QVERIFY(worker->wait(60000));
    delete worker;
    QVERIFY(shown(*window).isEmpty());  // waits for the GUI thread's event loop
    QTRY_COMPARE(shown(*window), QStringList(QStringLiteral("Warning: from worker")));
    QCOMPARE(err.take(), QByteArray("Warning: from worker (worker.cpp:7, void run())\n"));
}

void TestLogWindow::layout_and_buttons()
{
    LogWindowDialog* dialog = window->dialog;
    QCOMPARE(dialog->size(), QSize(600, 400));
    QVERIFY(!dialog->isModal());
    QVERIFY(!dialog->parent());
    QVERIFY(dialog->isHidden());
    QCOMPARE(dialog->clearButton->text(), QStringLiteral("clear"));
    QCOMPARE(dialog->saveButton->text(), QStringLiteral("save output"));
    QCOMPARE(dialog->hideButton->text(), QStringLiteral("hide log"));

    dialog->show();
    QVERIFY(QTest::qWaitForWindowExposed(dialog));
    const int y = dialog->clearButton->y();
    QCOMPARE(dialog->saveButton->y(), y);
    QVERIFY(dialog->clearButton->x() < dialog->saveButton->x());
    QVERIFY(dialog->saveButton->x() < dialog->hideButton->x());
    QVERIFY(dialog->hideButton->geometry().right() > dialog->width() - 30);
    QVERIFY(dialog->textBrowser->geometry().bottom() < y);

    // Markup in a message is kept as written.
    window->outputMessage(QtInfoMsg, no_context, QStringLiteral("<b>bold</b>"));
    window->outputMessage(QtInfoMsg, no_context, QStringLiteral("second"));
    QCOMPARE(shown(*window), QStringList({QStringLiteral("<b>bold</b>"), QStringLiteral("second")}));
    QTest::mouseClick(dialog->clearButton, Qt::LeftButton);
    QVERIFY(shown(*window).isEmpty());
    QTest::mouseClick(dialog->hideButton, Qt::LeftButton);
    QVERIFY(dialog->isHidden());
}

void TestLogWindow::save_writes_the_text()
{
    window->outputMessage(QtInfoMsg, no_context, QStringLiteral("first"));
    window->outputMessage(QtWarningMsg, no_context, QStringLiteral("second"));
    const QString path = dir.filePath(QStringLiteral("saved.txt"));
    {
        QFile old(path);
        QVERIFY(old.open(QIODevice::WriteOnly));
        old.write("much longer older content that must be truncated\n");
    }
    QStringList asked;
    QWidget* askedParent = nullptr;
    Dialogs::get_save_file_name = [&](QWidget* parent, QString const& caption, QString const& proposed,
                                      QString const& filter) {
        asked << caption << proposed << filter;
        askedParent = parent;
        return path;
    };
    QTest::mouseClick(window->dialog->saveButton, Qt::LeftButton);
    QCOMPARE(asked, QStringList({QStringLiteral("Save Log Output"), QDir::homePath() + QStringLiteral("/logfile.txt"),
                                 QStringLiteral("Text Files ('''.txt);;All Files (*)")}));
    QCOMPARE(askedParent, static_cast<QWidget*>(window->dialog));
    QFile saved(path);
    QVERIFY(saved.open(QIODevice::ReadOnly));
    QCOMPARE(saved.readAll(), QByteArray("first\nWarning: second"));
    QVERIFY(warnings.isEmpty());
}

void TestLogWindow::save_cancelled_does_nothing()
{
    window->outputMessage(QtInfoMsg, no_context, QStringLiteral("kept"));
    int asked = 0;
    Dialogs::get_save_file_name = [&](QWidget*, QString const&, QString const&, QString const&) {
        ++asked;
        return QString();
    };
    const QStringList before = QDir(dir.path()).entryList(QDir::Files);
    QTest::mouseClick(window->dialog->saveButton, Qt::LeftButton);
    QCOMPARE(asked, 1);
    QVERIFY(warnings.isEmpty());
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files), before);
    QCOMPARE(shown(*window), QStringList(QStringLiteral("kept")));
}

void TestLogWindow::save_to_unwritable_file_shows_error()
{
    window->outputMessage(QtInfoMsg, no_context, QStringLiteral("kept"));
    const QString path = dir.filePath(QStringLiteral("missing-dir/log.txt"));
    Dialogs::get_save_file_name = [&](QWidget*, QString const&, QString const&, QString const&) { return path; };
    QTest::mouseClick(window->dialog->saveButton, Qt::LeftButton);
    QCOMPARE(warnings,
             QStringList({QStringLiteral("Error"),
                          QStringLiteral("<nobr>File '%1'<br/>cannot be opened for writing.<br/><br/>The log output "
                                         "could <b>not</b> be saved!</nobr>")
                              .arg(path)}));
    QVERIFY(!QFile::exists(path));
    QCOMPARE(shown(*window), QStringList(QStringLiteral("kept")));
}

void TestLogWindow::escape_does_not_close_and_close_hides()
{
    LogWindowDialog* dialog = window->dialog;
    window->toggle_visibility(nullptr);
    QVERIFY(QTest::qWaitForWindowExposed(dialog));
    QSignalSpy rejected(dialog, &QDialog::rejected);
    QTest::keyClick(dialog, Qt::Key_Escape);
    QTest::keyClick(dialog->textBrowser, Qt::Key_Escape);
    QVERIFY(dialog->isVisible());
    QCOMPARE(rejected.count(), 0);

    QVERIFY(dialog->close());
    QVERIFY(dialog->isHidden());
    window->toggle_visibility(nullptr);
    QVERIFY(dialog->isVisible());
}

void TestLogWindow::toggle_places_at_right_edge()
{
    QMainWindow main;
    main.setGeometry(100, 80, 300, 200);
    main.show();
    QVERIFY(QTest::qWaitForWindowExposed(&main));
    LogWindowDialog* dialog = window->dialog;

    window->toggle_visibility(&main);
    QVERIFY(dialog->isVisible());
    QCOMPARE(dialog->geometry(), QRect(main.geometry().x() + main.geometry().width() - 1, main.geometry().y(), 600, 400));
    window->toggle_visibility(&main);
    QVERIFY(dialog->isHidden());

    // Shown again after the main window moved: beside its new position.
    const QRect before = main.geometry();
    main.move(main.pos() - QPoint(60, 50));
    QTRY_COMPARE(main.geometry().topLeft(), before.topLeft() - QPoint(60, 50));
    window->toggle_visibility(&main);
    QCOMPARE(dialog->geometry(), QRect(before.x() - 60 + 300 - 1, before.y() - 50, 600, 400));
}

QTEST_MAIN(TestLogWindow)
#include "tst_log_window.moc"
