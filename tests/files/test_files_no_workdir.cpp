// Extraction when the working directory could not be created (run with TMPDIR naming a
// directory where nobody, not even root, can create one).
#include "files/files.h"
#include "log_capture.h"

#include <QtTest>

class TestFilesNoWorkdir : public QObject {
    Q_OBJECT

private slots:
    void nothing_is_extracted_data()
    {
        QTest::addColumn<bool>("strict");
        QTest::newRow("strict") << true;
        QTest::newRow("not strict") << false;
    }

    void nothing_is_extracted()
    {
        QFETCH(bool, strict);
        QVERIFY(!Files::external_dir.isValid());
        QCOMPARE(Files::external_dir.path(), QString());

        LogCapture log;
        QVERIFY(!Files::extract_resources({Files::desired_FW_bin}, strict));
        QCOMPARE(log.lines(), QStringList{QStringLiteral("Failed to create temporary directory: \"%1\"")
                                              .arg(Files::external_dir.errorString())});
        QVERIFY(!Files::external_dir.errorString().isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestFilesNoWorkdir)
#include "test_files_no_workdir.moc"
