// The log dialog: one paragraph per message, with clear, save and hide buttons.
#include "gui/log_window_dialog.h"

#include "gui/dialogs.h"

#include <QCloseEvent>
#include <QDir>
#include <QFile>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QPushButton>
#include <QScrollBar>
#include <QTextBrowser>
#include <QTextCursor>
#include <QTextStream>
#include <QVBoxLayout>

#include <cstdio>
#include <cstdlib>

namespace {

constexpr int dialog_width_px = 600;
constexpr int dialog_height_px = 400;
constexpr int button_row_stretch = 10;

} // namespace

LogWindowDialog::LogWindowDialog(QWidget* parent)
    : QDialog(parent)
    , textBrowser(new QTextBrowser(this))
    , clearButton(new QPushButton(tr("clear"), this))
    , saveButton(new QPushButton(tr("save output"), this))
    , hideButton(new QPushButton(tr("hide log"), this))
{
    auto* buttons = new QHBoxLayout;
    buttons->setContentsMargins(0, 0, 0, 0);
    buttons->addStretch(button_row_stretch);
    buttons->addWidget(clearButton);
    buttons->addWidget(saveButton);
    buttons->addWidget(hideButton);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(textBrowser);
    layout->addLayout(buttons);

    resize(dialog_width_px, dialog_height_px);
    setModal(false);

    connect(clearButton, &QPushButton::clicked, textBrowser, &QTextBrowser::clear);
    connect(saveButton, &QPushButton::clicked, this, &LogWindowDialog::save);
    connect(hideButton, &QPushButton::clicked, this, [this] { hide(); }, Qt::DirectConnection);
}

QString LogWindowDialog::dialog_line(QtMsgType type, QString const& msg)
{
    switch (type) {
    case QtDebugMsg: return tr("Debug: %1").arg(msg);
    case QtInfoMsg: return tr("%1").arg(msg);
    case QtWarningMsg: return tr("Warning: %1").arg(msg);
    case QtCriticalMsg: return tr("CRITICAL: %1").arg(msg);
    case QtFatalMsg: return tr("FATAL: %1").arg(msg);
    }
    return QString();
}

void LogWindowDialog::write_stderr_line(QtMsgType type, QMessageLogContext const& context, QByteArray const& localMsg)
{
    // Messages of the tool itself carry no source context; absent items print as empty.
    char const* const file = context.file ? context.file : "";
    char const* const function = context.function ? context.function : "";
    const auto line = static_cast<unsigned>(context.line);
    char const* const msg = localMsg.constData();
    switch (type) {
    case QtDebugMsg: std::fprintf(stderr, "Debug: %s (%s:%u, %s)\n", msg, file, line, function); break;
    case QtInfoMsg: std::fprintf(stderr, "Info: %s (%s:%u, %s)\n", msg, file, line, function); break;
    case QtWarningMsg: std::fprintf(stderr, "Warning: %s (%s:%u, %s)\n", msg, file, line, function); break;
    case QtCriticalMsg: std::fprintf(stderr, "Critical: %s (%s:%u, %s)\n", msg, file, line, function); break;
    case QtFatalMsg: std::fprintf(stderr, "Fatal: %s (%s:%u, %s)\n", msg, file, line, function); break;
    }
    std::fflush(stderr);
}

void LogWindowDialog::outputMessage(QtMsgType type, const QMessageLogContext& context, const QString& msg)
{
    const QByteArray localMsg = msg.toLocal8Bit();
    const QString line = dialog_line(type, msg);
    if (line.isNull())
        return;
    append_paragraph(line);
    write_stderr_line(type, context, localMsg);
    if (type == QtFatalMsg)
        std::abort();
}

void LogWindowDialog::append_paragraph(QString const& text)
{
    // Inserted as plain text: markup inside a message is shown and saved as written.
    QScrollBar* scrollBar = textBrowser->verticalScrollBar();
    const bool atEnd = scrollBar->value() == scrollBar->maximum();
    QTextCursor cursor(textBrowser->document());
    cursor.movePosition(QTextCursor::End);
    if (!textBrowser->document()->isEmpty())
        cursor.insertBlock();
    cursor.insertText(text);
    if (atEnd)
        scrollBar->setValue(scrollBar->maximum());
}

void LogWindowDialog::save()
{
    const QString fileName = Dialogs::get_save_file_name(this, tr("Save Log Output"),
                                                         tr("%1/logfile.txt").arg(QDir::homePath()),
                                                         tr("Text Files ('''.txt);;All Files (*)"));
    if (fileName.isEmpty())
        return;
    QFile file(fileName);
    if (!file.open(QIODevice::WriteOnly)) {
        Dialogs::show_warning(this, tr("Error"),
                              tr("<nobr>File '%1'<br/>cannot be opened for writing.<br/><br/>"
                                 "The log output could <b>not</b> be saved!</nobr>")
                                  .arg(fileName));
        return;
    }
    QTextStream out(&file);
    out << textBrowser->toPlainText();
    out.flush();
    file.close();
}

void LogWindowDialog::closeEvent(QCloseEvent* event)
{
    event->accept();
}

void LogWindowDialog::keyPressEvent(QKeyEvent* event)
{
    event->ignore();
}
