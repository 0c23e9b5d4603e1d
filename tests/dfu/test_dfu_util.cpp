// The carried dfu-util, extracted with its library into the working directory, and the
// execution test that checks it runs and answers as expected.
#include "dfu/command.h"
#include "dfu/dfu_util.h"
#include "files/files.h"
#include "files/support_misc.h"
#include "log_capture.h"

#include <QProcess>
#include <QRegularExpression>
#include <QtTest>

namespace {

QString verdict_line(QString const& status, QString const& output_part)
{
    return QStringLiteral("Result of execution test: status was %1 and output: \"%2\"").arg(status, output_part);
}

// The logging stream writes line feeds and carriage returns of a quoted string escaped.
QString escaped(QString text)
{
    return text.replace(QLatin1Char('\r'), QStringLiteral("\\r")).replace(QLatin1Char('\n'), QStringLiteral("\\n"));
}

} // namespace

class TestDfuUtil : public QObject {
    Q_OBJECT

private slots:
    void initTestCase()
    {
        QVERIFY(Files::external_dir.isValid());
        QVERIFY(Files::extract_resources({Files::dfu_util, Files::libusb}, true));
        QVERIFY(support_misc::mark_file_executable(DFU::dfu_util::full_path()));
    }

    void names_of_the_executable()
    {
        QCOMPARE(DFU::dfu_util::basename(), QStringLiteral("dfu-util"));
        QCOMPARE(DFU::dfu_util::full_path(), Files::external_dir.path() + QStringLiteral("/dfu-util"));
    }

    void carried_program_passes_from_the_working_directory()
    {
        DFU::Command::path = Files::external_dir.path();
        LogCapture log;
        const bool passed = DFU::dfu_util::execution_test();
        DFU::Command::path.clear();

        QVERIFY(passed);
        QCOMPARE(log.lines(),
                 (QStringList{QStringLiteral("Start  \"%1\" (\"-V\")").arg(DFU::dfu_util::full_path()),
                              verdict_line(QStringLiteral("ok"), QStringLiteral("as expected"))}));
    }

    // The extracted program must load the library extracted beside it, not one of the system.
    void library_resolves_beside_the_program()
    {
        QProcess ldd;
        ldd.start(QStringLiteral("ldd"), {DFU::dfu_util::full_path()});
        QVERIFY(ldd.waitForFinished(-1));
        QCOMPARE(ldd.exitCode(), 0);
        const QString listing = QString::fromLocal8Bit(ldd.readAllStandardOutput());
        const QRegularExpression line(QStringLiteral("^\\s*libusb-1\\.0\\.so\\.0 => (\\S+)"),
                                      QRegularExpression::MultilineOption);
        const QRegularExpressionMatch match = line.match(listing);
        QVERIFY2(match.hasMatch(), qPrintable(listing));
        QCOMPARE(match.captured(1), Files::path_of(QStringLiteral("libusb-1.0.so.0")));
    }

    void verdict_data()
    {
        const QString expected = DFU::dfu_util::expected_output_of_execution_test;
        QTest::addColumn<int>("exit_code");
        QTest::addColumn<QString>("output");
        QTest::addColumn<bool>("passes");
        QTest::addColumn<QString>("logged");

        QTest::newRow("exact") << 0 << expected << true << verdict_line("ok", "as expected");
        QTest::newRow("one character more") << 0 << expected + "\n" << false
                                            << verdict_line("ok", escaped(expected + "\n"));
        QTest::newRow("final empty line missing") << 0 << expected.chopped(1) << false
                                                  << verdict_line("ok", escaped(expected.chopped(1)));
        QTest::newRow("other case") << 0 << expected.toUpper() << false
                                    << verdict_line("ok", escaped(expected.toUpper()));
        QTest::newRow("carriage returns are not removed here")
            << 0 << QString(expected).replace("\n", "\r\n") << false
            << verdict_line("ok", escaped(QString(expected).replace("\n", "\r\n")));
        QTest::newRow("non-zero exit, text as expected") << 74 << expected << false
                                                        << verdict_line("bad", "as expected");
        QTest::newRow("crash, no output") << -1 << QString() << false << verdict_line("bad", "");
    }

    void verdict()
    {
        QFETCH(int, exit_code);
        QFETCH(QString, output);
        QFETCH(bool, passes);
        QFETCH(QString, logged);

        LogCapture log;
        QCOMPARE(DFU::dfu_util::execution_test_passes(exit_code, output,
                                                      DFU::dfu_util::expected_output_of_execution_test),
                 passes);
        QCOMPARE(log.lines(), QStringList{logged});
    }
};

QTEST_GUILESS_MAIN(TestDfuUtil)
#include "test_dfu_util.moc"
