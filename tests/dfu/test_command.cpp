// The command table and the runner: results, log lines and argument lists of real child runs.
#include "dfu/command.h"
#include "log_capture.h"

#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

using DFU::CmdID;

Q_DECLARE_METATYPE(DFU::CmdID)

namespace {

// The logging stream's rendering of a program and its argument list.
QString quoted(QString const& text)
{
    return QLatin1Char('"') + text + QLatin1Char('"');
}

QString quoted_list(QStringList const& items)
{
    QStringList parts;
    for (auto const& item : items)
        parts << quoted(item);
    return QLatin1Char('(') + parts.join(QStringLiteral(", ")) + QLatin1Char(')');
}

QString start_line(QString const& program, QStringList const& args)
{
    return QStringLiteral("Start  ") + quoted(program) + QLatin1Char(' ') + quoted_list(args);
}

QString exit_line(int code, QString const& program, QStringList const& args, QString const& output)
{
    return QStringLiteral("Exit with %1 from %2 %3 returned: %4")
        .arg(code)
        .arg(quoted(program), quoted_list(args), quoted(output));
}

QStringList read_lines(QString const& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {QStringLiteral("<not written>")};
    QStringList lines = QString::fromUtf8(file.readAll()).split(QLatin1Char('\n'));
    lines.removeLast(); // after the last line feed
    return lines;
}

} // namespace

class TestCommand : public QObject {
    Q_OBJECT

    std::map<CmdID, DFU::Command> saved_commands_;
    QTemporaryDir dir_;
    QString record_file_;

private slots:
    void initTestCase()
    {
        QVERIFY(dir_.isValid());
        // A stand-in named like the real program, for runs that go by the table's name.
        QVERIFY(QFile::copy(QStringLiteral(HELPER_RECORD_ARGS), dir_.filePath(QStringLiteral("dfu-util"))));
        record_file_ = dir_.filePath(QStringLiteral("args.txt"));
        qputenv("VANTREL_RECORD_ARGS_TO", QFile::encodeName(record_file_));
        saved_commands_ = DFU::commands;
    }

    void init()
    {
        DFU::commands = saved_commands_;
        DFU::Command::path.clear();
        QFile::remove(record_file_);
    }

    void cleanup()
    {
        DFU::commands = saved_commands_;
        DFU::Command::path.clear();
    }

    void display_text_of_a_command()
    {
        QCOMPARE(QString(DFU::commands.at(DFU::list)), QStringLiteral("dfu-util(-d,0483,-l)"));
    }

    // Every row of the table as run with the program directory set: the exact argument
    // list, extras last, and the start line (none for the listing).
    void table_rows_run_as_given_data()
    {
        QTest::addColumn<CmdID>("id");
        QTest::addColumn<QStringList>("extra");
        QTest::addColumn<QStringList>("expected_args");

        QTest::newRow("version") << DFU::version << QStringList() << QStringList{"-V"};
        QTest::newRow("list") << DFU::list << QStringList() << QStringList{"-d", "0483", "-l"};
        QTest::newRow("upload_OTP") << DFU::upload_OTP << QStringList{"/x/uploaded_OTP.bin"}
                                    << QStringList{"-d", "0483", "-a", "2", "-s", "0x1FFF7800:512", "-U",
                                                   "/x/uploaded_OTP.bin"};
        QTest::newRow("upload_FW_info") << DFU::upload_FW_info << QStringList{"/x/uploaded_FW_info.bin"}
                                        << QStringList{"-d", "0483", "-a", "0", "-s", "0x08000000:2048", "-U",
                                                       "/x/uploaded_FW_info.bin"};
        QTest::newRow("upload_FW") << DFU::upload_FW
                                   << QStringList{"-s", "0x08000000:1000", "-U", "/x/uploaded_FW.bin"}
                                   << QStringList{"-d", "0483", "-a", "0", "-s", "0x08000000:1000", "-U",
                                                  "/x/uploaded_FW.bin"};
        QTest::newRow("download_FW") << DFU::download_FW << QStringList{"/x/firmware.bin"}
                                     << QStringList{"-d", "0483", "-a", "0", "-s", "0x08000000:leave", "-D",
                                                    "/x/firmware.bin"};
        QTest::newRow("setup_prepared_config, no arguments")
            << DFU::setup_prepared_config << QStringList() << QStringList();
        QTest::newRow("setup_prepared_config, caller's arguments")
            << DFU::setup_prepared_config << QStringList{"scenario", "two words"}
            << QStringList{"scenario", "two words"};
    }

