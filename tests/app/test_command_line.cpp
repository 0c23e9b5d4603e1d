// The command-line switches: which options select the simulator and the log window, and what is logged.
#include <QProcess>
#include <QProcessEnvironment>
#include <QtTest>

class TestCommandLine : public QObject {
    Q_OBJECT

private slots:
    void parse_arguments_data();
    void parse_arguments();
};

void TestCommandLine::parse_arguments_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<bool>("preset");  // simulator::use already true before parsing
    QTest::addColumn<QString>("result"); // printed switches; empty: the program ends in the parser
    QTest::addColumn<QString>("logged");

    const QString none = "Initial value of 'simulator::use'=false, isSet('-s')=false, isSet('-S')=false";
    const QString s = "Initial value of 'simulator::use'=false, isSet('-s')=true, isSet('-S')=false";
    const QString both = "Initial value of 'simulator::use'=false, isSet('-s')=true, isSet('-S')=true";
    const QString off = "simulator::use=false use_log_window=false";
    const QString sim = "simulator::use=true use_log_window=false";

    QTest::newRow("none") << QStringList() << false << off << none;
    QTest::newRow("-s") << QStringList{"-s"} << false << sim << s;
    QTest::newRow("--use-simulator") << QStringList{"--use-simulator"} << false << sim << s;
    QTest::newRow("-S") << QStringList{"-S"} << false << off
                        << "Initial value of 'simulator::use'=false, isSet('-s')=false, isSet('-S')=true";
    QTest::newRow("-s -S") << QStringList{"-s", "-S"} << false << off << both;
    QTest::newRow("-S -s") << QStringList{"-S", "-s"} << false << off << both;
    QTest::newRow("--no-use-simulator --use-simulator")
        << QStringList{"--no-use-simulator", "--use-simulator"} << false << off << both;
    QTest::newRow("-l") << QStringList{"-l"} << false << "simulator::use=false use_log_window=true" << none;
    QTest::newRow("-sl") << QStringList{"-sl"} << false << "simulator::use=true use_log_window=true" << s;
    // The line shows the value from before the options are applied.
    QTest::newRow("-S after a preset") << QStringList{"-S"} << true << off
                                       << "Initial value of 'simulator::use'=true, isSet('-s')=false, isSet('-S')=true";
    QTest::newRow("positional arguments ignored") << QStringList{"-s", "firmware.bin"} << false << sim << s;
    QTest::newRow("-h is unknown") << QStringList{"-h"} << false << QString() << QString();
    QTest::newRow("unknown option") << QStringList{"-s", "--frobnicate"} << false << QString() << QString();
}

void TestCommandLine::parse_arguments()
{
    QFETCH(QStringList, arguments);
    QFETCH(bool, preset);
    QFETCH(QString, result);
    QFETCH(QString, logged);

    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("QT_LOGGING_RULES", "*.debug=true");
    environment.insert("QT_MESSAGE_PATTERN", "%{message}");
    if (preset)
        environment.insert("PRESET_SIMULATOR_USE", "1");
    QProcess child;
    child.setProcessEnvironment(environment);
    child.start(PARSE_ARGUMENTS_CHILD, arguments);
    QVERIFY(child.waitForFinished(-1));
    const QString out = QString::fromUtf8(child.readAllStandardOutput()).trimmed();
    const QStringList err = QString::fromUtf8(child.readAllStandardError()).split('\n');

    if (result.isEmpty()) {
        QCOMPARE(child.exitStatus(), QProcess::NormalExit);
        QVERIFY(child.exitCode() != 0);
        QCOMPARE(out, QString());
        return;
    }
    QCOMPARE(child.exitCode(), 0);
    QCOMPARE(out, result);
    QVERIFY2(err.contains(logged), qPrintable(err.join('\n')));
}

QTEST_GUILESS_MAIN(TestCommandLine)
#include "test_command_line.moc"
