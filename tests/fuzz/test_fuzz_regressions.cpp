// Replays every input a fuzz target once failed on, and the seeds, through the same rules.
#include "tests/fuzz/input_checks.h"
#include "tests/fuzz/seed_corpus.h"

#include <QDir>
#include <QFile>
#include <QtTest>

class TestFuzzRegressions : public QObject {
    Q_OBJECT

private:
    // Every file of `dir` becomes one row for `target`.
    static void add_files(QString const& target, QString const& dir, QStringList const& filters = {})
    {
        const QDir folder(dir);
        for (QString const& name : folder.entryList(filters, QDir::Files, QDir::Name)) {
            QFile file(folder.filePath(name));
            QVERIFY2(file.open(QIODevice::ReadOnly), qPrintable(file.fileName()));
            QTest::newRow(qPrintable(target + QLatin1Char('/') + name)) << target << file.readAll();
        }
    }

private slots:
    void initTestCase()
    {
        qInstallMessageHandler([](QtMsgType, QMessageLogContext const&, QString const&) {});
    }

    // The inputs once found by fuzzing, kept so that the fault stays fixed.
    void regressions_data()
    {
        QTest::addColumn<QString>("target");
        QTest::addColumn<QByteArray>("input");
        QTest::newRow("no input: the rules hold for nothing at all") << QStringLiteral("otp_info") << QByteArray();
        for (QString const& target : FuzzChecks::target_names())
            add_files(target, QStringLiteral(VANTREL_FUZZ_REGRESSIONS_DIR "/") + target);
    }
    void regressions()
    {
        QFETCH(QString, target);
        QFETCH(QByteArray, input);
        const QStringList faults = FuzzChecks::check_input(target, input);
        QVERIFY2(faults.isEmpty(), qPrintable(faults.join(QLatin1Char('\n'))));
    }

    // The seeds: the rules must hold on the inputs the fuzzers start from, or every run
    // would stop at once.
    void seeds_data()
    {
        QTest::addColumn<QString>("target");
        QTest::addColumn<QByteArray>("input");
        for (QString const& target : FuzzChecks::target_names())
            for (FuzzChecks::Seed const& seed : FuzzChecks::generated_seeds(target))
                QTest::newRow(qPrintable(target + QLatin1Char('/') + seed.name)) << target << seed.bytes;
        add_files(QStringLiteral("dfu_listing"), QStringLiteral(VANTREL_DFU_FIXTURES_DIR), {QStringLiteral("*.stdout")});
        QFile settings(QStringLiteral(VANTREL_SETTINGS_FILE));
        QVERIFY(settings.open(QIODevice::ReadOnly));
        QTest::newRow("gui_settings/settings_GUI.json") << QStringLiteral("gui_settings") << settings.readAll();
    }
    void seeds()
    {
        regressions();
    }
};

QTEST_GUILESS_MAIN(TestFuzzRegressions)
#include "test_fuzz_regressions.moc"
