// Replays every input a fuzz target once failed on, and the seeds, through the same rules.
#include "tests/fuzz/input_checks.h"
#include "tests/fuzz/seed_corpus.h"

#include <QDir>
#include <QFile>
#include <QtTest>

class TestFuzzRegressions : public QObject {
    Q_OBJECT

private:
    // Every file of `dir` becomes one row for `target`; returns how many.
    static int add_files(QString const& target, QString const& dir, QStringList const& filters = {})
    {
        const QDir folder(dir);
        const QStringList names = folder.entryList(filters, QDir::Files, QDir::Name);
        for (QString const& name : names) {
            QFile file(folder.filePath(name));
            if (!file.open(QIODevice::ReadOnly))
                qFatal("cannot read %s", qPrintable(file.fileName()));
            QTest::newRow(qPrintable(target + QLatin1Char('/') + name)) << target << file.readAll();
        }
        return names.size();
    }

    static void check(QString const& target, QByteArray const& input)
    {
        const QStringList faults = FuzzChecks::check_input(target, input);
        QVERIFY2(faults.isEmpty(), qPrintable(faults.join(QLatin1Char('\n'))));
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
        int kept = 0;
        for (QString const& target : FuzzChecks::target_names())
            kept += add_files(target, QStringLiteral(VANTREL_FUZZ_REGRESSIONS_DIR "/") + target);
        if (kept == 0)
            QTest::newRow("none kept") << QString() << QByteArray();
    }
    void regressions()
    {
        QFETCH(QString, target);
        QFETCH(QByteArray, input);
        if (target.isEmpty())
            QSKIP("no fuzz target has failed on an input yet");
        check(target, input);
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
        QFETCH(QString, target);
        QFETCH(QByteArray, input);
        check(target, input);
    }
};

QTEST_GUILESS_MAIN(TestFuzzRegressions)
#include "test_fuzz_regressions.moc"
