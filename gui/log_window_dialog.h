// The log dialog: one paragraph per message, with clear, save and hide buttons.
#pragma once

#include <QByteArray>
#include <QDialog>
#include <QMessageLogContext>
#include <QString>

class QPushButton;
class QTextBrowser;

class LogWindowDialog : public QDialog {
    Q_OBJECT
public:
    explicit LogWindowDialog(QWidget* parent);

    // The line shown in the dialog for a message of this level; null for an unknown level.
    static QString dialog_line(QtMsgType type, QString const& msg);
    // Writes the standard error line of a message; nothing for an unknown level.
    static void write_stderr_line(QtMsgType type, QMessageLogContext const& context, QByteArray const& localMsg);

    QTextBrowser* textBrowser;
    QPushButton* clearButton;
    QPushButton* saveButton;
    QPushButton* hideButton;

public slots:
    void outputMessage(QtMsgType type, const QMessageLogContext& context, const QString& msg);

protected slots:
    void save();

protected:
    void closeEvent(QCloseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    void append_paragraph(QString const& text);
};