    void table_rows_run_as_given()
    {
        QFETCH(CmdID, id);
        QFETCH(QStringList, extra);
        QFETCH(QStringList, expected_args);

        DFU::Command::path = dir_.path();
        LogCapture log;
        const DFU::CommandResult result = DFU::run_command(id, extra);

        QCOMPARE(result.exit_code, 0);
        QCOMPARE(read_lines(record_file_), expected_args);
        const QStringList expected_log = id == DFU::list
            ? QStringList()
            : QStringList{start_line(dir_.filePath(QStringLiteral("dfu-util")), expected_args)};
        QCOMPARE(log.lines(), expected_log);
    }

    // With no directory set, the bare table value is started, found through PATH.
    void bare_program_name_without_directory()
    {
        const QByteArray saved_path = qgetenv("PATH");
        qputenv("PATH", QFile::encodeName(dir_.path()) + ':' + saved_path);
        LogCapture log;
        const DFU::CommandResult result = DFU::run_command(DFU::version, {});
        qputenv("PATH", saved_path);

        QCOMPARE(result.exit_code, 0);
        QCOMPARE(read_lines(record_file_), QStringList{"-V"});
        QCOMPARE(log.lines(), QStringList{start_line(QStringLiteral("dfu-util"), {"-V"})});
    }

    void results_and_log_data()
    {
        QTest::addColumn<QString>("program");
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<int>("exit_code");
        QTest::addColumn<QString>("output");
        QTest::addColumn<bool>("exit_logged");

        QTest::newRow("exit 0") << HELPER_EXIT_WITH << QStringList{"0", "all well"} << 0 << "all well" << false;
        QTest::newRow("exit 74") << HELPER_EXIT_WITH << QStringList{"74", "No DFU capable USB device available"}
                                 << 74 << "No DFU capable USB device available" << true;
        QTest::newRow("killed by a signal") << HELPER_KILLED_BY_SIGNAL << QStringList{"half way"} << -1
                                            << "half way" << true;
        QTest::newRow("NUL byte cuts the output") << HELPER_OUTPUT_WITH_NUL << QStringList{"before", "after"}
                                                  << 0 << "before" << false;
        QTest::newRow("NUL byte first") << HELPER_OUTPUT_WITH_NUL << QStringList{"", "after"} << 0 << ""
                                        << false;
    }

    void results_and_log()
    {
        QFETCH(QString, program);
        QFETCH(QStringList, args);
        QFETCH(int, exit_code);
        QFETCH(QString, output);
        QFETCH(bool, exit_logged);

        DFU::commands[DFU::upload_OTP] = {program, args};
        LogCapture log;
        const DFU::CommandResult result = DFU::run_command(DFU::upload_OTP, {});

        QCOMPARE(result.exit_code, exit_code);
        QCOMPARE(result.output, output);
        QStringList expected_log{start_line(program, args)};
        if (exit_logged)
            expected_log << exit_line(exit_code, program, args, output);
        QCOMPARE(log.lines(), expected_log);
    }

    void program_that_cannot_start_data()
    {
        QTest::addColumn<QString>("program");
        QTest::newRow("missing") << dir_.filePath(QStringLiteral("no-such-program"));
        const QString not_executable = dir_.filePath(QStringLiteral("not-executable"));
        QFile file(not_executable);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("#!/bin/sh\nexit 0\n");
        file.close();
        QVERIFY(file.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner));
        QTest::newRow("not executable") << not_executable;
    }

    void program_that_cannot_start()
    {
        QFETCH(QString, program);

        DFU::commands[DFU::version] = {program, {"-V"}};
        LogCapture log;
        const DFU::CommandResult result = DFU::run_command(DFU::version, {});

        QCOMPARE(result.exit_code, DFU::exit_code_not_started);
        QVERIFY(result.exit_code != 0);
        QCOMPARE(result.output, QString());
        const QStringList lines = log.lines();
        QCOMPARE(lines.size(), 2);
        QCOMPARE(lines[0], start_line(program, {"-V"}));
        QVERIFY2(lines[1].startsWith(QStringLiteral("Failed to start ")), qPrintable(lines[1]));
    }
};

QTEST_GUILESS_MAIN(TestCommand)
#include "test_command.moc"
