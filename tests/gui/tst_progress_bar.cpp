// Tests of the time-driven progress bar, with its clock under the test's control.
#include "gui/progress_bar.h"

#include <QtTest>

#include <memory>

class TestProgressBar : public QObject {
    Q_OBJECT
private slots:
    void looks();
    void interval_and_duration_data();
    void interval_and_duration();
    void value_follows_elapsed_time_data();
    void value_follows_elapsed_time();
    void finishes_once();
    void tiny_duration_finishes_on_first_tick();
    void restart_reuses_caption_and_duration();
};

void TestProgressBar::looks()
{
    ProgressBar bar(nullptr);
    QCOMPARE(bar.minimum(), 0);
    QCOMPARE(bar.maximum(), 100);
    QCOMPARE(bar.styleSheet(), QStringLiteral("\nQProgressBar {\n    border: 2px solid grey;\n    border-radius: 5px;\n"
                                              "    text-align: center;\n}\n\nQProgressBar::chunk {\n"
                                              "    background-color: rgba(160,240,140,100%);\n    width: 5px;\n}\n"));
    QCOMPARE(bar.minInterval, 50);
    QCOMPARE(bar.durationMs, 10000);
    QVERIFY(!bar.timer->isActive());
    QCOMPARE(bar.timer->parent(), static_cast<QObject*>(&bar));

    bar.startAutoProgress(QStringLiteral("Upgrading firmware"), 60.0);
    QCOMPARE(bar.text(), QStringLiteral("Upgrading firmware"));
    QVERIFY(!bar.isHidden());
    bar.timer->stop();
}

void TestProgressBar::interval_and_duration_data()
{
    QTest::addColumn<double>("duration");
    QTest::addColumn<int>("durationMs");
    QTest::addColumn<int>("interval");
    QTest::newRow("download 60 s") << 60.0 << 60000 << 600;
    QTest::newRow("verify 0.5 s: minimum interval") << 0.5 << 500 << 50;
    QTest::newRow("tiny: at least 1 ms") << 0.0001 << 1 << 50;
    QTest::newRow("zero") << 0.0 << 1 << 50;
    QTest::newRow("truncated to ms") << 7.9999 << 7999 << 79;
    QTest::newRow("negative keeps previous") << -1.0 << 10000 << 100;
    QTest::newRow("not-a-number keeps previous") << qQNaN() << 10000 << 100;
}

void TestProgressBar::interval_and_duration()
{
    QFETCH(double, duration);
    ProgressBar bar(nullptr);
    bar.setValue(40);
    bar.startAutoProgress(QStringLiteral("caption"), duration);
    QTEST(bar.durationMs, "durationMs");
    QTEST(bar.timer->interval(), "interval");
    QCOMPARE(bar.steps, 100);
    QCOMPARE(bar.value(), 0);
    QVERIFY(bar.timer->isActive());
    bar.timer->stop();
}

void TestProgressBar::value_follows_elapsed_time_data()
{
    QTest::addColumn<double>("duration");
    QTest::addColumn<qint64>("elapsed");
    QTest::addColumn<int>("value");
    QTest::addColumn<bool>("finished");
    QTest::newRow("60 s, half way") << 60.0 << qint64(30000) << 50 << false;
    QTest::newRow("60 s, one step") << 60.0 << qint64(600) << 1 << false;
    QTest::newRow("60 s, just short of a step") << 60.0 << qint64(599) << 0 << false;
    QTest::newRow("0.5 s, one tick") << 0.5 << qint64(50) << 10 << false;
    QTest::newRow("0.5 s, exactly the duration: full, not finished") << 0.5 << qint64(500) << 100 << false;
    QTest::newRow("0.5 s, beyond the duration") << 0.5 << qint64(501) << 100 << true;
}

void TestProgressBar::value_follows_elapsed_time()
{
    QFETCH(double, duration);
    QFETCH(qint64, elapsed);
    QFETCH(bool, finished);
    ProgressBar bar(nullptr);
    bar.elapsed_ms_source = [elapsed] { return elapsed; };
    QSignalSpy spy(&bar, &ProgressBar::finished);
    bar.startAutoProgress(QStringLiteral("caption"), duration);
    bar.increase();
    QTEST(bar.value(), "value");
    QCOMPARE(spy.count(), finished ? 1 : 0);
    QCOMPARE(bar.timer->isActive(), !finished);
    bar.timer->stop();
}

void TestProgressBar::finishes_once()
{
    ProgressBar bar(nullptr);
    qint64 now = 0;
    bar.elapsed_ms_source = [&now] { return now; };
    QSignalSpy spy(&bar, &ProgressBar::finished);
    bar.startAutoProgress(QStringLiteral("Uploading & verifying"), 0.5);
    QTest::qWait(120);  // ticks with no time elapsed change nothing
    QCOMPARE(bar.value(), 0);
    QCOMPARE(spy.count(), 0);
    now = 1000;
    QTRY_COMPARE(spy.count(), 1);
    QCOMPARE(bar.value(), 100);
    QVERIFY(!bar.timer->isActive());
    QTest::qWait(150);
    QCOMPARE(spy.count(), 1);
}

void TestProgressBar::tiny_duration_finishes_on_first_tick()
{
    // Real clock: by the first tick (50 ms) more than 1 ms has passed.
    ProgressBar bar(nullptr);
    QSignalSpy spy(&bar, &ProgressBar::finished);
    QSignalSpy values(&bar, &QProgressBar::valueChanged);
    bar.startAutoProgress(QStringLiteral("quick"), 0.0001);
    values.clear();
    QTRY_COMPARE(spy.count(), 1);
    QCOMPARE(bar.value(), 100);
    QCOMPARE(values.count(), 1);
}

void TestProgressBar::restart_reuses_caption_and_duration()
{
    ProgressBar fresh(nullptr);
    fresh.startAutoProgress(QStringLiteral("first"));
    QCOMPARE(fresh.durationMs, 10000);
    fresh.timer->stop();

    ProgressBar bar(nullptr);
    qint64 now = 0;
    bar.elapsed_ms_source = [&now] { return now; };
    bar.startAutoProgress(QStringLiteral("Upgrading firmware"), 2.0);
    bar.startAutoProgress(QStringLiteral("again"));
    QCOMPARE(bar.durationMs, 2000);
    QCOMPARE(bar.format(), QStringLiteral("again"));
    QCOMPARE(bar.timer->interval(), 50);

    now = 1000;
    bar.increase();
    QCOMPARE(bar.value(), 50);
    bar.timer->stop();
    bar.startAutoProgress();
    QCOMPARE(bar.value(), 0);
    QCOMPARE(bar.format(), QStringLiteral("again"));
    QVERIFY(bar.timer->isActive());
    bar.timer->stop();
}

QTEST_MAIN(TestProgressBar)
#include "tst_progress_bar.moc"
